#include "shell/excellgo.h"
#include "office/unooffice.h"
#include "data/connection.h"
#include "data/namedquery.h"
#include "tests/office/officetesting.h"
#include "tests/data/sampledata.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTest>
#include <QThread>
#include <memory>

// The export of a report grid into a workbook made from its template, with a
// real headless LibreOffice, on both engines: the sheet layout with typed values,
// the column without a title, the choice of template, the cases that do nothing,
// a long list, and the progress shown for a slow one.
class tst_excellgo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase();
    void cleanupTestCase();
    void init();

    void sheetLayout();
    void templateChoice_data();
    void templateChoice();
    void nothingToExport_data();
    void nothingToExport();
    void fiveHundredRows();
    void slowExportShowsProgress();

private:
    // A folder with the given templates of `name`, each marking its A2 with its extension.
    QString templateFolder(const QString& name, const QStringList& extensions);

    SampleData::Shared m_sample;
    std::unique_ptr<OfficeTesting::TestOffice> m_test;
};

namespace {

const QString Title = QStringLiteral("რეალიზაცია");

// The sales lines of the sample database with their occupancy row's prepayment.
const QString SalesSql = QStringLiteral(
    "select s.USERNUM, s.Kerdzi_DAS, s.OFFICIANT, s.TableNum, s.Raodenoba, s.GFASI, s.Tarigi, s.ID, "
    "s.Starttime, b.GadaxdiliTanxa from Shekvetebi s left join busytable b on b.USERNUM = s.USERNUM "
    "order by s.ID");

const QVector<QueryModel::Column> SalesColumns = {
    {QStringLiteral("USERNUM"), QStringLiteral("შეკვეთის №")},
    {QStringLiteral("Kerdzi_DAS"), QStringLiteral("კერძი")},
    {QStringLiteral("OFFICIANT"), QStringLiteral("ოფიციანტი")},
    {QStringLiteral("TableNum"), QStringLiteral("მაგიდა")},
    {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
    {QStringLiteral("GFASI"), QStringLiteral("ფასი")},
    {QStringLiteral("Tarigi"), QStringLiteral("თარიღი")},
    {QStringLiteral("ID"), QString()},  // a column the grid draws itself: its field is not exported
    {QStringLiteral("Starttime"), QStringLiteral("დრო")},
    {QStringLiteral("GadaxdiliTanxa"), QStringLiteral("წინასწარ")},
};

// Passes the work on to the office, taking `delay` longer over every block of
// rows, and notes the export's progress window as it goes.
class SlowOffice : public Spreadsheet
{
public:
    SlowOffice(Spreadsheet& office, unsigned long delayMs)
        : m_office(office), m_delayMs(delayMs) {}

    std::unique_ptr<Workbook> newWorkbook(const QString& path) override
    {
        return std::make_unique<Book>(*this, m_office.newWorkbook(path));
    }

    QList<int> progressSeen;  // the window's value at each block, -1 while none shows

private:
    class Sheet : public Worksheet
    {
    public:
        Sheet(SlowOffice& office, Worksheet& sheet)
            : m_office(office), m_sheet(sheet) {}
        QString text(const QString& cell) override { return m_sheet.text(cell); }
        void setValue(const QString& cell, const QVariant& value) override { m_sheet.setValue(cell, value); }
        void setFormula(const QString& cell, const QString& entry) override
        {
            m_sheet.setFormula(cell, entry);
        }
        void setBold(const QString& from, const QString& to) override { m_sheet.setBold(from, to); }
        void setValues(const QString& topLeft, const QList<QVariantList>& rows) override
        {
            int seen = -1;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QProgressDialog*>(w);
                    d && d->isVisible() && d->objectName() == QLatin1String("ExportProgress"))
                    seen = d->value();
            m_office.progressSeen.append(seen);
            QThread::msleep(m_office.m_delayMs);
            m_sheet.setValues(topLeft, rows);
        }

    private:
        SlowOffice& m_office;
        Worksheet& m_sheet;
    };

    class Book : public Workbook
    {
    public:
        Book(SlowOffice& office, std::unique_ptr<Workbook> book)
            : m_book(std::move(book)), m_sheet(office, m_book->firstSheet())
        {
        }
        Worksheet& firstSheet() override { return m_sheet; }
        void print() override { m_book->print(); }
        void close() override { m_book->close(); }
        void show() override { m_book->show(); }

    private:
        std::unique_ptr<Workbook> m_book;
        Sheet m_sheet;
    };

    Spreadsheet& m_office;
    unsigned long m_delayMs;
};

}  // namespace

void tst_excellgo::initTestCase()
{
    if (!m_test) {  // one office for both engines
        m_test = std::make_unique<OfficeTesting::TestOffice>();
        m_test->office().start();
    }
}

