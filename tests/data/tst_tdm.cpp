#include "data/clock.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "tests/data/sampledata.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QSignalSpy>
#include <QTest>

// The data module's computed and lookup fields, its sums, and its three hooks.
class tst_tdm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void cleanupTestCase() { m_sample.reset(); }
    void cleanup()
    {
        TestSupport::resetGlobals();
    }

    void lineTotal_data();
    void lineTotal();
    void orderTotalWithService_data();
    void orderTotalWithService();
    void orderTotalFollowsTheOpenSettings();
    void salesLineTotals_data();
    void salesLineTotals();
    void salesSums();
    void salesSumsOverNothing();
    void stockLookup();
    void minutesWaited_data();
    void minutesWaited();
    void receivingTotals();

    void typePickListAfterPost();
    void orderTotalFollowsLines_data();
    void orderTotalFollowsLines();
    void orderTotalReadOncePerWrite();

private:
    SampleData::Shared m_sample;
};

namespace {

// Order numbers of this test's own lines, far from the sample's.
constexpr int OwnOrder = 900;

QSqlDatabase station(const TestDb& db)
{
    return SampleData::station(db, QStringLiteral("station_tdm"));
}

QString sqlNumber(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("null") : text;
}

// One order line of order `order` on 8 June 2024, written as the program does.
void addLine(QSqlDatabase db, int order, const QString& quantity, const QString& price,
             const QString& service, const QString& cost = QStringLiteral("1"), int item = 1)
{
    TestDb::exec(db, QStringLiteral(
                         "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, "
                         "STATUSI, povari, TableNum, momsaxureoba, USERNUM) "
                         "values (%1, 'ხაჭაპური', %2, %3, %4, 'ანა', '2024-06-08', 100, 0, 9, %5, %6)")
                         .arg(item)
                         .arg(sqlNumber(cost), sqlNumber(price), sqlNumber(quantity), sqlNumber(service))
                         .arg(order));
}

void setHistoryParams(NamedQuery* q, int order)
{
    q->setParam(QStringLiteral("USR"), qint64(order));
    for (const char* p : {"OF", "TB", "das"})
        q->setParam(QLatin1String(p), QStringLiteral("%"));
    q->setParam(QStringLiteral("ST"), QStringLiteral("2024-06-01"));
    q->setParam(QStringLiteral("EN"), QStringLiteral("2024-06-30"));
}

Money money(const char* text)
{
    return *Money::parse(QLatin1String(text));
}

}  // namespace

// shekvet.sulfasi: quantity times price, four decimals.
void tst_tdm::lineTotal_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("shown");

    QTest::newRow("whole") << "2"
                           << "5"
                           << "10"
                           << "10.00 ₾";
    QTest::newRow("binary noise") << "3"
                                  << "1.1"
                                  << "3.3"
                                  << "3.30 ₾";
    QTest::newRow("half of the smallest unit") << "0.5"
                                               << "0.0003"
                                               << "0.0002"
                                               << "0.00 ₾";
    QTest::newRow("grouped") << "100"
                             << "12.5"
                             << "1250"
                             << "1,250.00 ₾";
    QTest::newRow("no quantity") << ""
                                 << "5"
                                 << "0"
                                 << "0.00 ₾";
    QTest::newRow("no price") << "2"
                              << ""
                              << "0"
                              << "0.00 ₾";
}

