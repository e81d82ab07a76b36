#pragma once

#include <QApplication>

// The application with the one error guard: whatever a user action throws (a
// database error, a text that is no number) ends that action, its text is shown
// in a message box and the program goes on. Rows already posted stay written.
class KelvoraApplication : public QApplication
{
    Q_OBJECT

public:
    KelvoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
