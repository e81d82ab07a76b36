#include "data/catalogue.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "tests/data/sampledata.h"
#include "tests/support/testdb.h"

#include <QSqlQuery>
#include <QTest>
#include <memory>

// Every SQL text of the catalogue runs as written on both engines, with the
// filter rules the screens rely on: `like` on integer columns, patterns, empty
// parameters, dates compared with day text.
class tst_catalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void cleanupTestCase() { m_sample.reset(); }

    void everyEntryIsKnown();
    void queries_data();
    void queries();
    void everyQueryCovered();
    void statements_data();
    void statements();
    void parameterNamesIgnoreCase();
    void parametersKeptAcrossReopen();
    void emptyParameterMatchesNothing_data();
    void emptyParameterMatchesNothing();
    void unknownParameterThrows();
    void dayRange_data();
    void dayRange();
    void dayEquals_data();
    void dayEquals();

private:
    void useSample() { m_sample.use(); }
    SampleData::Shared m_sample;
};

namespace {

// "A=1|B=x" into the query's parameters.
void setParams(NamedQuery* q, const QString& params)
{
    if (params.isEmpty())
        return;
    for (const QString& pair : params.split(u'|')) {
        const qsizetype eq = pair.indexOf(u'=');
        q->setParam(pair.left(eq), pair.mid(eq + 1));
    }
}

int countRows(QSqlDatabase db, const QString& sql)
{
    return TestDb::scalar(db, sql).toInt();
}

}  // namespace

void tst_catalogue::everyEntryIsKnown()
{
    // Every catalogue name reaches its object by name, without regard to case.
    TDM dm;
    for (const CatalogueEntry& e : catalogue()) {
        const QString name = QString::fromLatin1(e.name);
        if (e.kind == CatalogueEntry::Query) {
            QVERIFY2(dm.query(name.toUpper()), e.name);
            QCOMPARE(dm.query(name)->sql(), QString::fromUtf8(e.sql));
            QVERIFY(!dm.query(name)->isOpen());
        } else {
            QVERIFY2(dm.statement(name.toLower()), e.name);
        }
    }
    QVERIFY(!dm.query(QStringLiteral("no_such_query")));
}