void tst_tdm::lineTotal()
{
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, total);
    QFETCH(QString, shown);
    QSqlDatabase b = station(m_sample.use());
    TestDb::exec(b, QStringLiteral("delete from Shekvetebi where USERNUM = %1").arg(OwnOrder));
    addLine(b, OwnOrder, quantity, price, QString());
    Formats::setDecimalSeparator(u'.');
    TDM dm;
    dm.shekvet->setParam(QStringLiteral("USR"), qint64(OwnOrder));
    dm.shekvet->open();
    QCOMPARE(dm.shekvet->rowCount(), 1);
    QCOMPARE(dm.shekvet->asMoney(QStringLiteral("sulfasi")), *Money::parse(total));
    QCOMPARE(dm.shekvet->displayText(0, dm.shekvet->fieldIndex(QStringLiteral("sulfasi"))), shown);

    // The computed field follows an edit of the row before it is posted.
    if (!quantity.isEmpty() && !price.isEmpty()) {
        dm.shekvet->edit();
        dm.shekvet->setField(QStringLiteral("Raodenoba"), 2 * quantity.toDouble());
        QCOMPARE(dm.shekvet->asMoney(QStringLiteral("sulfasi")),
                 Money::fromDoubleHalfEven(2 * quantity.toDouble() * price.toDouble()));
        dm.shekvet->cancel();
    }
}

// sum_shekvetebi.sum_PR: the order's total with the service of the settings row.
void tst_tdm::orderTotalWithService_data()
{
    QTest::addColumn<QStringList>("lines");  // "quantity*price"
    QTest::addColumn<QString>("percent");
    QTest::addColumn<bool>("emptySum");
    QTest::addColumn<QString>("sumPR");

    QTest::newRow("12.34 at 10%") << QStringList{"1*12.34"} << "10" << false << "13.574";
    QTest::newRow("20 at 10%") << QStringList{"2*7.5", "1*5"} << "10" << false << "22";
    QTest::newRow("no service") << QStringList{"3*1.1"} << "0" << false << "3.3";
    QTest::newRow("fifth decimal halves to even") << QStringList{"1*0.0125"} << "10" << false << "0.0138";
    QTest::newRow("no lines") << QStringList{} << "10" << true << "0";
    QTest::newRow("service percent empty") << QStringList{"1*20"} << "" << false << "20";
}

void tst_tdm::orderTotalWithService()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, percent);
    QFETCH(bool, emptySum);
    QFETCH(QString, sumPR);
    TestDb db(TestDb::currentEngine());
    QSqlDatabase b = station(db);
    TestDb::exec(b, QStringLiteral("update Parametres set momsaxureoba = %1").arg(sqlNumber(percent)));
    for (const QString& line : lines)
        addLine(b, OwnOrder, line.section(u'*', 0, 0), line.section(u'*', 1, 1), QString());
    TDM dm;
    dm.setting->open();
    dm.sum_shekvetebi->setParam(QStringLiteral("USR"), qint64(OwnOrder));
    dm.sum_shekvetebi->open();
    QCOMPARE(dm.sum_shekvetebi->rowCount(), 1);
    QCOMPARE(dm.sum_shekvetebi->isNull(QStringLiteral("sulfasi")), emptySum);
    QCOMPARE(dm.sum_shekvetebi->asString(QStringLiteral("sulfasi")).isEmpty(), emptySum);
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), *Money::parse(sumPR));
}

// The service percent is the one the open `setting` query holds.
void tst_tdm::orderTotalFollowsTheOpenSettings()
{
    QSqlDatabase b = station(m_sample.use());
    TDM dm;
    dm.sum_shekvetebi->setParam(QStringLiteral("USR"), qint64(7));  // 17.5
    dm.sum_shekvetebi->open();
    // Without the settings row there is no service.
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), money("17.5"));
    dm.setting->open();
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), money("19.25"));

    TestDb::exec(b, QStringLiteral("update Parametres set momsaxureoba = 20"));
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), money("19.25"));
    dm.setting->close();
    dm.setting->open();
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), money("21"));
    TestDb::exec(b, QStringLiteral("update Parametres set momsaxureoba = 10"));
}

