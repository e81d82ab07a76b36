#include "office/cellref.h"

#include <limits>

QString CellRef::columnName(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

QString CellRef::name(int column, int row)
{
    return columnName(column) + QString::number(row + 1);
}

QString CellRef::name(Cell cell)
{
    return name(cell.column, cell.row);
}

std::optional<CellRef::Cell> CellRef::parse(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipDollar = [&] {
        if (i < n && text[i] == u'$')
            ++i;
    };

    skipDollar();
    qint64 column = 0;
    const qsizetype lettersStart = i;
    for (; i < n && text[i].isLetter() && text[i].unicode() < 128; ++i) {
        column = column * 26 + (text[i].toUpper().unicode() - u'A' + 1);
        if (column > std::numeric_limits<int>::max() / 26)
            return std::nullopt;
    }
    if (i == lettersStart)
        return std::nullopt;

    skipDollar();
    qint64 row = 0;
    const qsizetype digitsStart = i;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        row = row * 10 + (text[i].unicode() - u'0');
        if (row > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    if (i == digitsStart || i != n || row == 0)
        return std::nullopt;
    return Cell{int(column - 1), int(row - 1)};
}