namespace {

struct QueryCase
{
    const char* tag;
    const char* query;
    const char* params;  // "A=1|B=x"
    int rows;
};

// Row counts over the sample data.
const QueryCase QueryCases[] = {
    {"busytables, table 5", "busytables", "TB=5", 1},
    {"busytables, table without a row", "busytables", "TB=15", 0},
    {"Tables", "Tables", "", 6},
    {"setting", "setting", "", 1},
    {"kerdzebi, all named and typed", "kerdzebi", "das=%|tp=%", 4},
    {"kerdzebi, name prefix", "kerdzebi", "das=ხაჭ%|tp=%", 1},
    {"kerdzebi, exact name", "kerdzebi", "das=ლობიო|tp=%", 1},
    {"kerdzebi, one type", "kerdzebi", "das=%|tp=ცხელი", 2},
    {"kerdzebi2, all", "kerdzebi2", "das=%|tp=%|mom=%", 4},
    {"kerdzebi2, supplier", "kerdzebi2", "das=%|tp=%|mom=შპს ბაზარი", 3},
    {"kerdzebi_kerid, 1", "kerdzebi_kerid", "ID=1", 1},
    {"kerdzebi_kerid, unknown", "kerdzebi_kerid", "ID=99", 0},
    {"kerdzebibyid", "kerdzebibyid", "", 6},
    {"GROUP_TYPE", "GROUP_TYPE", "", 4},
    {"momwodebeli", "momwodebeli", "", 2},
    {"oficianti", "oficianti", "", 2},
    {"shekvet, order 7", "shekvet", "USR=7", 2},
    {"shekvet, free table", "shekvet", "USR=-1", 0},
    {"sum_shekvetebi", "sum_shekvetebi", "USR=7", 1},
    {"sum_shekvetebi, no lines", "sum_shekvetebi", "USR=-1", 1},
    {"shekvetis_nomrebi, one row whatever the number", "shekvetis_nomrebi", "USR=7", 1},
    {"shekvetis_gia_xazebi, one row whatever the number", "shekvetis_gia_xazebi", "USR=7", 1},
    {"History_shekvetebi, June", "History_shekvetebi", "USR=%|OF=%|TB=%|das=%|ST=2024-06-01|EN=2024-06-30", 3},
    {"History_shekvetebi, May to June", "History_shekvetebi", "USR=%|OF=%|TB=%|das=%|ST=2024-05-01|EN=2024-06-30", 4},
    {"History_shekvetebi, table 5 and not 15", "History_shekvetebi", "USR=%|OF=%|TB=5|das=%|ST=2024-06-01|EN=2024-06-30", 2},
    {"History_shekvetebi, table pattern 1%", "History_shekvetebi", "USR=%|OF=%|TB=1%|das=%|ST=2024-06-01|EN=2024-06-30", 1},
    {"History_shekvetebi, order 7 and not 57", "History_shekvetebi", "USR=7|OF=%|TB=%|das=%|ST=2024-05-01|EN=2024-06-30", 2},
    {"History_shekvetebi, waiter", "History_shekvetebi", "USR=%|OF=ბექა|TB=%|das=%|ST=2024-06-01|EN=2024-06-30", 1},
    {"History_shekvetebi, dish", "History_shekvetebi", "USR=%|OF=%|TB=%|das=ლიმონათი|ST=2024-06-01|EN=2024-06-30", 1},
    {"sul_his_shek", "sul_his_shek", "USR=%|OF=%|TB=%|das=%|ST=2024-06-01|EN=2024-06-30", 1},
    {"magidebis_raod", "magidebis_raod", "USR=%|OF=%|TB=%|das=%|ST=2024-06-01|EN=2024-06-30", 2},
    {"Povari_left, any cook", "Povari_left", "UP=%|TP=%", 1},
    {"Povari_left, the type's cook", "Povari_left", "UP=გელა|TP=ცხელი", 1},
    {"Povari_left, another cook", "Povari_left", "UP=ნინო|TP=%", 0},
    {"povari_right", "povari_right", "UP=%|TP=%", 1},
    {"Opicianti, all", "Opicianti", "OP=%|TB=%", 2},
    {"Opicianti, table 5", "Opicianti", "OP=%|TB=5", 1},
    {"Opicianti, other waiter", "Opicianti", "OP=ბექა|TB=%", 0},
    {"povrebis_uplebebi, two cooks", "povrebis_uplebebi", "GAN=სასმელი", 2},
    {"Povrebi", "Povrebi", "", 3},
    {"Povari_group", "Povari_group", "POV=ნინო", 1},
    {"migeba_old, 8 June", "migeba_old", "DT=2024-06-08|SN=%|FN=%|Sab=%", 1},
    {"migeba_old, document", "migeba_old", "DT=2024-06-09|SN=%|FN=%|Sab=A-1", 0},
    {"sul_migeba", "sul_migeba", "DT=2024-06-08|SN=%|FN=%|Sab=%", 1},
    {"migeba_new, June", "migeba_new", "SN=%|FN=%|Sab=%|ST=2024-06-01|EN=2024-06-30", 2},
    {"migeba_new, first day only", "migeba_new", "SN=%|FN=%|Sab=%|ST=2024-06-08|EN=2024-06-08", 1},
    {"migeba_new_sum", "migeba_new_sum", "SN=%|FN=%|Sab=%|ST=2024-06-01|EN=2024-06-30", 1},
    {"Nisia, June", "Nisia", "FN=%|US=%|ST=2024-06-01|EN=2024-06-30", 2},
    {"Nisia, one day", "Nisia", "FN=%|US=%|ST=2024-06-09|EN=2024-06-09", 1},
    {"nisia_grid, all", "nisia_grid", "FN=%|US=%|who=%", 2},
    {"nisia_grid, clients", "nisia_grid", "FN=%|US=%|who=კლიენტი", 1},
    {"sum_nisia", "sum_nisia", "FN=%|US=%|who=%", 1},
    {"nisiebis_datvla, order 6", "nisiebis_datvla", "USR=6", 1},
    {"klientis_nisiebi, the client rows only", "klientis_nisiebi", "", 1},
    {"dELS, the day and the next", "dELS", "MGD=%|SHN=%|ST=2024-06-08|EN=2024-06-09", 1},
    {"dELS, table and order", "dELS", "MGD=5|SHN=7|ST=2024-06-01|EN=2024-06-30", 1},
    {"dELS, other table", "dELS", "MGD=15|SHN=%|ST=2024-06-01|EN=2024-06-30", 0},
};

}  // namespace

