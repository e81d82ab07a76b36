#include "shell/excellgo.h"
#include "shell/waitindicator.h"
#include "office/cellref.h"
#include "office/spreadsheet.h"
#include "data/namedquery.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <memory>

namespace {

const QString ExportingText = QStringLiteral("ცხრილში გადატანა…");
// Rows written per request: large enough to keep requests few, small enough to
// keep the progress moving.
constexpr int BlockRows = 1000;
// An export that has run this long shows its progress.
constexpr qint64 ProgressAfterMs = 1000;
constexpr int FirstColumn = 1;     // B
constexpr int TitleRow = 2;        // row 3
constexpr int FirstRecordRow = 3;  // row 4

// The progress window of a long export, shown once the export has run a second.
class Progress
{
public:
    explicit Progress(int rows)
        : m_rows(rows) { m_clock.start(); }

    void set(int done)
    {
        if (!m_dialog) {
            if (m_clock.elapsed() < ProgressAfterMs || !qobject_cast<QApplication*>(QCoreApplication::instance()))
                return;
            m_dialog = std::make_unique<WaitIndicator>(QStringLiteral("ExportProgress"),
                                                       QApplication::applicationDisplayName(), ExportingText, m_rows,
                                                       WaitIndicator::frontWindow());
            m_dialog->show();
        }
        m_dialog->setValue(done);
    }

private:
    int m_rows;
    QElapsedTimer m_clock;
    std::unique_ptr<WaitIndicator> m_dialog;
};

}  // namespace

QString exportTemplate(const QString& folder, const QString& name)
{
    for (const char* extension : {".xls", ".xlsx"}) {
        const QString path = QDir(folder).filePath(name + QLatin1String(extension));
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

bool EXCELLGO(Spreadsheet& office, const QString& title, const QString& templateName, NamedQuery* query,
              const QVector<QueryModel::Column>& columns, const QString& folder)
{
    const QString templatePath = exportTemplate(folder, templateName);
    if (templatePath.isEmpty())
        return false;
    if (!query || !query->isOpen() || query->isEmpty())
        return false;

    const int columnCount = int(columns.size());
    const int rowCount = query->rowCount();
    query->first();

    std::unique_ptr<Workbook> book = office.newWorkbook(templatePath);
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("A1"), title);

    // Column titles in row 3 from B, an empty text for a column without one.
    QVariantList titles;
    for (const QueryModel::Column& column : columns)
        titles.append(column.title);
    sheet.setValues(CellRef::name(FirstColumn, TitleRow), {titles});

    // Below the titles only the titled columns are written: runs of them side by
    // side, each with the fields of its columns.
    struct Run
    {
        int first = 0;  // grid column
        std::vector<int> fields;
    };
    std::vector<Run> runs;
    for (int c = 0; c < columnCount; ++c) {
        const QueryModel::Column& column = columns[c];
        if (column.title.isEmpty())
            continue;
        if (runs.empty() || runs.back().first + int(runs.back().fields.size()) != c)
            runs.push_back({c, {}});
        runs.back().fields.push_back(column.field.isEmpty() ? -1 : query->fieldIndex(column.field));
    }

    // The records from row 4, a block of rows per request and run.
    Progress progress(rowCount);
    for (int start = 0; start < rowCount; start += BlockRows) {
        const int end = std::min(rowCount, start + BlockRows);
        for (const Run& run : runs) {
            QList<QVariantList> block;
            block.reserve(end - start);
            for (int record = start; record < end; ++record) {
                QVariantList values;
                values.reserve(qsizetype(run.fields.size()));
                for (const int field : run.fields)
                    values.append(field < 0 ? QVariant() : query->valueAt(record, field));
                block.append(std::move(values));
            }
            sheet.setValues(CellRef::name(FirstColumn + run.first, FirstRecordRow + start), block);
        }
        progress.set(end);
    }
    query->last();

    book->show();
    return true;
}

bool EXCELLGO(const QString& title, const QString& templateName, const QueryModel& grid)
{
    return EXCELLGO(spreadsheetApplication(), title, templateName, grid.dataSet(), grid.columns(),
                    templateFolder());
}
