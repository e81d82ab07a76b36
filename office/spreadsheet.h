#pragma once

#include "office/spreadsheeterror.h"
#include "office/workbook.h"

#include <QString>
#include <memory>

// What the program asks of a spreadsheet application: the bill printout and the
// report export use these operations and nothing else. Cells are named the way a
// user types them ("B6"), ranges by their two corner cells.

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