void tst_catalogue::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("params");
    QTest::addColumn<int>("rows");
    for (const QueryCase& c : QueryCases)
        QTest::newRow(c.tag) << QString::fromLatin1(c.query) << QString::fromUtf8(c.params) << c.rows;
}

void tst_catalogue::queries()
{
    QFETCH(QString, query);
    QFETCH(QString, params);
    QFETCH(int, rows);
    useSample();
    TDM dm;
    NamedQuery* q = dm.query(query);
    QVERIFY(q);
    try {
        setParams(q, params);
        q->open();
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.text()));
    }
    QCOMPARE(q->rowCount(), rows);
}

// No query of the catalogue is left out of the cases above.
void tst_catalogue::everyQueryCovered()
{
    QSet<QString> covered;
    for (const QueryCase& c : QueryCases)
        covered << QString::fromLatin1(c.query).toLower();
    TDM dm;
    for (const NamedQuery* q : dm.queries())
        QVERIFY2(covered.contains(q->name().toLower()), qPrintable(q->name()));
}

void tst_catalogue::statements_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("params");
    QTest::addColumn<int>("changed");
    QTest::addColumn<QString>("check");  // a count that must be 0 afterwards
    QTest::addColumn<QString>("kept");   // a count that must stay as it was

    QTest::newRow("clearing order 7")
        << "shekvetebis_gasuftaveba"
        << "MOM=10|user=7" << 2
        << "select count(*) from Shekvetebi where USERNUM = 7 and (STATUSI <> 100 or momsaxureoba is null or momsaxureoba <> 10)"
        << "select count(*) from Shekvetebi where USERNUM <> 7 and STATUSI <> 100";
    QTest::newRow("clearing without service")
        << "shekvetebis_gasuftaveba"
        << "MOM=0|user=57" << 1
        << "select count(*) from Shekvetebi where USERNUM = 57 and (STATUSI <> 100 or momsaxureoba <> 0)"
        << "select count(*) from Shekvetebi where USERNUM = 7 and momsaxureoba is null";
    QTest::newRow("clearing an order without lines")
        << "shekvetebis_gasuftaveba"
        << "MOM=10|user=8" << 0
        << "select count(*) from Shekvetebi where USERNUM = 8"
        << "select count(*) from Shekvetebi where STATUSI <> 100";
    // The clearing's stamp of the billed lines, by their IDs (order 7: lines 1
    // and 2; order 6: line 3, settled; order 57: line 4).
    QTest::newRow("billed lines stamped")
        << "shekvetis_xazis_gasuftaveba"
        << "MOM=10|user=7|IDS=1,2" << 2
        << "select count(*) from Shekvetebi where USERNUM = 7 and (STATUSI <> 100 or momsaxureoba <> 10)"
        << "select count(*) from Shekvetebi where USERNUM <> 7 and STATUSI <> 100";
    QTest::newRow("one billed line of two")
        << "shekvetis_xazis_gasuftaveba"
        << "MOM=10|user=7|IDS=2" << 1
        << "select count(*) from Shekvetebi where ID = 2 and (STATUSI <> 100 or momsaxureoba <> 10)"
        << "select count(*) from Shekvetebi where ID <> 2 and STATUSI <> 100";
    QTest::newRow("a line of another order is left")
        << "shekvetis_xazis_gasuftaveba"
        << "MOM=10|user=7|IDS=1,4" << 1
        << "select count(*) from Shekvetebi where ID = 1 and STATUSI <> 100"
        << "select count(*) from Shekvetebi where USERNUM = 57 and STATUSI <> 100";
    QTest::newRow("a settled line keeps its rate")
        << "shekvetis_xazis_gasuftaveba"
        << "MOM=5|user=6|IDS=3" << 0
        << "select count(*) from Shekvetebi where ID = 3 and momsaxureoba <> 10"
        << "select count(*) from Shekvetebi where STATUSI <> 100";
    QTest::newRow("IDs that only contain a line's")
        << "shekvetis_xazis_gasuftaveba"
        << "MOM=10|user=7|IDS=12,21,11" << 0
        << "select count(*) from Shekvetebi where STATUSI = 100 and USERNUM = 7"
        << "select count(*) from Shekvetebi where STATUSI <> 100";
    QTest::newRow("stock to zero") << "COMkerdzebi"
                                   << "" << 6
                                   << "select count(*) from kerdzebi where raodenoba <> 0"
                                   << "select count(*) from kerdzebi";
    QTest::newRow("receipts deleted") << "COMmigeba"
                                      << "" << 2
                                      << "select count(*) from migeba"
                                      << "select count(*) from kerdzebi";
    QTest::newRow("sales deleted") << "COMrealizacia"
                                   << "" << 4
                                   << "select count(*) from Shekvetebi"
                                   << "select count(*) from DELS";
}

