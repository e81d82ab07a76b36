#pragma once

#include <QString>
#include <optional>

// Cell names as a user types them ("B6"): a column of letters and a row number
// from 1. Columns and rows are counted from 0 here (column 1, row 5 is "B6").
namespace CellRef {

struct Cell
{
    int column = 0;
    int row = 0;
    bool operator==(const Cell&) const = default;
};

QString columnName(int column);  // 0 -> "A", 25 -> "Z", 26 -> "AA"
QString name(int column, int row);
QString name(Cell cell);
// "B6", "b6" and "$B$6" read alike; anything else is nothing.
std::optional<Cell> parse(const QString& name);

}  // namespace CellRef
