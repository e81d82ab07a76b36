#include "shell/droplist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// A sample of the tallest letters: Georgian capitals and the small letters
// that reach above and below the line.
const QString TallLetters = QStringLiteral("ႠႨႴჁჽჾ ბდფქყღჰ Ág");

// The smallest letters a dropped-down list draws, in pixels: the order
// window's waiter list, read in a hurry.
constexpr int SmallestPixels = 19;

void fitList(QComboBox* box, QAbstractItemView* list)
{
    QFont font = box->font();
    font.setPixelSize(std::max(SmallestPixels, QFontInfo(box->font()).pixelSize()));
    list->setFont(font);
    const QFontMetrics metrics(font);
    // The fallback font of the Georgian letters reaches higher and lower than
    // the box's own font says.
    const int ink = std::max(metrics.height(), metrics.boundingRect(TallLetters).height());
    const QString rows = QStringLiteral("QAbstractItemView::item { min-height: %1px; }").arg(ink + 10);
    if (list->styleSheet() != rows)
        list->setStyleSheet(rows);
    list->setTextElideMode(Qt::ElideNone);
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    list->setMinimumWidth(widest + 40);
}

// Draws and measures a row in the list's own font: a box's list would take the
// box's font for its rows, whatever font the list was given.
class ListFontDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->widget) {
            option->font = option->widget->font();
            option->fontMetrics = QFontMetrics(option->font);
        }
    }
};

// The box's completer when it drops a list of its own (an inline one does not).
QCompleter* shownCompleter(QComboBox* box)
{
    QCompleter* completer = box->completer();
    return completer && completer->completionMode() != QCompleter::InlineCompletion ? completer : nullptr;
}

void fit(QComboBox* box)
{
    fitList(box, box->view());
    if (QCompleter* completer = shownCompleter(box))
        fitList(box, completer->popup());
}

// Fits the lists again when the box's font changes.
class FontFollower : public QObject
{
public:
    explicit FontFollower(QComboBox* box)
        : QObject(box), m_box(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_box && event->type() == QEvent::FontChange)
            fit(m_box);
        return QObject::eventFilter(watched, event);
    }

private:
    QComboBox* m_box;
};

}  // namespace

void readableDropDown(QComboBox* box)
{
    box->setItemDelegate(new ListFontDelegate(box));
    if (QCompleter* completer = shownCompleter(box))
        completer->popup()->setItemDelegate(new ListFontDelegate(completer->popup()));
    fit(box);
    QAbstractItemModel* model = box->model();
    const auto refit = [box] { fit(box); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, box, refit);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, box, refit);
    QObject::connect(model, &QAbstractItemModel::modelReset, box, refit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, box, refit);
    box->installEventFilter(new FontFollower(box));
}
