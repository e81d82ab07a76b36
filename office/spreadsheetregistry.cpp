#include "office/spreadsheet.h"
#include "office/unooffice.h"

#include <QCoreApplication>

// --- the program's one office ------------------------------------------------------

namespace {
UnoOffice* g_office = nullptr;
Spreadsheet* g_replacement = nullptr;
QString g_templateFolder;

void endOffice()
{
    delete g_office;
    g_office = nullptr;
}
}  // namespace

QString templateFolder()
{
    return g_templateFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_templateFolder;
}

void setTemplateFolder(const QString& folder)
{
    g_templateFolder = folder;
}

void setSpreadsheetApplication(Spreadsheet* office)
{
    g_replacement = office;
}

Spreadsheet& spreadsheetApplication()
{
    if (g_replacement)
        return *g_replacement;
    if (!g_office) {
        g_office = new UnoOffice;
        // Ended with the application; without one the office ends with the process.
        if (QCoreApplication::instance())
            qAddPostRoutine(endOffice);
    }
    return *g_office;
}
