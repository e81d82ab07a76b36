#pragma once

#include <QPixmap>

// The delete mark of the order grid, the receiving line grid and the credit
// ledger: a red disc with a white cross, 30 x 30, stretched over its cell.
QPixmap deleteMark();
