#include "data/connection.h"
#include "data/dberror.h"
#include "data/money.h"
#include "data/rowreader.h"
#include "data/datamodule.h"
#include "tests/data/sampledata.h"
#include "tests/support/testdb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <QTest>
#include <ctime>

// The rows a query reads through the engine's own client library against the
// rows Qt's driver gives for the same query, and the "%" filters the data layer
// reads as "is not null" against the catalogue's text as written.
class tst_nativereading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase();
    void cleanup() { RowReader::setNativeReading(true); }
    void cleanupTestCase() { m_sample.reset(); }

    void sameRows_data();
    void sameRows();
    void sameRowsForAllPatterns_data();
    void sameRowsForAllPatterns();
    void errorTextAndNextQuery();

private:
    SampleData::Shared m_sample;
};

namespace {

// One value as text that tells its type and its exact content apart.
QString exact(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("null:%1").arg(QString::fromLatin1(v.metaType().name()));
    const QString type = QString::fromLatin1(v.metaType().name());
    if (v.metaType() == QMetaType::fromType<Money>())
        return type + u':' + QString::number(v.value<Money>().raw());
    switch (v.metaType().id()) {
    case QMetaType::Double: return type + u':' + QString::number(v.toDouble(), 'g', 17);
    case QMetaType::QDateTime: return type + u':' + v.toDateTime().toString(Qt::ISODateWithMs);
    default: return type + u':' + v.toString();
    }
}

// The query opened afresh: its field names, then every value of every row.
QStringList snapshot(NamedQuery* q)
{
    q->close();
    q->open();
    QStringList out;
    for (int f = 0; f < q->fieldCount(); ++f)
        out << q->fieldName(f);
    out << QStringLiteral("rows %1").arg(q->rowCount());
    for (int r = 0; r < q->rowCount(); ++r)
        for (int f = 0; f < q->fieldCount(); ++f)
            out << QStringLiteral("%1/%2 %3 %4").arg(r).arg(f).arg(exact(q->valueAt(r, f)), q->displayText(r, f));
    return out;
}

void setParams(NamedQuery* q, const QString& params)
{
    for (const QString& p : params.split(u';', Qt::SkipEmptyParts))
        q->setParam(p.section(u'=', 0, 0), p.section(u'=', 1));
}

}  // namespace

void tst_nativereading::initTestCase()
{
    qputenv("TZ", "Asia/Tbilisi");
    tzset();
}

void tst_nativereading::sameRows_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("params");  // "NAME=value;NAME=value"

    QTest::newRow("busy table") << "busytables"
                                << "TB=5";
    QTest::newRow("free table, empty texts and amounts") << "busytables"
                                                         << "TB=1";
    QTest::newRow("no such table") << "busytables"
                                   << "TB=99";
    QTest::newRow("all tables") << "Tables"
                                << "";
    QTest::newRow("settings") << "setting"
                              << "";
    QTest::newRow("menu, every pattern %") << "kerdzebi"
                                           << "das=%;tp=%";
    QTest::newRow("menu by name") << "kerdzebi"
                                  << "das=ლ%;tp=%";
    QTest::newRow("menu by supplier") << "kerdzebi2"
                                      << "das=%;tp=%;mom=შპს%";
    QTest::newRow("menu item by key") << "kerdzebi_kerid"
                                      << "ID=3";
    QTest::newRow("menu item, key %") << "kerdzebi_kerid"
                                      << "ID=%";
    QTest::newRow("menu by key order") << "kerdzebibyid"
                                       << "";
    QTest::newRow("types") << "GROUP_TYPE"
                           << "";
    QTest::newRow("suppliers") << "momwodebeli"
                               << "";
    QTest::newRow("waiters") << "oficianti"
                             << "";
    QTest::newRow("order lines") << "shekvet"
                                 << "USR=7";
    QTest::newRow("order total") << "sum_shekvetebi"
                                 << "USR=7";
    QTest::newRow("total of no order") << "sum_shekvetebi"
                                       << "USR=-1";
    QTest::newRow("history, all") << "History_shekvetebi"
                                  << "USR=%;OF=%;TB=%;das=%;ST=2024-05-01;EN=2024-06-30";
    QTest::newRow("history, one day") << "History_shekvetebi"
                                      << "USR=%;OF=%;TB=%;das=%;ST=08.06.2024;EN=08.06.2024";
    QTest::newRow("history, one waiter") << "History_shekvetebi"
                                         << "USR=%;OF=ანა;TB=5;das=%;ST=2024-05-01;EN=2024-06-30";
    QTest::newRow("history sums") << "sul_his_shek"
                                  << "USR=%;OF=%;TB=%;das=%;ST=2024-05-01;EN=2024-06-30";
    QTest::newRow("history sums of nothing") << "sul_his_shek"
                                             << "USR=%;OF=%;TB=%;das=%;ST=2030-01-01;EN=2030-01-31";
    QTest::newRow("cook queue") << "Povari_left"
                                << "UP=გელა;TP=%";
    QTest::newRow("cook work list") << "povari_right"
                                    << "UP=გელა;TP=%";
    QTest::newRow("waiter list") << "Opicianti"
                                 << "OP=%;TB=%";
    QTest::newRow("routing") << "povrebis_uplebebi"
                             << "GAN=ცხელი";
    QTest::newRow("deliveries") << "migeba_new"
                                << "ST=2024-06-01;EN=2024-06-30;SN=%;FN=%;Sab=%";
    QTest::newRow("credit") << "nisia_grid"
                            << "FN=%;US=%;who=%";
    QTest::newRow("deletions") << "dELS"
                               << "MGD=%;SHN=%;ST=2024-06-01;EN=2024-06-30";
}

