#pragma once

#include "shell/messages.h"
#include "data/clock.h"
#include "data/formats.h"

#include <QChar>
#include <QDateTime>
#include <QSqlDatabase>
#include <memory>

namespace TestSupport {

// After each test: the program's globals as a test finds them at its start,
// whatever the test set: message boxes shown again (no answers recorded), the
// system's decimal separator and the real clock.
inline void resetGlobals()
{
    Messages::stopIntercepting();
    Formats::setDecimalSeparator(QChar());
    Clock::setFixed(QDateTime());
}

// After each screen test: the windows closed, then the test's own station
// connection and its database dropped, then the globals reset.
template <typename Window, typename Database>
void closeStation(std::unique_ptr<Window>& window, QSqlDatabase& station, std::unique_ptr<Database>& db)
{
    window.reset();
    station = QSqlDatabase();
    db.reset();
    resetGlobals();
}

}  // namespace TestSupport
