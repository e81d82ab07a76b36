#pragma once

#include "office/spreadsheet.h"

#include <QString>
#include <functional>
#include <memory>

// The spreadsheet application as LibreOffice driven over UNO. The office runs as
// a headless process of our own, with a profile folder of its own (so it never
// meets a LibreOffice the user has open) and a named pipe as its only way in. It
// is started at the first job, started again when it has died, and ended with
// this object. Every call into it is made on one office thread (OfficeThread).
//
// Workbooks made here must be let go of before the office itself.
class UnoOffice : public Spreadsheet
{
public:
    UnoOffice();
    ~UnoOffice() override;

    UnoOffice(const UnoOffice&) = delete;
    UnoOffice& operator=(const UnoOffice&) = delete;

    std::unique_ptr<Workbook> newWorkbook(const QString& templatePath) override;

    // Starts the office now unless it is running; throws SpreadsheetError.
    void start();

    // For tests and measurements: print jobs become files in `folder`
    // (print-1.pdf, print-2.pdf, ...) instead of going to the default printer;
    // an empty folder goes back to the printer.
    void setPrintFolder(const QString& folder);
    // For tests: a shown workbook's file is handed to `viewer` instead of being
    // opened in a window of the user's LibreOffice.
    void setViewer(std::function<void(const QString& file)> viewer);
    // For tests: stores a copy of a workbook file in the format its target name's
    // extension stands for (.xls, .xlsx, .ods, .fods).
    void convert(const QString& source, const QString& target);

    // The office process (0 when none runs) and how many times it was started.
    qint64 processId() const;
    int starts() const;

    class Private;

private:
    std::unique_ptr<Private> m_d;
};
