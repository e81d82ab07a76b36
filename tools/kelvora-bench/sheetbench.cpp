// kelvora-bench sheets: times the spreadsheet work of the program on a running
// headless LibreOffice, beside the same work done with one request per cell:
// the bill printout of a few lines (fiscal exchange excluded) and the export of a
// large report grid; and the fiscal exchange with the driver simulator, alone and
// within the whole bill.
//
//   kelvora-bench sheets [--lines N] [--rows N] [--runs N] [--keep FOLDER] [--printer]
//
// Print jobs go to PDF files in a temporary folder (or FOLDER, kept, with the
// last exported workbook), or with --printer to the default printer.

#include "tools/kelvora-bench/sheetbench.h"
#include "billing/billprintout.h"
#include "billing/fiscalexchange.h"
#include "shell/excellgo.h"
#include "office/spreadsheet.h"
#include "office/unooffice.h"
#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/namedquery.h"
#include "data/setup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString Title = QStringLiteral("რეალიზაცია");

QString cell(char column, int row)
{
    return QChar::fromLatin1(column) + QString::number(row);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs `work` `runs` times after one run that is not counted; milliseconds.
std::vector<double> measure(int runs, const std::function<void()>& work)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return times;
}

void report(const char* what, const std::vector<double>& times)
{
    std::printf("  %-44s median %8.1f ms   min %8.1f ms   max %8.1f ms\n", what, median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
}

BillPrintout::Order billOrder(int lines)
{
    BillPrintout::Order order;
    order.waiter = QStringLiteral("ანა");
    order.serviceApplied = true;
    order.servicePercent = 10;
    for (int i = 0; i < lines; ++i) {
        const double quantity = 1 + i % 3;
        const double price = 2.5 + i;
        order.lines.append(
            {i + 1, QStringLiteral("კერძი %1").arg(i + 1), quantity, price, quantity * price, 1234});
    }
    return order;
}

// The bill with every cell written by a request of its own.
void billPerCell(Spreadsheet& office, const QString& templatePath, const BillPrintout::Order& order)
{
    auto book = office.newWorkbook(templatePath);
    Worksheet& sheet = book->firstSheet();
    const QString d = sheet.text(QStringLiteral("A2"));
    int row = 6;
    for (const BillPrintout::Line& line : order.lines) {
        sheet.setFormula(cell('B', row), QString::number(line.Kerdzi_N));
        sheet.setValue(cell('C', row), line.Kerdzi_DAS);
        sheet.setFormula(cell('D', row), Formats::general(line.Raodenoba));
        sheet.setFormula(cell('E', row), Formats::general(line.GFASI));
        sheet.setFormula(cell('F', row), Formats::fixedTwo(line.sulfasi));
        sheet.setFormula(cell('J', row), BillPrintout::formulaJ(row, d));
        ++row;
    }
    sheet.setValue(QStringLiteral("D3"), order.waiter);
    const int R = row + 2;
    const BillPrintout::Totals t = BillPrintout::totals(order);
    sheet.setValue(cell('C', R), BillPrintout::PriceText);
    sheet.setValue(cell('C', R + 1), BillPrintout::serviceCaption(order));
    sheet.setValue(cell('C', R + 2), BillPrintout::TotalText);
    for (const char column : {'E', 'J'}) {
        sheet.setFormula(cell(column, R), Formats::shortest(t.sum));
        sheet.setFormula(cell(column, R + 1), Formats::shortest(t.service));
        sheet.setFormula(cell(column, R + 2), Formats::shortest(t.total));
        sheet.setValue(cell(column, R + 4), BillPrintout::OrderText + QStringLiteral("1234"));
    }
    sheet.setValue(cell('C', R + 5), BillPrintout::ThanksText);
    sheet.setBold(cell('C', R + 2), cell('J', R + 4));
    book->print();
    book->print();
    book->close();
}

// The export with every cell written by a request of its own.
void exportPerCell(Spreadsheet& office, const QString& templatePath, NamedQuery& query,
                   const QVector<QueryModel::Column>& columns)
{
    auto book = office.newWorkbook(templatePath);
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("A1"), Title);
    for (int c = 0; c < columns.size(); ++c)
        sheet.setValue(cell(char('B' + c), 3), columns[c].title);
    std::vector<int> fields;
    for (const QueryModel::Column& column : columns)
        fields.push_back(query.fieldIndex(column.field));
    for (int r = 0; r < query.rowCount(); ++r)
        for (int c = 0; c < columns.size(); ++c)
            sheet.setValue(cell(char('B' + c), 4 + r), query.valueAt(r, fields[std::size_t(c)]));
    query.last();
    book->show();
}

