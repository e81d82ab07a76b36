#include "shell/officestartwait.h"
#include "shell/waitindicator.h"
#include "office/officethread.h"

#include <QApplication>
#include <memory>

void showWaitWhileOfficeStarts()
{
    OfficeThread::setStartingNotice([](const QString& text) -> std::function<void()> {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return nullptr;
        auto indicator = std::make_shared<std::unique_ptr<WaitIndicator>>(
            std::make_unique<WaitIndicator>(QStringLiteral("OfficeStarting"), QApplication::applicationDisplayName(),
                                            text, 0, WaitIndicator::frontWindow()));
        (*indicator)->show();
        return [indicator] { indicator->reset(); };
    });
}