void tst_catalogue::statements()
{
    QFETCH(QString, statement);
    QFETCH(QString, params);
    QFETCH(int, changed);
    QFETCH(QString, check);
    QFETCH(QString, kept);
    useSample();
    // The sample is shared: the statement runs in a transaction that is rolled back.
    QSqlDatabase kavshiri = Connection::database();
    Transaction t(kavshiri);
    const int keptBefore = countRows(kavshiri, kept);

    TDM dm;
    NamedStatement* s = dm.statement(statement);
    QVERIFY(s);
    if (!params.isEmpty())
        for (const QString& pair : params.split(u'|'))
            s->setParam(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    int n = -1;
    try {
        n = s->execute();
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.text()));
    }
    QCOMPARE(n, changed);
    QCOMPARE(countRows(kavshiri, check), 0);
    QCOMPARE(countRows(kavshiri, kept), keptBefore);
}

void tst_catalogue::parameterNamesIgnoreCase()
{
    useSample();
    TDM dm;
    dm.History_shekvetebi->setParam(QStringLiteral("usr"), QStringLiteral("%"));
    dm.History_shekvetebi->setParam(QStringLiteral("Of"), QStringLiteral("%"));
    dm.History_shekvetebi->setParam(QStringLiteral("tB"), QStringLiteral("5"));
    dm.History_shekvetebi->setParam(QStringLiteral("DAS"), QStringLiteral("%"));
    dm.History_shekvetebi->setParam(QStringLiteral("st"), QDate(2024, 6, 1));
    dm.History_shekvetebi->setParam(QStringLiteral("En"), QDate(2024, 6, 30));
    QCOMPARE(dm.History_shekvetebi->param(QStringLiteral("TB")), QStringLiteral("5"));
    QCOMPARE(dm.History_shekvetebi->param(QStringLiteral("st")), QStringLiteral("2024-06-01"));
    dm.History_shekvetebi->open();
    QCOMPARE(dm.History_shekvetebi->rowCount(), 2);

    // The integer form of a parameter is its decimal text.
    dm.busytables->setParam(QStringLiteral("tb"), qint64(5));
    QCOMPARE(dm.busytables->param(QStringLiteral("TB")), QStringLiteral("5"));
    dm.busytables->open();
    QCOMPARE(dm.busytables->rowCount(), 1);
    QCOMPARE(dm.busytables->asInteger(QStringLiteral("tablenum")), 5);
}

void tst_catalogue::parametersKeptAcrossReopen()
{
    useSample();
    TDM dm;
    dm.kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("%"));
    dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("სასმელი"));
    dm.kerdzebi->open();
    QCOMPARE(dm.kerdzebi->rowCount(), 1);
    dm.kerdzebi->close();
    QVERIFY(!dm.kerdzebi->isOpen());
    dm.kerdzebi->open();
    QCOMPARE(dm.kerdzebi->rowCount(), 1);
    QCOMPARE(dm.kerdzebi->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("ლიმონათი"));

    // Opening an open query keeps its snapshot, even with new parameters.
    dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    dm.kerdzebi->open();
    QCOMPARE(dm.kerdzebi->rowCount(), 1);
    dm.kerdzebi->close();
    dm.kerdzebi->open();
    QCOMPARE(dm.kerdzebi->rowCount(), 4);
}

