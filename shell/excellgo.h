#pragma once

#include "data/querymodel.h"

#include <QString>
#include <QVector>

class NamedQuery;
class Spreadsheet;

// The spreadsheet export of a report grid: a new workbook from the report's
// template with the title in A1, the grid's column titles in row 3 from B and one
// row per record of the grid's query from row 4, shown to the user unsaved.

// The template named `name` in `folder`: the .xls file, else the .xlsx file, else
// nothing (an empty text).
QString exportTemplate(const QString& folder, const QString& name);

// EXCELLGO: the export of the grid whose query is `query` and whose columns are
// `columns`, with the template `templateName` (no folder, no extension) from
// `folder`. Does nothing without a template, for a query that is not open or one
// without rows. Each value keeps its type (numbers stay numbers, dates dates); a
// column with an empty title stays empty. The query is left on its last row. What
// the spreadsheet application reports goes to the caller as a SpreadsheetError.
// True when a workbook was shown.
bool EXCELLGO(Spreadsheet& office, const QString& title, const QString& templateName, NamedQuery* query,
              const QVector<QueryModel::Column>& columns, const QString& folder);

// The same for a grid's model, with the program's spreadsheet application and
// the templates beside the program's executable.
bool EXCELLGO(const QString& title, const QString& templateName, const QueryModel& grid);
