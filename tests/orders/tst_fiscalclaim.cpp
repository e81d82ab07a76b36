#include "data/clock.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"
#include "shell/inputerror.h"
#include "tests/support/testdb.h"

#include <QTest>

// The claim on a table's occupancy row that lets one station at a time register
// the bill with the fiscal printer: a live claim of another station refuses the
// registration before anything is sent, a stale one (its station died inside
// the exchange) is taken over, and the release never adds beyond the bill. What
// two station processes do at one moment is the rush test's part.
class tst_fiscalclaim : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    QSqlDatabase m_station;
    const QDateTime m_now = QDateTime(QDate(2026, 3, 14), QTime(20, 15, 30));

    // A new order of 15.00 on table 1; returns its number.
    qint64 openOrder(TDM& dm)
    {
        TestDb::exec(m_station, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba) "
                                               "values ('ხაჭაპური', 'ცომეული', 6, 15, 100)"));
        dm.kerdzebi->reopen({{QStringLiteral("das"), QStringLiteral("ხაჭაპური")}, {QStringLiteral("tp"), QStringLiteral("%")}});
        return OrderEntry::addLine(dm, QStringLiteral("1"), QStringLiteral("ნინო"), QStringLiteral("1")).orderNumber;
    }
    QVariant tableValue(const QString& column)
    {
        return TestDb::scalar(m_station, QStringLiteral("select %1 from busytable where TableNum = 1").arg(column));
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase() { Formats::setDecimalSeparator(u'.'); }

    void init()
    {
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station"));
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (1, 0, 0)"));
        Clock::setFixed(m_now);
    }
    void cleanup()
    {
        Clock::setFixed(QDateTime());
        m_station = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("station"));
        m_db.reset();
    }

    void anotherStationsClaim_data()
    {
        QTest::addColumn<int>("age");  // seconds since the other station claimed; none when < -1000
        QTest::addColumn<bool>("refused");
        QTest::newRow("no claim") << -10000 << false;
        QTest::newRow("claimed just now") << 0 << true;
        QTest::newRow("claimed 24 s ago, the exchange may still run") << 24 << true;
        QTest::newRow("claimed 26 s ago, its station died") << 26 << false;
        QTest::newRow("claimed an hour ago") << 3600 << false;
        // A station whose clock runs ahead cannot make a live claim look old.
        QTest::newRow("claimed 10 s ahead of this clock") << -10 << true;
    }
    void anotherStationsClaim()
    {
        QFETCH(int, age);
        QFETCH(bool, refused);
        TDM dm;
        const qint64 order = openOrder(dm);
        if (age > -1000)
            TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriSadguri = 'სალარო-2/4711', FiskaluriDro = '%1' "
                                                   "where TableNum = 1")
                                        .arg(m_now.addSecs(-age).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        bool told = false;
        Settlement::Claim claim;
        try {
            claim = Settlement::claimRegistration(dm, QStringLiteral("1"), order, Money::fromDoubleHalfEven(15));
        } catch (const InputError& e) {
            QCOMPARE(e.text(), Settlement::RegisteringElsewhereText);
            told = true;
        }
        QCOMPARE(told, refused);
        if (refused) {
            // Nothing changed: the other station's claim stands.
            QCOMPARE(tableValue(QStringLiteral("FiskaluriSadguri")).toString(), QStringLiteral("სალარო-2/4711"));
            return;
        }
        QCOMPARE(claim.due.toDouble(), 15.0);
        QCOMPARE(tableValue(QStringLiteral("FiskaluriSadguri")).toString(), Settlement::stationName());
        // While this claim lives, a second claim (as another station would
        // find it) is refused; once released, nothing is due any more.
        TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriSadguri = 'სალარო-2/4711' where TableNum = 1"));
        QVERIFY_THROWS_EXCEPTION(InputError, Settlement::claimRegistration(dm, QStringLiteral("1"), order, Money::fromDoubleHalfEven(15)));
        TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriSadguri = '%1' where TableNum = 1").arg(Settlement::stationName()));
        Settlement::releaseRegistration(dm, QStringLiteral("1"), order, claim, claim.due, Money::fromDoubleHalfEven(15));
        QVERIFY(tableValue(QStringLiteral("FiskaluriSadguri")).isNull());
        QVERIFY(tableValue(QStringLiteral("FiskaluriDro")).isNull());
        QCOMPARE(tableValue(QStringLiteral("FiskaluriTanxa")).toDouble(), 15.0);
        QCOMPARE(Settlement::claimRegistration(dm, QStringLiteral("1"), order, Money::fromDoubleHalfEven(15)).due.toDouble(), 0.0);
    }

    // The release adds what this exchange registered, never beyond the bill,
    // and leaves a claim that another station took over in place.
    void releaseKeepsWithinTheBill_data()
    {
        QTest::addColumn<double>("before");      // registered when the release comes
        QTest::addColumn<double>("registered");  // by this exchange
        QTest::addColumn<bool>("takenOver");
        QTest::addColumn<double>("after");
        QTest::newRow("registered all") << 0.0 << 15.0 << false << 15.0;
        QTest::newRow("not registered") << 0.0 << 0.0 << false << 0.0;
        QTest::newRow("a taker-over registered it too") << 15.0 << 15.0 << true << 15.0;
        QTest::newRow("part registered elsewhere meanwhile") << 5.0 << 15.0 << true << 15.0;
    }
    void releaseKeepsWithinTheBill()
    {
        QFETCH(double, before);
        QFETCH(double, registered);
        QFETCH(bool, takenOver);
        QFETCH(double, after);
        TDM dm;
        const qint64 order = openOrder(dm);
        const Settlement::Claim claim =
            Settlement::claimRegistration(dm, QStringLiteral("1"), order, Money::fromDoubleHalfEven(15));
        QCOMPARE(claim.due.toDouble(), 15.0);
        TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriTanxa = %1 where TableNum = 1").arg(before));
        if (takenOver)
            TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriSadguri = 'სალარო-2/4711' where TableNum = 1"));
        Settlement::releaseRegistration(dm, QStringLiteral("1"), order, claim, Money::fromDoubleHalfEven(registered),
                                        Money::fromDoubleHalfEven(15));
        QCOMPARE(tableValue(QStringLiteral("FiskaluriTanxa")).toDouble(), after);
        QCOMPARE(tableValue(QStringLiteral("FiskaluriSadguri")).isNull(), !takenOver);
    }
};

QTEST_GUILESS_MAIN(tst_fiscalclaim)
#include "tst_fiscalclaim.moc"