void tst_catalogue::emptyParameterMatchesNothing_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("params");  // the others set; the one left out is never set

    QTest::newRow("integer equality never set") << "busytables"
                                                << "";
    QTest::newRow("integer equality empty") << "busytables"
                                            << "TB=";
    QTest::newRow("integer like never set") << "History_shekvetebi"
                                            << "OF=%|TB=%|das=%|ST=2024-01-01|EN=2024-12-31";
    QTest::newRow("integer like empty") << "History_shekvetebi"
                                        << "USR=|OF=%|TB=%|das=%|ST=2024-01-01|EN=2024-12-31";
    QTest::newRow("date never set") << "History_shekvetebi"
                                    << "USR=%|OF=%|TB=%|das=%|ST=2024-01-01";
    QTest::newRow("date empty") << "migeba_old"
                                << "DT=|SN=%|FN=%|Sab=%";
    QTest::newRow("text never set") << "kerdzebi"
                                    << "das=%";
    QTest::newRow("text empty, a row holds empty text") << "kerdzebi"
                                                        << "das=%|tp=";
    QTest::newRow("text like empty") << "nisiebis_datvla"
                                     << "USR=";
}

void tst_catalogue::emptyParameterMatchesNothing()
{
    QFETCH(QString, query);
    QFETCH(QString, params);
    useSample();
    TDM dm;
    NamedQuery* q = dm.query(query);
    try {
        setParams(q, params);
        q->open();
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.text()));
    }
    QCOMPARE(q->rowCount(), 0);
}

void tst_catalogue::unknownParameterThrows()
{
    TDM dm;
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->setParam(QStringLiteral("TABLE"), QStringLiteral("5")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.setting->setParam(QStringLiteral("TB"), QStringLiteral("5")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.COMmigeba->setParam(QStringLiteral("x"), QStringLiteral("1")));
    // Nothing was stored under the unknown name.
    QVERIFY(dm.busytables->param(QStringLiteral("TABLE")).isEmpty());
}

// Rows written by the program: a day (midnight) and a moment with its time of
// day, compared with the first and last day of a period given as day text.
void tst_catalogue::dayRange_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("dayIn");     // Shekvetebi.Tarigi 8 June, midnight
    QTest::addColumn<bool>("momentIn");  // DELS.TARIGI 8 June 13:15:07

    QTest::newRow("that day alone") << "2024-06-08"
                                    << "2024-06-08" << true << false;
    QTest::newRow("ending that day") << "2024-06-01"
                                     << "2024-06-08" << true << false;
    QTest::newRow("starting that day") << "2024-06-08"
                                       << "2024-06-30" << true << true;
    QTest::newRow("through the next day") << "2024-06-07"
                                          << "2024-06-09" << true << true;
    QTest::newRow("ending the day before") << "2024-06-01"
                                           << "2024-06-07" << false << false;
    QTest::newRow("starting the day after") << "2024-06-09"
                                            << "2024-06-30" << false << false;
    QTest::newRow("short date form") << "08.06.2024"
                                     << "09.06.2024" << true << true;
    QTest::newRow("short date form, that day alone") << "08.06.2024"
                                                     << "08.06.2024" << true << false;
}

