#include "shell/shared.h"

#include <QHeaderView>
#include <QTableView>

QString ifisstring(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("%");
    return text;
}

QDateTime short_dat(const QDateTime& value)
{
    return QDateTime(value.date(), QTime(0, 0));
}

void resizegrid(QTableView* grid, int minwidth)
{
    QHeaderView* header = grid->horizontalHeader();
    const int available = grid->width() - 50;
    const int n = header->count();
    int fixedWidth = 0;
    int fixedCount = 0;
    for (int c = 0; c < n; ++c) {
        const int w = header->sectionSize(c);
        if (w <= minwidth) {
            fixedWidth += w;
            ++fixedCount;
        }
    }
    if (available - fixedWidth <= 0 || n - fixedCount <= 0)
        return;
    const int w = (available - fixedWidth) / (n - fixedCount);
    if (w <= 4)
        return;
    for (int c = 0; c < n; ++c)
        if (header->sectionSize(c) > minwidth)
            header->resizeSection(c, w);
}