// History_shekvetebi: sulfasi (the line with its own service), assulfasi.
void tst_tdm::salesLineTotals_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("total");
    QTest::addColumn<double>("costTotal");
    QTest::addColumn<QString>("costShown");

    QTest::newRow("cleared with 10%") << "3"
                                      << "1.5"
                                      << "10"
                                      << "0.8"
                                      << "4.95" << 0.8 * 3 << "2.40";
    QTest::newRow("table still open") << "3"
                                      << "1.5"
                                      << ""
                                      << "0.8"
                                      << "4.5" << 0.8 * 3 << "2.40";
    QTest::newRow("cleared without service") << "3"
                                             << "1.5"
                                             << "0"
                                             << "2"
                                             << "4.5" << 6.0 << "6.00";
    QTest::newRow("line total rounded before service") << "1"
                                                       << "0.00005"
                                                       << "100"
                                                       << "0.125"
                                                       << "0" << 0.125 << "0.13";
    QTest::newRow("service and line rounded once") << "1"
                                                   << "0.0001"
                                                   << "50"
                                                   << "1.005"
                                                   << "0.0002" << 1.005 << "1.01";
    QTest::newRow("no cost") << "2"
                             << "5"
                             << "10"
                             << ""
                             << "11" << 0.0 << "0.00";
}

void tst_tdm::salesLineTotals()
{
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, service);
    QFETCH(QString, cost);
    QFETCH(QString, total);
    QFETCH(double, costTotal);
    QFETCH(QString, costShown);
    QSqlDatabase b = station(m_sample.use());
    TestDb::exec(b, QStringLiteral("delete from Shekvetebi where USERNUM = %1").arg(OwnOrder));
    addLine(b, OwnOrder, quantity, price, service, cost);
    Formats::setDecimalSeparator(u'.');
    TDM dm;
    setHistoryParams(dm.History_shekvetebi, OwnOrder);
    dm.History_shekvetebi->open();
    QCOMPARE(dm.History_shekvetebi->rowCount(), 1);
    QCOMPARE(dm.History_shekvetebi->asMoney(QStringLiteral("sulfasi")), *Money::parse(total));
    QCOMPARE(dm.History_shekvetebi->asFloat(QStringLiteral("assulfasi")), costTotal);
    QCOMPARE(dm.History_shekvetebi->displayText(0, dm.History_shekvetebi->fieldIndex(QStringLiteral("assulfasi"))),
             costShown);
    QCOMPARE(dm.History_shekvetebi->displayText(0, dm.History_shekvetebi->fieldIndex(QStringLiteral("Tarigi"))),
             QStringLiteral("08.06.2024"));
}

// sul_his_shek over the sample's June lines: SULGFASI skips the lines of the
// open table (their service is empty); the other sums count them.
void tst_tdm::salesSums()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    TDM dm;
    setHistoryParams(dm.sul_his_shek, 0);
    dm.sul_his_shek->setParam(QStringLiteral("USR"), QStringLiteral("%"));
    dm.sul_his_shek->open();
    QCOMPARE(dm.sul_his_shek->rowCount(), 1);
    // Lines: 2 × 5 and 3 × 2.5 of the open order 7, 1 × 4 with 10 % of order 6.
    QCOMPARE(dm.sul_his_shek->asFloat(QStringLiteral("SULRAODENOBA")), 6.0);
    QCOMPARE(dm.sul_his_shek->asMoney(QStringLiteral("SULAFASI")), money("7.9"));
    QCOMPARE(dm.sul_his_shek->asMoney(QStringLiteral("SULGF")), money("21.5"));
    QCOMPARE(dm.sul_his_shek->asMoney(QStringLiteral("SULGFASI")), money("4.4"));

    // Once order 7 is cleared with 10 %, its lines count in SULGFASI too.
    dm.shekvetebis_gasuftaveba->setParam(QStringLiteral("MOM"), QStringLiteral("10"));
    dm.shekvetebis_gasuftaveba->setParam(QStringLiteral("user"), QStringLiteral("7"));
    dm.shekvetebis_gasuftaveba->execute();
    dm.sul_his_shek->close();
    dm.sul_his_shek->open();
    QCOMPARE(dm.sul_his_shek->asMoney(QStringLiteral("SULGFASI")), money("23.65"));
    QCOMPARE(dm.sul_his_shek->asMoney(QStringLiteral("SULGF")), money("21.5"));
}

