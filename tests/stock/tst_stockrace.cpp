#include "tests/support/testdb.h"

#include <QDate>
#include <QProcess>
#include <QTest>

// Receipts on one station and sales of the same item on another, as separate
// processes on one database: every receipt and every sale counts.
class tst_stockrace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void receiptsAndSalesAtOnce()
    {
        TestDb db(TestDb::currentEngine());
        QSqlDatabase check = db.openStation(QStringLiteral("station_check"));
        TestDb::exec(check, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba, "
                                           "momwodebeli) values ('ხაჭაპური', 'ცომეული', 2, 5, 100, 'შპს ალფა')"));
        const int item = TestDb::scalar(check, QStringLiteral("select ID from kerdzebi")).toInt();

        const int receipts = 30;
        const int sales = 20;  // per table, on four tables
        auto start = [](const QString& program, const QStringList& args) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(program, args);
            return p;
        };
        std::vector<std::unique_ptr<QProcess>> processes;
        processes.push_back(start(QStringLiteral(KELVORA_STOCK_RACER),
                                  {db.udlPath(), QString::number(item), QString::number(receipts),
                                   QStringLiteral("2.5"), QStringLiteral("R-1")}));
        processes.push_back(start(QStringLiteral(KELVORA_ORDER_RACER),
                                  {db.udlPath(), QStringLiteral("ხაჭაპური"), QString::number(sales),
                                   QStringLiteral("1,2,3,4"), QStringLiteral("ნინო")}));
        processes.push_back(start(QStringLiteral(KELVORA_STOCK_RACER),
                                  {db.udlPath(), QString::number(item), QString::number(receipts),
                                   QStringLiteral("1"), QStringLiteral("R-2")}));
        for (auto& p : processes) {
            QVERIFY(p->waitForFinished(180000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }

        const double received = receipts * 2.5 + receipts * 1.0;
        const int sold = sales * 4;
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from migeba")).toInt(), 2 * receipts);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from Shekvetebi")).toInt(), sold);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select raodenoba from kerdzebi")).toDouble(),
                 100.0 + received - sold);
        // Each document's debt is its whole purchase total.
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select nisia from nisiebi where USERNUM = 'R-1'")).toDouble(),
                 receipts * 2.5 * 2);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select nisia from nisiebi where USERNUM = 'R-2'")).toDouble(),
                 receipts * 1.0 * 2);
    }

    // Two stations recording the first line of one consignment document at
    // once, each with an item of its own, in trial after trial: every document
    // keeps one ledger row, holding its whole purchase total.
    void firstLinesOfOneDocumentAtOnce()
    {
        TestDb db(TestDb::currentEngine());
        QSqlDatabase check = db.openStation(QStringLiteral("station_check"));
        TestDb::exec(check, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba, "
                                           "momwodebeli) values ('ხაჭაპური', 'ცომეული', 2, 5, 0, 'შპს ალფა'), "
                                           "('ლობიანი', 'ცომეული', 2, 5, 0, 'შპს ალფა')"));
        const QString first = TestDb::scalar(check, QStringLiteral("select min(ID) from kerdzebi")).toString();
        const QString second = TestDb::scalar(check, QStringLiteral("select max(ID) from kerdzebi")).toString();

        const int trials = 10;
        for (int t = 1; t <= trials; ++t) {
            const QString document = QStringLiteral("N-%1").arg(t);
            std::vector<std::unique_ptr<QProcess>> stations;
            for (const auto& [item, quantity] : {std::pair{first, QStringLiteral("1")}, {second, QStringLiteral("2")}}) {
                auto p = std::make_unique<QProcess>();
                p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
                p->start(QStringLiteral(KELVORA_STOCK_RACER), {db.udlPath(), item, QStringLiteral("1"), quantity, document});
                stations.push_back(std::move(p));
            }
            for (auto& p : stations) {
                QVERIFY(p->waitForFinished(180000));
                QCOMPARE(p->exitStatus(), QProcess::NormalExit);
                QCOMPARE(p->exitCode(), 0);
            }
        }

        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from migeba")).toInt(), 2 * trials);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from nisiebi")).toInt(), trials);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(distinct USERNUM) from nisiebi")).toInt(), trials);
        // 1 × 2 + 2 × 2 on each document.
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from nisiebi where nisia <> 6")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_stockrace)
#include "tst_stockrace.moc"