void tst_nativereading::sameRows()
{
    QFETCH(QString, query);
    QFETCH(QString, params);
    m_sample.use();
    TDM dm;
    NamedQuery* q = dm.query(query);
    QVERIFY2(q, qPrintable(query));
    setParams(q, params);
    // Computed fields read other queries (the settings' service, the stock).
    dm.setting->open();
    RowReader::setNativeReading(false);
    QVERIFY(!RowReader::readsNatively(Connection::database()));
    const QStringList viaQt = snapshot(q);
    RowReader::setNativeReading(true);
    // Both engines' handles are taken: a silent fall-back to Qt's driver here
    // would compare Qt with itself.
    QVERIFY(RowReader::readsNatively(Connection::database()));
    const QStringList native = snapshot(q);
    QVERIFY(viaQt.size() > 1);
    QCOMPARE(native, viaQt);
}

void tst_nativereading::sameRowsForAllPatterns_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("params");

    // The sample has a dish without a name and one without a type: "%" must
    // still leave them out, as "like" does.
    QTest::newRow("menu") << "kerdzebi"
                          << "das=%;tp=%";
    QTest::newRow("menu, type only") << "kerdzebi"
                                     << "das=ხ%;tp=%";
    QTest::newRow("history") << "History_shekvetebi"
                             << "USR=%;OF=%;TB=%;das=%;ST=2024-05-01;EN=2024-06-30";
    QTest::newRow("waiters' lines") << "Opicianti"
                                    << "OP=%;TB=%";
    QTest::newRow("cook, every type") << "Povari_left"
                                      << "UP=გელა;TP=%";
    QTest::newRow("cook %") << "povari_right"
                            << "UP=%;TP=%";
    QTest::newRow("credit") << "nisia_grid"
                            << "FN=%;US=%;who=%";
}

void tst_nativereading::sameRowsForAllPatterns()
{
    QFETCH(QString, query);
    QFETCH(QString, params);
    m_sample.use();
    TDM dm;
    NamedQuery* q = dm.query(query);
    setParams(q, params);
    q->open();
    QStringList read;
    const int id = q->fieldIndex(QStringLiteral("ID"));
    for (int r = 0; r < q->rowCount(); ++r)
        read << q->valueAt(r, id).toString();

    // The catalogue's text as written, every "like" kept.
    SqlText text(q->sql());
    for (const QString& p : params.split(u';', Qt::SkipEmptyParts))
        text.setParam(p.section(u'=', 0, 0), p.section(u'=', 1));
    QSqlQuery plain(Connection::database());
    QVERIFY(plain.prepare(text.positional()));
    text.bindTo(plain);
    QVERIFY2(plain.exec(), qPrintable(plain.lastError().text()));
    QStringList expected;
    while (plain.next())
        expected << plain.value(QStringLiteral("ID")).toString();
    // A query that gives no order of its own lists in its key's order on both engines.
    if (!q->sql().contains(QLatin1String("order by"), Qt::CaseInsensitive))
        std::sort(expected.begin(), expected.end(),
                  [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
    QCOMPARE(read, expected);
}

void tst_nativereading::errorTextAndNextQuery()
{
    // A query the engine refuses throws its text, and leaves the connection fit
    // for the next query through either reader.
    m_sample.use();
    NamedQuery bad(QStringLiteral("bad"), QStringLiteral("select nosuchcolumn from kerdzebi"), QString());
    QVERIFY_THROWS_EXCEPTION(DbError, bad.open());
    try {
        bad.open();
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QLatin1String("nosuchcolumn")), qPrintable(e.text()));
    }
    QVERIFY(!bad.isOpen());
    TDM dm;
    dm.Tables->open();
    QCOMPARE(dm.Tables->rowCount(), 6);
    RowReader::setNativeReading(false);
    dm.setting->open();
    QCOMPARE(dm.setting->rowCount(), 1);
}

QTEST_GUILESS_MAIN(tst_nativereading)
#include "tst_nativereading.moc"