void tst_tdm::salesSumsOverNothing()
{
    m_sample.use();
    TDM dm;
    setHistoryParams(dm.sul_his_shek, 0);
    dm.sul_his_shek->setParam(QStringLiteral("USR"), QStringLiteral("%"));
    dm.sul_his_shek->setParam(QStringLiteral("ST"), QStringLiteral("2030-01-01"));
    dm.sul_his_shek->setParam(QStringLiteral("EN"), QStringLiteral("2030-12-31"));
    dm.sul_his_shek->open();
    QCOMPARE(dm.sul_his_shek->rowCount(), 1);
    for (const char* f : {"SULRAODENOBA", "SULAFASI", "SULGFASI", "SULGF"}) {
        QVERIFY2(dm.sul_his_shek->isNull(QLatin1String(f)), f);
        QCOMPARE(dm.sul_his_shek->asString(QLatin1String(f)), QString());
        QCOMPARE(dm.sul_his_shek->asFloat(QLatin1String(f)), 0.0);
    }
    dm.sum_nisia->setParam(QStringLiteral("FN"), QStringLiteral("არავინ"));
    dm.sum_nisia->setParam(QStringLiteral("US"), QStringLiteral("%"));
    dm.sum_nisia->setParam(QStringLiteral("who"), QStringLiteral("%"));
    dm.sum_nisia->open();
    QVERIFY(dm.sum_nisia->isNull(QStringLiteral("Expr1002")));
}

// nashti: the item's stock from kerdzebibyid, which is read again each time the
// sales report opens.
void tst_tdm::stockLookup()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    QSqlDatabase b = station(db);
    addLine(b, OwnOrder, QStringLiteral("1"), QStringLiteral("5"), QString(), QStringLiteral("1"), 99);
    TDM dm;
    setHistoryParams(dm.History_shekvetebi, OwnOrder);
    dm.History_shekvetebi->setParam(QStringLiteral("USR"), QStringLiteral("%"));
    QVERIFY(!dm.kerdzebibyid->isOpen());
    dm.History_shekvetebi->open();
    QVERIFY(dm.kerdzebibyid->isOpen());

    auto stockOf = [&dm](const QString& dish) {
        for (dm.History_shekvetebi->first(); !dm.History_shekvetebi->eof(); dm.History_shekvetebi->next())
            if (dm.History_shekvetebi->asString(QStringLiteral("Kerdzi_DAS")) == dish
                && dm.History_shekvetebi->asInteger(QStringLiteral("Kerdzi_N")) != 99)
                return dm.History_shekvetebi->value(QStringLiteral("nashti"));
        return QVariant(QStringLiteral("not listed"));
    };
    QCOMPARE(stockOf(QStringLiteral("ხაჭაპური")).toDouble(), 10.0);
    QCOMPARE(stockOf(QStringLiteral("ლიმონათი")).toDouble(), 50.0);
    // A line whose item is gone from the catalogue has no stock.
    dm.History_shekvetebi->first();
    while (dm.History_shekvetebi->asInteger(QStringLiteral("Kerdzi_N")) != 99)
        dm.History_shekvetebi->next();
    QVERIFY(dm.History_shekvetebi->isNull(QStringLiteral("nashti")));
    QCOMPARE(dm.History_shekvetebi->asFloat(QStringLiteral("nashti")), 0.0);

    // Stock sold elsewhere shows when the report is run again.
    TestDb::exec(b, QStringLiteral("update kerdzebi set raodenoba = -2.5 where ID = 1"));
    QCOMPARE(stockOf(QStringLiteral("ხაჭაპური")).toDouble(), 10.0);
    dm.History_shekvetebi->close();
    dm.History_shekvetebi->open();
    QCOMPARE(stockOf(QStringLiteral("ხაჭაპური")).toDouble(), -2.5);
}

