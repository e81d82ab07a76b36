#pragma once

#include "data/money.h"

// The one amount a table pays, the same on the order window's total line, on the
// printed bill, in the fiscal driver's command, on a client's credit row and in
// the sales report: the sum of the order's line amounts, with the service charge
// where it applies, rounded once to cents, halves away from zero (181.125 gives
// 181.13). The stored line amounts keep their four decimals.
namespace BillTotal {

// S with P percent of service when applied: S / 100 * P + S taken to four
// decimals as an amount holds it, then to cents, halves away from zero.
Money payable(double sum, double percent, bool withService);

// The payable total rounded to cents, from an amount already at four decimals.
Money toCents(Money amount);

// The service charge as the bill shows it: what the payable total adds to the
// lines' sum in cents, so that the printed sum and service add up to the total.
Money serviceShown(double sum, Money payable);

// What is still due after `prepaid`: the payable total less it, never below nothing.
Money due(Money payable, Money prepaid);

}  // namespace BillTotal
