#pragma once

#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <algorithm>
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

// After a search: a column whose texts are wider than it grows to fit them, and
// the first column gives up what it has to spare, so nothing is cut off.
inline void fitColumns(QTableView* grid)
{
    QHeaderView* header = grid->horizontalHeader();
    const QAbstractItemView* view = grid;  // the contents' width hint is public here
    const int count = header->count();
    if (count == 0)
        return;
    int others = 0;
    for (int c = 1; c < count; ++c) {
        const int needed = std::max(view->sizeHintForColumn(c), header->sectionSizeHint(c));
        if (needed > header->sectionSize(c))
            header->resizeSection(c, needed);
        others += header->sectionSize(c);
    }
    const int firstNeeded = std::max(view->sizeHintForColumn(0), header->sectionSizeHint(0));
    // Room for the vertical scroll bar, which a long list brings after this.
    const int bar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    const int room = grid->width() - 2 * grid->frameWidth() - grid->verticalHeader()->width() - bar - others;
    header->resizeSection(0, std::max(firstNeeded, std::min(header->sectionSize(0), room)));
}
