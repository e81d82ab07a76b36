#include "shell/enterpresses.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

namespace {

class EnterPresses : public QObject
{
public:
    EnterPresses(QWidget* field, QAbstractButton* button)
        : QObject(field), m_button(button) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && m_button
                && m_button->isEnabled()) {
                m_button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QAbstractButton> m_button;
};

}  // namespace

void pressOnEnter(std::initializer_list<QWidget*> fields, QAbstractButton* button)
{
    for (QWidget* field : fields) {
        QWidget* target = field;
        if (auto* box = qobject_cast<QComboBox*>(field); box && box->lineEdit())
            target = box->lineEdit();
        target->installEventFilter(new EnterPresses(target, button));
    }
}