// Opicianti.gasulidro: whole minutes since the line's Starttime (12:00:00).
void tst_tdm::minutesWaited_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("minutes");

    const QDate day(2024, 6, 8);
    QTest::newRow("at the start") << QDateTime(day, QTime(12, 0)) << 0;
    QTest::newRow("59 seconds") << QDateTime(day, QTime(12, 0, 59)) << 0;
    QTest::newRow("one minute") << QDateTime(day, QTime(12, 1)) << 1;
    QTest::newRow("rest dropped") << QDateTime(day, QTime(12, 10, 59)) << 10;
    QTest::newRow("next day") << QDateTime(day.addDays(1), QTime(12, 0)) << 1440;
    QTest::newRow("start in the future") << QDateTime(day, QTime(11, 30)) << 0;
}

void tst_tdm::minutesWaited()
{
    QFETCH(QDateTime, now);
    QFETCH(int, minutes);
    m_sample.use();
    Clock::setFixed(now);
    TDM dm;
    dm.Opicianti->setParam(QStringLiteral("OP"), QStringLiteral("%"));
    dm.Opicianti->setParam(QStringLiteral("TB"), QStringLiteral("5"));
    dm.Opicianti->open();
    QCOMPARE(dm.Opicianti->asInteger(QStringLiteral("gasulidro")), minutes);

    // A line without a start time waited no time.
    dm.Opicianti->edit();
    dm.Opicianti->setField(QStringLiteral("Starttime"), QVariant());
    QCOMPARE(dm.Opicianti->asInteger(QStringLiteral("gasulidro")), 0);
    dm.Opicianti->cancel();
}

// The receiving and warehouse line totals, in the money format.
void tst_tdm::receivingTotals()
{
    m_sample.use();
    Formats::setDecimalSeparator(u'.');
    TDM dm;
    for (const char* p : {"SN", "FN", "Sab"}) {
        dm.migeba_old->setParam(QLatin1String(p), QStringLiteral("%"));
        dm.migeba_new->setParam(QLatin1String(p), QStringLiteral("%"));
    }
    dm.migeba_old->setParam(QStringLiteral("DT"), QStringLiteral("2024-06-09"));
    dm.migeba_old->open();
    QCOMPARE(dm.migeba_old->asMoney(QStringLiteral("SASAG")), money("40"));   // 50 × 0.8
    QCOMPARE(dm.migeba_old->asMoney(QStringLiteral("SGASA")), money("125"));  // 50 × 2.5
    QCOMPARE(dm.migeba_old->displayText(0, dm.migeba_old->fieldIndex(QStringLiteral("SGASA"))),
             QStringLiteral("125.00 ₾"));
    QCOMPARE(dm.migeba_old->displayText(0, dm.migeba_old->fieldIndex(QStringLiteral("tarigi"))),
             QStringLiteral("09.06.2024"));

    dm.migeba_new->setParam(QStringLiteral("ST"), QStringLiteral("2024-06-08"));
    dm.migeba_new->setParam(QStringLiteral("EN"), QStringLiteral("2024-06-08"));
    dm.migeba_new->open();
    QCOMPARE(dm.migeba_new->asMoney(QStringLiteral("SASA")), money("30"));   // 20 × 1.5
    QCOMPARE(dm.migeba_new->asMoney(QStringLiteral("SGASA")), money("80"));  // 20 × 4

    dm.kerdzebi2->setParam(QStringLiteral("das"), QStringLiteral("ლიმონათი"));
    dm.kerdzebi2->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    dm.kerdzebi2->setParam(QStringLiteral("mom"), QStringLiteral("%"));
    dm.kerdzebi2->open();
    QCOMPARE(dm.kerdzebi2->asMoney(QStringLiteral("sulgas")), money("125"));
    QCOMPARE(dm.kerdzebi2->asMoney(QStringLiteral("sulshes")), money("40"));

    dm.dELS->setParam(QStringLiteral("MGD"), QStringLiteral("%"));
    dm.dELS->setParam(QStringLiteral("SHN"), QStringLiteral("%"));
    dm.dELS->setParam(QStringLiteral("ST"), QStringLiteral("2024-06-08"));
    dm.dELS->setParam(QStringLiteral("EN"), QStringLiteral("2024-06-09"));
    dm.dELS->open();
    QCOMPARE(dm.dELS->displayText(0, dm.dELS->fieldIndex(QStringLiteral("TARIGI"))),
             QStringLiteral("08.06.2024 13:15"));
}