void tst_excellgo::cleanupTestCase()
{
    m_sample.reset();
    m_test.reset();
}

void tst_excellgo::init()
{
    m_sample.use();
    m_test->clearShown();
}

QString tst_excellgo::templateFolder(const QString& name, const QStringList& extensions)
{
    const QString folder = name + QStringLiteral("-") + extensions.join(u'-');
    for (const QString& extension : extensions)
        m_test->makeWorkbook(folder + u'/' + name + u'.' + extension,
                             OfficeTesting::flatWorkbook({{QStringLiteral("A2"), extension},
                                                          {QStringLiteral("B3"), QStringLiteral("—")}}));
    return m_test->file(folder);
}

void tst_excellgo::sheetLayout()
{
    NamedQuery query(QStringLiteral("sales"), SalesSql, QString());
    query.open();
    QCOMPARE(query.rowCount(), 4);
    SlowOffice office(m_test->office(), 0);

    // A template with cells of its own in the column left without a title.
    const QString folder = m_test->file(QStringLiteral("layout"));
    m_test->makeWorkbook(QStringLiteral("layout/R_realizacia.xlsx"),
                         OfficeTesting::flatWorkbook({{QStringLiteral("I5"), QStringLiteral("შაბლონის")},
                                                      {QStringLiteral("I8"), 8}}));

    QVERIFY(EXCELLGO(office, Title, QStringLiteral("R_realizacia"), &query, SalesColumns, folder));

    QCOMPARE(m_test->shown().size(), 1);
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));
    QCOMPARE(sheet.text(QStringLiteral("A1")), Title);

    // Row 3: the column titles from B, the untitled column's cell empty.
    const QStringList titles = {"შეკვეთის №", "კერძი", "ოფიციანტი", "მაგიდა", "რაოდენობა",
                                "ფასი", "თარიღი", "", "დრო", "წინასწარ"};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(sheet.text(CellRef::name(1 + c, 2)), titles[c]);
    QVERIFY(sheet.cell(QStringLiteral("A3")).isEmpty());

    // One row per record from row 4, each value with its type.
    struct Expected
    {
        const char* cell;
        const char* type;
        const char* value;  // the stored value, or the text of a string
    };
    const Expected expected[] = {
        {"B4", "float", "7"},
        {"C4", "string", "ხაჭაპური"},
        {"D4", "string", "ანა"},
        {"E4", "float", "5"},
        {"F4", "float", "2"},
        {"G4", "float", "5"},
        {"H4", "date", "2024-06-08"},
        {"I4", "", ""},  // the untitled column: nothing written below its title
        {"J4", "date", "2024-06-08T12:00:00"},
        {"K4", "float", "12.5"},
        {"C5", "string", "ლიმონათი"},
        {"G5", "float", "2.5"},
        {"I5", "string", "შაბლონის"},
        {"B6", "float", "6"},
        {"H6", "date", "2024-06-01"},
        {"J6", "date", "2024-06-01T19:00:00"},
        {"K6", "", ""},  // no prepayment row: empty
        {"B7", "float", "57"},
        {"C7", "string", "ხაჭაპური"},
        {"H7", "date", "2024-05-31"},
        {"I7", "", ""},
        {"I8", "float", "8"},
        {"B8", "", ""},
    };
    for (const Expected& e : expected) {
        const OfficeTesting::Cell c = sheet.cell(QLatin1String(e.cell));
        QVERIFY2(c.type == QLatin1String(e.type), e.cell);
        const QString value = c.type == QLatin1String("string") ? c.text : c.value;
        QVERIFY2(value == QString::fromUtf8(e.value), qPrintable(QLatin1String(e.cell) + u' ' + value));
    }
    QCOMPARE(sheet.lastRow(QStringLiteral("B")), 7);
    QCOMPARE(sheet.lastRow(QStringLiteral("I")), 8);

    // The query is left on its last row; a quick export shows no progress.
    QCOMPARE(query.recNo(), 3);
    QCOMPARE(office.progressSeen, QList<int>({-1, -1, -1}));  // titles, then two runs of columns
}

void tst_excellgo::templateChoice_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("used");  // empty: no export

    QTest::newRow("xls only") << QStringList{"xls"} << "xls";
    QTest::newRow("xlsx only") << QStringList{"xlsx"} << "xlsx";
    QTest::newRow("both: xls wins") << QStringList{"xls", "xlsx"} << "xls";
    QTest::newRow("neither") << QStringList{} << "";
}

