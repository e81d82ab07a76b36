#pragma once

#include "shell/messages.h"
#include "data/clock.h"
#include "data/formats.h"

#include <QChar>
#include <QDateTime>

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

}  // namespace TestSupport
