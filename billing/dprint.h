#pragma once

#include <QString>

class QWidget;
class TDM;

// The order window's DPrint: registers one sale of `amount` with the fiscal
// printer driver at the paths of the settings row and returns when the exchange
// has ended (up to about 20 s without an answer). True when the driver answered
// "00"; `status` gets one of the outcomes listed with FiscalExchange ("oldfile",
// "failed", "off", "unknown" or the answer's code). While it waits, a
// small modal window over `window` (or the active window) shows the seconds left.
// Throws DbError when the settings row cannot be read.
bool DPrint(TDM& dm, double amount, QString& status, QWidget* window = nullptr);
