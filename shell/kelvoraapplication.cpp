#include "shell/kelvoraapplication.h"
#include "shell/messages.h"
#include "shell/officestartwait.h"
#include "shell/shared.h"
#include "shell/inputerror.h"
#include "data/dberror.h"

#include <exception>

KelvoraApplication::KelvoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kelvora"));
    setApplicationDisplayName(QStringLiteral("Kelvora"));
    showWaitWhileOfficeStarts();
}

bool KelvoraApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

bool guarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const DbError& e) {
        Messages::error(e.text());
    } catch (const InputError& e) {
        Messages::show(e.text());
    } catch (const std::exception& e) {
        Messages::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