// kerdzebiAfterPost: the type pick list is filled from GROUP_TYPE after every
// post on kerdzebi, and only then.
void tst_tdm::typePickListAfterPost()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    TDM dm;
    QSignalSpy changed(&dm, &TDM::typePickListChanged);
    QVERIFY(dm.typePickList().isEmpty());

    dm.kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("ხაჭაპური"));
    dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    dm.kerdzebi->open();
    dm.kerdzebi->edit();
    QCOMPARE(changed.count(), 0);
    dm.kerdzebi->setField(QStringLiteral("tipi"), QStringLiteral("ცივი"));
    QCOMPARE(changed.count(), 0);
    dm.kerdzebi->post();
    QCOMPARE(changed.count(), 1);

    QStringList expected;
    QVERIFY(dm.GROUP_TYPE->isOpen());
    for (dm.GROUP_TYPE->first(); !dm.GROUP_TYPE->eof(); dm.GROUP_TYPE->next())
        expected << dm.GROUP_TYPE->asString(QStringLiteral("tipi"));
    QCOMPARE(dm.typePickList(), expected);
    QCOMPARE(changed.last().at(0).toStringList(), expected);
    QVERIFY(expected.contains(QStringLiteral("ცივი")));
    QVERIFY(expected.contains(QStringLiteral("სასმელი")));
    // ცივი, ცხელი (still ლობიო's), სასმელი, the empty text and the missing type.
    QCOMPARE(expected.size(), 5);

    // An insert posted on kerdzebi refills it; a post on kerdzebi2 does not.
    dm.kerdzebi->insert();
    dm.kerdzebi->setField(QStringLiteral("Dasaxeleba"), QStringLiteral("ტყემალი"));
    dm.kerdzebi->setField(QStringLiteral("tipi"), QStringLiteral("სოუსი"));
    dm.kerdzebi->post();
    QCOMPARE(changed.count(), 2);
    QVERIFY(dm.typePickList().contains(QStringLiteral("სოუსი")));

    dm.kerdzebi2->setParam(QStringLiteral("das"), QStringLiteral("%"));
    dm.kerdzebi2->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    dm.kerdzebi2->setParam(QStringLiteral("mom"), QStringLiteral("%"));
    dm.kerdzebi2->open();
    dm.kerdzebi2->edit();
    dm.kerdzebi2->setField(QStringLiteral("tipi"), QStringLiteral("დესერტი"));
    dm.kerdzebi2->post();
    QCOMPARE(changed.count(), 2);
    QVERIFY(!dm.typePickList().contains(QStringLiteral("დესერტი")));
}

// shekvetebi_sDataChange: the order total is read again for the busy table's
// order whenever the order's lines change.
void tst_tdm::orderTotalFollowsLines_data()
{
    QTest::addColumn<QString>("table");  // busytables' TB; empty: busytables closed
    QTest::addColumn<bool>("follows");

    QTest::newRow("busy table") << "5" << true;
    QTest::newRow("free table") << "1" << false;
    QTest::newRow("table without a row") << "15" << false;
    QTest::newRow("occupancy closed") << "" << false;
}

