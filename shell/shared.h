#pragma once

#include "shell/errorguard.h"

#include <QDateTime>
#include <QString>

class QTableView;

// Shared operations of the main window, used by every screen.

// A filter text as a `like` pattern: "%" when it is blank after trimming,
// otherwise the text unchanged, blanks included.
QString ifisstring(const QString& text);

// The same day at midnight.
QDateTime short_dat(const QDateTime& value);

// Spreads the grid's width (less 50) over its columns wider than `minwidth`;
// the others stay. Changes nothing when there is no room or nothing to widen.
void resizegrid(QTableView* grid, int minwidth);
