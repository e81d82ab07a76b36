#include "shell/kelvoraapplication.h"
#include "shell/officestartwait.h"
#include "shell/errorguard.h"
#include "data/connection.h"

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
    // Every event delivered starts an action (see Connection::Action).
    const Connection::Action action;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}
