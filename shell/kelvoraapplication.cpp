#include "shell/kelvoraapplication.h"
#include "shell/officestartwait.h"
#include "shell/errorguard.h"

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
