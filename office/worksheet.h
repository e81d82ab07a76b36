#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

// One sheet of a workbook. Cells are named the way a user types them ("B6"),
// ranges by their two corner cells.
class Worksheet
{
public:
    virtual ~Worksheet() = default;

    // The cell's content as the sheet shows it ("2" for the number 2 in a general format).
    virtual QString text(const QString& cell) = 0;
    // A number (any numeric type), a text (kept as text even when it reads as a
    // number), a date or a date-time (shown as such); an empty value empties the cell.
    virtual void setValue(const QString& cell, const QVariant& value) = 0;
    // What a user would type into the cell: a text starting with "=" is a formula
    // in Excel's form (English function names, commas between arguments), a number
    // in the program's number form becomes that number, anything else is text.
    virtual void setFormula(const QString& cell, const QString& entry) = 0;
    // Sets the font of the range from `from` to `to` bold.
    virtual void setBold(const QString& from, const QString& to) = 0;
    // Writes rows of values from `topLeft` rightwards and downwards in one request;
    // each value as setValue() takes it. Shorter rows are padded with empty cells.
    virtual void setValues(const QString& topLeft, const QList<QVariantList>& rows) = 0;
};