void tst_catalogue::dayRange()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(bool, dayIn);
    QFETCH(bool, momentIn);
    useSample();
    QSqlDatabase kavshiri = Connection::database();
    TestDb::exec(kavshiri, QStringLiteral("delete from Shekvetebi where USERNUM = 9"));
    TestDb::exec(kavshiri, QStringLiteral("delete from DELS where SHEKVETISN = 9"));
    TDM dm;
    const QDateTime day(QDate(2024, 6, 8), QTime(0, 0));
    const QDateTime moment(QDate(2024, 6, 8), QTime(13, 15, 7));

    dm.shekvet->setParam(QStringLiteral("USR"), qint64(-1));
    dm.shekvet->open();
    dm.shekvet->insert();
    dm.shekvet->setField(QStringLiteral("USERNUM"), 9);
    dm.shekvet->setField(QStringLiteral("TableNum"), 3);
    dm.shekvet->setField(QStringLiteral("OFFICIANT"), QStringLiteral("ანა"));
    dm.shekvet->setField(QStringLiteral("Kerdzi_DAS"), QStringLiteral("ხაჭაპური"));
    dm.shekvet->setField(QStringLiteral("Tarigi"), day);
    dm.shekvet->setField(QStringLiteral("Starttime"), moment);
    dm.shekvet->post();

    dm.dELS->setParam(QStringLiteral("MGD"), QStringLiteral("-1"));
    dm.dELS->setParam(QStringLiteral("SHN"), QStringLiteral("-1"));
    dm.dELS->setParam(QStringLiteral("ST"), QStringLiteral("2000-01-01"));
    dm.dELS->setParam(QStringLiteral("EN"), QStringLiteral("2000-01-01"));
    dm.dELS->open();
    dm.dELS->insert();
    dm.dELS->setField(QStringLiteral("MAGIDA"), 3);
    dm.dELS->setField(QStringLiteral("SHEKVETISN"), 9);
    dm.dELS->setField(QStringLiteral("TARIGI"), moment);
    dm.dELS->setField(QStringLiteral("RAQNA"), QStringLiteral("წაშლა"));
    dm.dELS->post();

    try {
        setParams(dm.History_shekvetebi,
                  QStringLiteral("USR=9|OF=%|TB=%|das=%|ST=%1|EN=%2").arg(first, last));
        dm.History_shekvetebi->open();
        dm.dELS->close();
        setParams(dm.dELS, QStringLiteral("MGD=%|SHN=9|ST=%1|EN=%2").arg(first, last));
        dm.dELS->open();
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.text()));
    }
    QCOMPARE(dm.History_shekvetebi->rowCount(), dayIn ? 1 : 0);
    QCOMPARE(dm.dELS->rowCount(), momentIn ? 1 : 0);
    if (dayIn) {
        QCOMPARE(dm.History_shekvetebi->asDateTime(QStringLiteral("Tarigi")), day);
        QCOMPARE(dm.History_shekvetebi->asDateTime(QStringLiteral("Starttime")), moment);
    }
    if (momentIn)
        QCOMPARE(dm.dELS->asDateTime(QStringLiteral("TARIGI")), moment);
}

// A day written by the program equals that day's text ("tarigi = :DT").
void tst_catalogue::dayEquals_data()
{
    QTest::addColumn<QVariant>("written");  // as the screens hand it over
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");

    const QDate day(2024, 6, 8);
    QTest::newRow("date-time at midnight") << QVariant(QDateTime(day, QTime(0, 0))) << "2024-06-08" << true;
    QTest::newRow("date") << QVariant(day) << "2024-06-08" << true;
    QTest::newRow("day text") << QVariant(QStringLiteral("2024-06-08")) << "2024-06-08" << true;
    QTest::newRow("asked in short date form") << QVariant(day) << "08.06.2024" << true;
    QTest::newRow("other day") << QVariant(day) << "2024-06-09" << false;
    QTest::newRow("day before") << QVariant(day) << "2024-06-07" << false;
}

void tst_catalogue::dayEquals()
{
    QFETCH(QVariant, written);
    QFETCH(QString, asked);
    QFETCH(bool, found);
    useSample();
    TestDb::exec(Connection::database(), QStringLiteral("delete from migeba where sab_n = 'A-7'"));
    TDM dm;
    setParams(dm.migeba_old, QStringLiteral("DT=2000-01-01|SN=%|FN=%|Sab=A-7"));
    dm.migeba_old->open();
    dm.migeba_old->insert();
    dm.migeba_old->setField(QStringLiteral("Dasaxeleba"), QStringLiteral("ლობიო"));
    dm.migeba_old->setField(QStringLiteral("momwSN"), QStringLiteral("205"));
    dm.migeba_old->setField(QStringLiteral("momwFN"), QStringLiteral("შპს ბაზარი"));
    dm.migeba_old->setField(QStringLiteral("sab_n"), QStringLiteral("A-7"));
    dm.migeba_old->setField(QStringLiteral("tarigi"), written);
    dm.migeba_old->post();
    dm.migeba_old->close();
    try {
        dm.migeba_old->setParam(QStringLiteral("DT"), asked);
        dm.migeba_old->open();
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.text()));
    }
    QCOMPARE(dm.migeba_old->rowCount(), found ? 1 : 0);
    if (found)
        QCOMPARE(dm.migeba_old->asDateTime(QStringLiteral("tarigi")), QDateTime(QDate(2024, 6, 8), QTime(0, 0)));
}

QTEST_GUILESS_MAIN(tst_catalogue)
#include "tst_catalogue.moc"