void tst_excellgo::templateChoice()
{
    QFETCH(QStringList, present);
    QFETCH(QString, used);

    NamedQuery query(QStringLiteral("sales"), SalesSql, QString());
    query.open();
    query.first();
    const QString folder = templateFolder(QStringLiteral("R_sawyobi"), present);
    OfficeTesting::RecordingOffice office(m_test->office());

    const bool exported = EXCELLGO(office, QStringLiteral("საწყობი"), QStringLiteral("R_sawyobi"), &query,
                                   SalesColumns, folder);

    QCOMPARE(exported, !used.isEmpty());
    if (used.isEmpty()) {
        QVERIFY(office.log.isEmpty());
        QVERIFY(m_test->shown().isEmpty());
        QCOMPARE(query.recNo(), 0);
        return;
    }
    QCOMPARE(office.log, (QStringList{QStringLiteral("new R_sawyobi.") + used, QStringLiteral("show")}));
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    QCOMPARE(sheet.text(QStringLiteral("A2")), used);  // the template's own cells stay
    QCOMPARE(sheet.text(QStringLiteral("A1")), QStringLiteral("საწყობი"));
    QCOMPARE(sheet.text(QStringLiteral("B3")), QStringLiteral("შეკვეთის №"));  // written over the template's
}

void tst_excellgo::nothingToExport_data()
{
    QTest::addColumn<QString>("sql");  // empty: no query at all
    QTest::addColumn<bool>("open");

    QTest::newRow("query not open yet") << SalesSql << false;
    QTest::newRow("no rows") << QStringLiteral("select * from Shekvetebi where USERNUM = -99") << true;
    QTest::newRow("no query") << QString() << false;
}

void tst_excellgo::nothingToExport()
{
    QFETCH(QString, sql);
    QFETCH(bool, open);

    std::unique_ptr<NamedQuery> query;
    if (!sql.isEmpty()) {
        query = std::make_unique<NamedQuery>(QStringLiteral("report"), sql, QString());
        if (open)
            query->open();
    }
    OfficeTesting::RecordingOffice office(m_test->office());
    const QString folder = templateFolder(QStringLiteral("R_migeba"), {QStringLiteral("xls")});

    QVERIFY(!EXCELLGO(office, QStringLiteral("მიღება"), QStringLiteral("R_migeba"), query.get(), SalesColumns,
                      folder));
    QVERIFY(office.log.isEmpty());  // the office is not even asked
    QVERIFY(m_test->shown().isEmpty());
    if (query)
        QCOMPARE(query->isOpen(), open);
}

void tst_excellgo::fiveHundredRows()
{
    NamedQuery query(
        QStringLiteral("numbers"),
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 500) "
                       "select i, 'row ' || i as name from n order by i"),
        QString());
    query.open();
    QCOMPARE(query.rowCount(), 500);

    QVERIFY(EXCELLGO(
        m_test->office(), QStringLiteral("წაშლილები"), QStringLiteral("R_washlilebi"), &query,
        {{QStringLiteral("i"), QStringLiteral("№")}, {QStringLiteral("name"), QStringLiteral("სახელი")}},
        templateFolder(QStringLiteral("R_washlilebi"), {QStringLiteral("xlsx")})));

    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    QCOMPARE(sheet.cell(QStringLiteral("B4")).value, QStringLiteral("1"));
    QCOMPARE(sheet.text(QStringLiteral("C4")), QStringLiteral("row 1"));
    QCOMPARE(sheet.cell(QStringLiteral("B254")).value, QStringLiteral("251"));
    QCOMPARE(sheet.cell(QStringLiteral("B503")).value, QStringLiteral("500"));
    QCOMPARE(sheet.text(QStringLiteral("C503")), QStringLiteral("row 500"));
    QCOMPARE(sheet.lastRow(QStringLiteral("B")), 503);
    QCOMPARE(sheet.lastRow(QStringLiteral("C")), 503);
    QCOMPARE(query.recNo(), 499);
}

void tst_excellgo::slowExportShowsProgress()
{
    // Three blocks of rows, each taking 0.7 s more: the progress shows
    // from the second second on, and goes away with the export.
    NamedQuery query(
        QStringLiteral("numbers"),
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 2500) "
                       "select i from n order by i"),
        QString());
    query.open();
    SlowOffice office(m_test->office(), 700);

    QVERIFY(EXCELLGO(office, Title, QStringLiteral("R_realizacia"), &query,
                     {{QStringLiteral("i"), QStringLiteral("№")}},
                     templateFolder(QStringLiteral("R_realizacia"), {QStringLiteral("xlsx")})));

    // The titles, then blocks of rows from 0, 1000 and 2000 rows done.
    QCOMPARE(office.progressSeen.size(), 4);
    QCOMPARE(office.progressSeen.mid(0, 3), QList<int>({-1, -1, -1}));
    QCOMPARE(office.progressSeen[3], 2000);
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(!(qobject_cast<QProgressDialog*>(w) && w->isVisible()));
    QCOMPARE(OfficeTesting::Sheet(m_test->shown().constFirst()).lastRow(QStringLiteral("B")), 2503);
}

QTEST_MAIN(tst_excellgo)
#include "tst_excellgo.moc"
