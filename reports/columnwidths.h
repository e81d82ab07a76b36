#pragma once

#include <QHeaderView>
#include <QTableView>
#include <initializer_list>

// Sets a grid's column widths in order; a negative width (a grid narrower than
// its fixed columns) leaves that column as it is.
inline void setColumnWidths(QTableView* grid, std::initializer_list<int> widths)
{
    int c = 0;
    for (int w : widths) {
        if (c < grid->horizontalHeader()->count() && w >= 0)
            grid->horizontalHeader()->resizeSection(c, w);
        ++c;
    }
}