void tst_tdm::orderTotalFollowsLines()
{
    QFETCH(QString, table);
    QFETCH(bool, follows);
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    TDM dm;
    if (!table.isEmpty()) {
        dm.busytables->setParam(QStringLiteral("TB"), table);
        dm.busytables->open();
    }
    dm.setting->open();
    dm.shekvet->setParam(QStringLiteral("USR"), qint64(7));
    dm.shekvet->open();
    QCOMPARE(dm.sum_shekvetebi->isOpen(), follows);
    if (!follows) {
        dm.shekvet->edit();
        dm.shekvet->setField(QStringLiteral("Raodenoba"), 1);
        dm.shekvet->post();
        QVERIFY(!dm.sum_shekvetebi->isOpen());
        return;
    }
    QCOMPARE(dm.sum_shekvetebi->param(QStringLiteral("USR")), QStringLiteral("7"));
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("17.5"));
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), money("19.25"));

    // A quantity changed and posted: 4 × 5 + 3 × 2.5.
    for (dm.shekvet->first(); dm.shekvet->asInteger(QStringLiteral("Kerdzi_N")) != 1;)
        dm.shekvet->next();
    dm.shekvet->edit();
    dm.shekvet->setField(QStringLiteral("Raodenoba"), 4);
    dm.shekvet->post();
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("27.5"));

    // A line added.
    dm.shekvet->insert();
    dm.shekvet->setField(QStringLiteral("USERNUM"), 7);
    dm.shekvet->setField(QStringLiteral("Raodenoba"), 1);
    dm.shekvet->setField(QStringLiteral("GFASI"), 4);
    dm.shekvet->post();
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("31.5"));

    // A line deleted: the one just added.
    dm.shekvet->remove();
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("27.5"));

    // The last lines deleted: the order has no total.
    while (!dm.shekvet->isEmpty())
        dm.shekvet->remove();
    QVERIFY(dm.sum_shekvetebi->isNull(QStringLiteral("sulfasi")));
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sum_PR")), Money());
}

// The fields of a line being added or edited change nothing stored: the total
// is read once, when the line is posted, not once per field.
void tst_tdm::orderTotalReadOncePerWrite()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    TDM dm;
    dm.busytables->setParam(QStringLiteral("TB"), QStringLiteral("5"));
    dm.busytables->open();
    dm.setting->open();
    dm.shekvet->setParam(QStringLiteral("USR"), qint64(7));
    dm.shekvet->open();
    QSignalSpy reads(dm.sum_shekvetebi, &NamedQuery::opened);

    dm.shekvet->insert();
    dm.shekvet->setField(QStringLiteral("USERNUM"), 7);
    dm.shekvet->setField(QStringLiteral("TableNum"), 5);
    dm.shekvet->setField(QStringLiteral("Raodenoba"), 1);
    dm.shekvet->setField(QStringLiteral("GFASI"), 4);
    QCOMPARE(reads.count(), 0);
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("17.5"));
    dm.shekvet->post();
    QCOMPARE(reads.count(), 1);
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("21.5"));

    dm.shekvet->edit();
    dm.shekvet->setField(QStringLiteral("Raodenoba"), 2);
    dm.shekvet->setField(QStringLiteral("GFASI"), 5);
    QCOMPARE(reads.count(), 1);
    dm.shekvet->post();
    QCOMPARE(reads.count(), 2);
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("27.5"));

    // An edit dropped: the total is read again, as it stands stored.
    dm.shekvet->edit();
    dm.shekvet->setField(QStringLiteral("Raodenoba"), 9);
    dm.shekvet->cancel();
    QCOMPARE(reads.count(), 3);
    QCOMPARE(dm.sum_shekvetebi->asMoney(QStringLiteral("sulfasi")), money("27.5"));
}

QTEST_GUILESS_MAIN(tst_tdm)
#include "tst_tdm.moc"
