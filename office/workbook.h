#pragma once

#include "office/worksheet.h"

// A workbook made from a template, open in the spreadsheet application.
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
