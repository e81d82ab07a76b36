#include "data/clock.h"

namespace {
QDateTime g_fixed;
}

QDateTime Clock::now()
{
    if (g_fixed.isValid())
        return g_fixed;
    return QDateTime::currentDateTime();
}

QDate Clock::today()
{
    return now().date();
}

void Clock::setFixed(const QDateTime& moment)
{
    g_fixed = moment;
}