// A sales history of `rows` lines in a new SQLite database that kavshiri points at.
void makeSales(const QString& folder, int rows)
{
    DataLink link;
    link.provider = DataLink::Provider::SQLite;
    link.dataSource = QDir(folder).filePath(QStringLiteral("kelvora.db"));
    const QString udl = QDir(folder).filePath(QLatin1String(DataLink::FileName));
    QFile file(udl);
    file.open(QIODevice::WriteOnly);
    file.write(link.toText().toUtf8());
    file.close();

    // The program's connection refuses a file without its tables: the database
    // is made on a connection of its own first, as kelvora-db init makes it.
    QFile(link.dataSource).open(QIODevice::WriteOnly);
    const QString setupName = QStringLiteral("kelvora_bench_sheets_setup");
    {
        QSqlDatabase setup = Connection::openNamed(link, setupName);
        Setup::initialize(setup, {});
        setup.close();
    }
    QSqlDatabase::removeDatabase(setupName);
    Connection::setDataLinkPath(udl);

    QSqlDatabase db = Connection::database();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, STATUSI, "
        "Starttime, povari, TableNum, momsaxureoba, USERNUM) values (?, ?, ?, ?, ?, ?, ?, 100, ?, 1, ?, 10, "
        "?)"));
    static const QStringList dishes = {QStringLiteral("ხაჭაპური"), QStringLiteral("ლობიო"),
                                       QStringLiteral("მწვადი"), QStringLiteral("ლიმონათი"),
                                       QStringLiteral("ხინკალი")};
    static const QStringList waiters = {QStringLiteral("ანა"), QStringLiteral("ბექა"),
                                        QStringLiteral("ნინო")};
    for (int i = 0; i < rows; ++i) {
        const QDate day = QDate(2024, 1, 1).addDays(i % 365);
        insert.addBindValue(1 + i % 5);
        insert.addBindValue(dishes[i % 5]);
        insert.addBindValue(1.5 + i % 7);
        insert.addBindValue(4.25 + i % 9);
        insert.addBindValue(1 + i % 4);
        insert.addBindValue(waiters[i % 3]);
        insert.addBindValue(day.toString(Qt::ISODate));
        insert.addBindValue(day.toString(Qt::ISODate) + QStringLiteral(" 12:30:00"));
        insert.addBindValue(1 + i % 12);
        insert.addBindValue(1 + i / 3);
        if (!insert.exec())
            throw DbError(insert.lastError().text());
    }
    db.commit();
}

}  // namespace

