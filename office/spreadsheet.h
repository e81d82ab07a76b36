#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <stdexcept>

// What the program asks of a spreadsheet application: the bill printout and the
// report export use these operations and nothing else. Cells are named the way a
// user types them ("B6"), ranges by their two corner cells.

// A failure reported by the spreadsheet application (it cannot be started, a
// template it cannot load, a lost connection). The text is the application's own.
class SpreadsheetError : public std::runtime_error
{
public:
    explicit SpreadsheetError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

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

class Workbook
{
public:
    // A workbook still open is closed without saving.
    virtual ~Workbook() = default;

    virtual Worksheet& firstSheet() = 0;
    // One print job of the whole workbook with the defaults: the default printer, one copy.
    virtual void print() = 0;
    // Closes the workbook without saving it.
    virtual void close() = 0;
    // Hands the workbook to the user as a new, unsaved document in a window of
    // its own; the workbook here is closed.
    virtual void show() = 0;
};

class Spreadsheet
{
public:
    virtual ~Spreadsheet() = default;

    // A new workbook based on the template file (.xls, .xlsx or any workbook the
    // application reads); the template itself stays untouched.
    virtual std::unique_ptr<Workbook> newWorkbook(const QString& templatePath) = 0;
};

// The program's spreadsheet application: LibreOffice, started at first use and
// ended with the program (UnoOffice).
Spreadsheet& spreadsheetApplication();
// For tests: `office` serves instead of the program's own until this is called
// again with nullptr.
void setSpreadsheetApplication(Spreadsheet* office);

// The folder the workbook templates are found in: the program's executable's
// folder. For tests: `folder` serves instead until this is called again with an
// empty text.
QString templateFolder();
void setTemplateFolder(const QString& folder);
