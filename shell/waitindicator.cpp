#include "shell/waitindicator.h"

#include <QApplication>
#include <QCloseEvent>

WaitIndicator::WaitIndicator(const QString& name, const QString& caption, const QString& text, int maximum,
                             QWidget* parent)
    : QProgressDialog(text, QString(), 0, maximum, parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
}

QWidget* WaitIndicator::frontWindow()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    QWidget* over = QApplication::activeModalWidget();
    return over ? over : QApplication::activeWindow();
}

void WaitIndicator::reject()
{
}

void WaitIndicator::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