int sheetBench(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvora-bench sheets"));
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Times the bill printout and the report export on LibreOffice."));
    options.addHelpOption();
    options.addOption({QStringLiteral("lines"), QStringLiteral("Lines of the bill (10)."),
                       QStringLiteral("n"), QStringLiteral("10")});
    options.addOption({QStringLiteral("rows"), QStringLiteral("Rows of the export (10000)."),
                       QStringLiteral("n"), QStringLiteral("10000")});
    options.addOption({QStringLiteral("runs"), QStringLiteral("Measured runs of each (5)."),
                       QStringLiteral("n"), QStringLiteral("5")});
    options.addOption({QStringLiteral("per-cell-runs"),
                       QStringLiteral("Measured runs of the per-cell export (1)."), QStringLiteral("n"),
                       QStringLiteral("1")});
    options.addOption({QStringLiteral("printer"), QStringLiteral("Print the bills on the default printer.")});
    options.addOption({QStringLiteral("keep"),
                       QStringLiteral("Keep the print files and the last workbook here."),
                       QStringLiteral("folder")});
    options.process(app);
    const int lines = options.value(QStringLiteral("lines")).toInt();
    const int rows = options.value(QStringLiteral("rows")).toInt();
    const int runs = std::max(1, options.value(QStringLiteral("runs")).toInt());
    const int perCellRuns = std::max(1, options.value(QStringLiteral("per-cell-runs")).toInt());

    // The templates are made beside the program, one folder up from the tools.
    const QString templates = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(".."));
    const QString billTemplate = QDir(templates).filePath(BillPrintout::TemplateName);
    const QString exportTemplateName = QStringLiteral("R_realizacia");
    if (!QFile::exists(billTemplate) || exportTemplate(templates, exportTemplateName).isEmpty()) {
        std::fprintf(stderr, "templates not found in %s\n", qPrintable(QDir::cleanPath(templates)));
        return 1;
    }

    QTemporaryDir work;
    const QString keep = options.value(QStringLiteral("keep"));
    const QString outFolder = keep.isEmpty() ? work.filePath(QStringLiteral("out")) : keep;
    QDir().mkpath(outFolder);

    try {
        UnoOffice office;
        if (!options.isSet(QStringLiteral("printer")))
            office.setPrintFolder(outFolder);
        QString lastShown;
        office.setViewer([&](const QString& file) {
            if (!lastShown.isEmpty())
                QFile::remove(lastShown);
            lastShown = file;
        });

        std::printf("kelvora-bench sheets: LibreOffice headless, %d measured runs (median, min, max)\n\n",
                    runs);
        QElapsedTimer clock;
        clock.start();
        office.start();
        std::printf("  %-44s %8.1f ms\n\n", "office start (fresh profile)",
                    double(clock.nsecsElapsed()) / 1e6);

        // The bill: fill, two print jobs (PDF files), close; no fiscal exchange.
        const BillPrintout::Order order = billOrder(lines);
        std::printf("bill of %d lines, printed twice:\n", lines);
        const auto bill = measure(runs, [&] {
            if (!BillPrintout::print(office, billTemplate, order, [](double) {}))
                throw SpreadsheetError(QStringLiteral("the bill was not printed"));
        });
        report("blocks (program)", bill);
        const auto billCells = measure(runs, [&] { billPerCell(office, billTemplate, order); });
        report("one request per cell", billCells);
        std::printf("  speed-up %.1fx\n\n", median(billCells) / median(bill));

        // The fiscal exchange with the driver simulator answering at once, alone
        // and within the whole bill.
        const QString simulator = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kelvora-fiscal-sim"));
        QDir().mkpath(work.filePath(QStringLiteral("fiscal")));
        const FiscalExchange::Paths paths{work.filePath(QStringLiteral("fiscal/command.txt")),
                                          work.filePath(QStringLiteral("fiscal/answer.txt"))};
        QProcess driver;
        driver.start(simulator, {QStringLiteral("--command"), paths.command, QStringLiteral("--answer"), paths.answer});
        if (!driver.waitForStarted(5000))
            throw SpreadsheetError(QStringLiteral("the driver simulator did not start: %1").arg(simulator));
        std::vector<double> afterAnswer;
        FiscalExchange exchange(FiscalExchange::Timing{}, FiscalExchange::Indicator::Hidden);
        const auto registerOnce = [&](double amount) {
            QString status;
            if (!exchange.exchange(paths, amount, status))
                throw SpreadsheetError(QStringLiteral("the fiscal exchange ended with %1").arg(status));
            const QDateTime landed = QFileInfo(paths.answer).lastModified();
            afterAnswer.push_back(double(landed.msecsTo(QDateTime::currentDateTime())));
        };
        std::printf("fiscal exchange, the driver simulator answering as soon as it sees the command:\n");
        const auto fiscal = measure(runs, [&] { registerOnce(12.5); });
        report("exchange", fiscal);
        afterAnswer.erase(afterAnswer.begin());  // the untimed run's
        report("exchange's end after the answer landed", afterAnswer);
        std::printf("  target: <= 150 ms after the answer %s\n", median(afterAnswer) <= 150 ? "ok" : "MISSED");
        const auto wholeBill = measure(runs, [&] {
            if (!BillPrintout::print(office, billTemplate, order, registerOnce))
                throw SpreadsheetError(QStringLiteral("the bill was not printed"));
        });
        report("whole bill: printout and exchange", wholeBill);
        std::printf("  target: <= 400 ms %s\n\n", median(wholeBill) <= 400 ? "ok" : "MISSED");
        driver.kill();
        driver.waitForFinished(5000);

        // The export of the sales grid.
        clock.restart();
        makeSales(work.path(), rows);
        NamedQuery query(
            QStringLiteral("bench"),
            QStringLiteral("select USERNUM, Kerdzi_DAS, OFFICIANT, TableNum, Raodenoba, AFASI, GFASI, "
                           "momsaxureoba, Tarigi from Shekvetebi order by ID"),
            QString());
        query.open();
        const QVector<QueryModel::Column> columns = {
            {QStringLiteral("USERNUM"), QStringLiteral("შეკვეთის №")},
            {QStringLiteral("Kerdzi_DAS"), QStringLiteral("კერძი")},
            {QStringLiteral("OFFICIANT"), QStringLiteral("ოფიციანტი")},
            {QStringLiteral("TableNum"), QStringLiteral("მაგიდა")},
            {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
            {QStringLiteral("AFASI"), QStringLiteral("თვით ღირ")},
            {QStringLiteral("GFASI"), QStringLiteral("ფასი")},
            {QStringLiteral("momsaxureoba"), QStringLiteral("მომსახურება")},
            {QStringLiteral("Tarigi"), QStringLiteral("თარიღი")},
        };
        std::printf("export of %d rows x %d columns (the query read in %.0f ms, not counted):\n",
                    query.rowCount(), int(columns.size()), double(clock.nsecsElapsed()) / 1e6);
        const auto exported = measure(runs, [&] {
            if (!EXCELLGO(office, Title, exportTemplateName, &query, columns, templates))
                throw SpreadsheetError(QStringLiteral("nothing was exported"));
        });
        report("blocks (program)", exported);
        const auto exportedCells = measure(perCellRuns, [&] {
            exportPerCell(office, exportTemplate(templates, exportTemplateName), query, columns);
        });
        report("one request per cell", exportedCells);
        std::printf("  speed-up %.1fx\n", median(exportedCells) / median(exported));
        // The last workbook shown (both ways write the same sheet) is kept as a sample, or dropped.
        if (!keep.isEmpty() && !lastShown.isEmpty()) {
            QFile::copy(lastShown, QDir(keep).filePath(QFileInfo(lastShown).fileName()));
            std::printf("\nprint files and %s kept in %s\n", qPrintable(QFileInfo(lastShown).fileName()),
                        qPrintable(keep));
        }
        QFile::remove(lastShown);
        query.close();
    } catch (const SpreadsheetError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    Connection::close();
    return 0;
}
