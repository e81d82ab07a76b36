#pragma once

#include <QColor>

// The states of an order line (Shekvetebi.STATUSI), the first-state rule and the
// row colours, defined once for the order window, the cook and the waiter screens.
namespace LineState {

constexpr int NotRouted = 0;        // the dish's type has no cook, or more than one
constexpr int Queued = 1;           // waiting for a cook
constexpr int Taken = 2;            // a cook took it
constexpr int Started = 3;          // the cook started it
constexpr int Finished = 4;         // the cook finished it
constexpr int ClosedByWaiter = -5;  // the waiter closed it with the flag
constexpr int Settled = 100;        // the table was cleared

// The kitchen flag of a new line from the number of routing rows its type
// matches: exactly one cook routes it (1), none or several route it nowhere (0).
// The first state is the same value.
constexpr int kitchenFlag(int routingRows)
{
    return routingRows == 1 ? 1 : 0;
}

// Row colours of the work list and the waiter's list.
inline QColor rowColour(int state)
{
    switch (state) {
    case Queued: return QColor(0xC0, 0xC0, 0xC0);  // silver
    case Taken: return QColor(0x80, 0x80, 0x80);   // gray
    default: return QColor(0xA6, 0xCA, 0xF0);      // sky blue
    }
}

}  // namespace LineState
