#include "shell/numerickeyfilter.h"
#include "data/formats.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

void NumericKeyFilter::install(QLineEdit* box)
{
    installHandler(box, {});
}

void NumericKeyFilter::installHandler(QLineEdit* box, std::function<bool(QKeyEvent*)> handler)
{
    auto* rule = new NumericKeyFilter(box);
    rule->m_handler = std::move(handler);
    box->installEventFilter(rule);
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAcceptDrops(false);
}

QString NumericKeyFilter::normalized(const QString& typed)
{
    QString text = typed;
    const QChar sep = Formats::decimalSeparator();
    for (QChar& c : text)
        if (c == u'.' || c == u',')
            c = sep;
    return text;
}

QChar NumericKeyFilter::filter(QChar typed)
{
    if (typed == u'.' || typed == u',')
        return Formats::decimalSeparator();
    if (typed == QChar(8) || (typed >= u'0' && typed <= u'9') || typed == Formats::decimalSeparator())
        return typed;
    return QChar();
}

bool NumericKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box)
        return false;
    return m_handler ? m_handler(key) : keyPress(box, key);
}

bool NumericKeyFilter::keyPress(QLineEdit* box, QKeyEvent* key)
{
    // Selecting, copying and undoing type nothing: the box handles them.
    for (QKeySequence::StandardKey k : {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut,
                                        QKeySequence::Undo, QKeySequence::Redo})
        if (key->matches(k))
            return false;
    if (key->matches(QKeySequence::Paste)) {
        // Pasted text goes in only when every character of it may be typed.
        QString pasted = QGuiApplication::clipboard()->text();
        for (QChar& c : pasted) {
            c = c == QChar(8) ? QChar() : filter(c);
            if (c.isNull())
                return true;
        }
        box->insert(pasted);
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
        || key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
        || key->key() == Qt::Key_Delete)
        return false;  // not a character: let the box and the dialog handle it
    if (key->key() == Qt::Key_Backspace)
        return false;
    if (text.size() != 1)
        return true;
    const QChar c = filter(text.front());
    if (c.isNull())
        return true;  // dropped
    if (c != text.front()) {
        box->insert(QString(c));
        return true;
    }
    return false;
}
