#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "tests/data/sampledata.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QSqlQuery>
#include <QTest>
#include <cstdlib>
#include <ctime>

// A named query's snapshot and fields, and the editing written back to its
// table: post, insert, delete, cancel, refresh, and the optimistic check
// against a second station.
class tst_namedquery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase();
    void longTexts_data();
    void longTexts();
    void cleanupTestCase() { m_sample.reset(); }
    void cleanup() { TestSupport::resetGlobals(); }

    void fields_data();
    void fields();
    void fieldErrors();
    void emptyQueryReadsEmpty();
    void moneyRoundTrip_data();
    void moneyRoundTrip();
    void floatRoundTrip_data();
    void floatRoundTrip();
    void dateTimeRoundTrip_data();
    void dateTimeRoundTrip();

    void editPost();
    void insertPost();
    void insertWithoutFields();
    void removeRow_data();
    void removeRow();
    void cancel();
    void leavingAnUntouchedInsert_data();
    void leavingAnUntouchedInsert();
    void movingPostsAnEdit();
    void refreshKeepsPosition();
    void reopen();
    void editingErrors();
    void writeBackThroughJoin();

    void optimisticCheck_data();
    void optimisticCheck();
    void deletedByOtherStation_data();
    void deletedByOtherStation();
    void afterARolledBackWrite();
    void parametersSavedAndRestored();

private:
    SampleData::Shared m_sample;
};

namespace {

QString bits(double v)
{
    return QString::number(v, 'g', 17);
}

QVariant stationValue(const QString& sql)
{
    QSqlDatabase station = QSqlDatabase::database(QStringLiteral("station_b"), false);
    return TestDb::scalar(station, sql);
}

qint64 stationCount(const QString& sql)
{
    return stationValue(sql).toLongLong();
}

// A second station on the database kavshiri is pointed at.
QSqlDatabase station(const TestDb& db)
{
    return SampleData::station(db, QStringLiteral("station_b"));
}

// Opens kerdzebi_kerid on one item.
NamedQuery* openItem(TDM& dm, qint64 id)
{
    dm.kerdzebi_kerid->close();
    dm.kerdzebi_kerid->setParam(QStringLiteral("ID"), id);
    dm.kerdzebi_kerid->open();
    return dm.kerdzebi_kerid;
}

}  // namespace

void tst_namedquery::initTestCase()
{
    // Stations run in the restaurant's own zone; stored times must not move.
    qputenv("TZ", "Asia/Tbilisi");
    tzset();
}

void tst_namedquery::longTexts_data()
{
    QTest::addColumn<bool>("inserting");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("stored");

    QTest::newRow("insert, as long as the column") << true << 50 << true;
    QTest::newRow("insert, one too long") << true << 51 << false;
    QTest::newRow("edit, as long as the column") << false << 50 << true;
    QTest::newRow("edit, one too long") << false << 51 << false;
}

// A text longer than its column is refused alike on both engines, naming the
// field, and nothing is written.
void tst_namedquery::longTexts()
{
    QFETCH(bool, inserting);
    QFETCH(int, length);
    QFETCH(bool, stored);
    const TestDb& db = m_sample.use();
    QSqlDatabase check = SampleData::station(db, QStringLiteral("station_check"));
    TestDb::exec(check, QStringLiteral("delete from OFICIANTI where Oficianti = 'გრძელი'"));
    TestDb::exec(check, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('გრძელი', 'აქტიური')"));
    NamedQuery q(QStringLiteral("waiters"), QStringLiteral("select * from OFICIANTI where Oficianti = 'გრძელი'"),
                 QStringLiteral("OFICIANTI"));
    q.open();
    const QString text(length, QChar(0x10D0));  // Georgian letters: more bytes than characters
    QString error;
    try {
        if (inserting) {
            q.insert();
            q.setField(QStringLiteral("Oficianti"), QStringLiteral("გრძელი"));
        } else {
            q.edit();
        }
        q.setField(QStringLiteral("mdgomareoba"), text);
        q.post();
    } catch (const DbError& e) {
        error = e.text();
    }
    QCOMPARE(error.isEmpty(), stored);
    if (!stored)
        QVERIFY2(error.contains(QStringLiteral("„mdgomareoba“")) && error.contains(QStringLiteral("50")), qPrintable(error));
    const qint64 withText = TestDb::scalar(check, QStringLiteral("select count(*) from OFICIANTI where mdgomareoba = '%1'").arg(text)).toLongLong();
    const qint64 rows = TestDb::scalar(check, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'გრძელი'")).toLongLong();
    QCOMPARE(withText, stored ? 1 : 0);
    TestDb::exec(check, QStringLiteral("delete from OFICIANTI where Oficianti = 'გრძელი'"));
    QCOMPARE(rows, inserting && stored ? 2 : 1);
}

void tst_namedquery::fields_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("param");  // "NAME=value"
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("null");
    QTest::addColumn<QString>("text");  // with a full stop as separator
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("number");

    QTest::newRow("integer") << "busytables"
                             << "TB=5"
                             << "Busy" << false << "1" << qint64(1) << 1.0;
    QTest::newRow("negative integer") << "busytables"
                                      << "TB=3"
                                      << "USERNUM" << false << "-1" << qint64(-1) << -1.0;
    QTest::newRow("text") << "busytables"
                          << "TB=5"
                          << "OFICIANT" << false << "ანა" << qint64(0) << 0.0;
    QTest::newRow("empty text") << "busytables"
                                << "TB=1"
                                << "OFICIANT" << true << "" << qint64(0) << 0.0;
    QTest::newRow("money") << "busytables"
                           << "TB=5"
                           << "GadaxdiliTanxa" << false << "12.5" << qint64(12) << 12.5;
    QTest::newRow("money zero") << "busytables"
                                << "TB=3"
                                << "GadaxdiliTanxa" << false << "0" << qint64(0) << 0.0;
    QTest::newRow("empty money") << "busytables"
                                 << "TB=1"
                                 << "GadaxdiliTanxa" << true << "" << qint64(0) << 0.0;
    QTest::newRow("float") << "setting"
                           << ""
                           << "momsaxureoba" << false << "10" << qint64(10) << 10.0;
    QTest::newRow("float half") << "kerdzebi_kerid"
                                << "ID=3"
                                << "gasayidi" << false << "2.5" << qint64(2) << 2.5;
    QTest::newRow("float fraction") << "kerdzebi_kerid"
                                    << "ID=3"
                                    << "asagebi" << false << "0.8" << qint64(1) << 0.8;
    QTest::newRow("empty float") << "Opicianti"
                                 << "TB=5"
                                 << "momsaxureoba" << true << "" << qint64(0) << 0.0;
    QTest::newRow("day") << "Opicianti"
                         << "TB=5"
                         << "Tarigi" << false << "08.06.2024" << qint64(0) << 0.0;
    QTest::newRow("moment") << "Opicianti"
                            << "TB=5"
                            << "Starttime" << false << "08.06.2024 12:00:00" << qint64(0) << 0.0;
    QTest::newRow("empty moment") << "Opicianti"
                                  << "TB=5"
                                  << "endtime" << true << "" << qint64(0) << 0.0;
    QTest::newRow("empty sum") << "sum_shekvetebi"
                               << "USR=-1"
                               << "sulfasi" << true << "" << qint64(0) << 0.0;
    QTest::newRow("sum") << "sum_shekvetebi"
                         << "USR=7"
                         << "sulfasi" << false << "17.5" << qint64(18) << 17.5;
    QTest::newRow("key") << "kerdzebi_kerid"
                         << "ID=3"
                         << "ID" << false << "3" << qint64(3) << 3.0;
}

void tst_namedquery::fields()
{
    QFETCH(QString, query);
    QFETCH(QString, param);
    QFETCH(QString, field);
    QFETCH(bool, null);
    QFETCH(QString, text);
    QFETCH(qint64, integer);
    QFETCH(double, number);
    m_sample.use();
    TDM dm;
    NamedQuery* q = dm.query(query);
    if (!param.isEmpty())
        q->setParam(param.section(u'=', 0, 0), param.section(u'=', 1));
    if (q == dm.Opicianti)
        q->setParam(QStringLiteral("OP"), QStringLiteral("%"));
    q->open();
    QCOMPARE(q->rowCount(), 1);
    QCOMPARE(q->isNull(field), null);
    const bool isDate = field == QLatin1String("Tarigi") || field == QLatin1String("Starttime")
                        || field == QLatin1String("endtime");
    for (const QChar sep : {QChar(u'.'), QChar(u',')}) {
        Formats::setDecimalSeparator(sep);
        // Dates keep their full stops; numbers take the system's separator.
        QCOMPARE(q->asString(field), sep == u'.' || isDate ? text : QString(text).replace(u'.', u','));
    }
    if (isDate) {
        QCOMPARE(q->asDateTime(field).isNull(), null);
        return;
    }
    if (field == QLatin1String("OFICIANT") && !null)
        return;
    QCOMPARE(q->asInteger(field), integer);
    QCOMPARE(q->asFloat(field), number);
    QCOMPARE(q->asMoney(field), Money::fromDoubleHalfEven(number));
    // The same field in lower case.
    QCOMPARE(q->asString(field.toLower()), q->asString(field));
}

void tst_namedquery::fieldErrors()
{
    m_sample.use();
    TDM dm;
    // Closed.
    QVERIFY_THROWS_EXCEPTION(DbError, dm.setting->asString(QStringLiteral("Tables")));
    dm.setting->open();
    // Unknown field.
    QVERIFY_THROWS_EXCEPTION(DbError, dm.setting->asString(QStringLiteral("NoSuchField")));
    // Text that is not a number or a date.
    dm.busytables->setParam(QStringLiteral("TB"), QStringLiteral("5"));
    dm.busytables->open();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->asFloat(QStringLiteral("OFICIANT")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->asInteger(QStringLiteral("OFICIANT")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->asDateTime(QStringLiteral("OFICIANT")));
}

// A query without rows reads empty values: a table without an occupancy row
// reads as free.
void tst_namedquery::emptyQueryReadsEmpty()
{
    m_sample.use();
    TDM dm;
    dm.busytables->setParam(QStringLiteral("TB"), QStringLiteral("15"));
    dm.busytables->open();
    QVERIFY(dm.busytables->isEmpty());
    QVERIFY(dm.busytables->eof());
    QCOMPARE(dm.busytables->recNo(), -1);
    QCOMPARE(dm.busytables->asInteger(QStringLiteral("Busy")), 0);
    QCOMPARE(dm.busytables->asString(QStringLiteral("OFICIANT")), QString());
    QCOMPARE(dm.busytables->asFloat(QStringLiteral("USERNUM")), 0.0);
    QCOMPARE(dm.busytables->asMoney(QStringLiteral("GadaxdiliTanxa")), Money());
    QVERIFY(dm.busytables->isNull(QStringLiteral("TableNum")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->asInteger(QStringLiteral("NoSuchField")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.busytables->edit());
}

void tst_namedquery::moneyRoundTrip_data()
{
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QString>("amount");

    QTest::newRow("large, as money") << QVariant::fromValue(*Money::parse("12345678.9999")) << "12345678.9999";
    QTest::newRow("smallest, as money") << QVariant::fromValue(*Money::parse("0.0001")) << "0.0001";
    QTest::newRow("negative, as money") << QVariant::fromValue(*Money::parse("-3.0001")) << "-3.0001";
    QTest::newRow("large, as text") << QVariant(QStringLiteral("12345678.9999")) << "12345678.9999";
    QTest::newRow("typed with a comma") << QVariant(QStringLiteral("0,0001")) << "0.0001";
    QTest::newRow("large, as float") << QVariant(12345678.9999) << "12345678.9999";
    QTest::newRow("float with noise") << QVariant(0.1 + 0.2) << "0.3";
    QTest::newRow("10^14, as text") << QVariant(QStringLiteral("100000000000000.0000")) << "100000000000000";
    QTest::newRow("largest, as money") << QVariant::fromValue(Money::fromRaw(Money::MaxRaw)) << "922337203685477.5807";
    QTest::newRow("largest below zero, as text") << QVariant(QStringLiteral("-922337203685477.5807"))
                                                 << "-922337203685477.5807";
}

void tst_namedquery::moneyRoundTrip()
{
    QFETCH(QVariant, written);
    QFETCH(QString, amount);
    const TestDb& db = m_sample.use();
    station(db);
    TDM dm;
    dm.busytables->setParam(QStringLiteral("TB"), QStringLiteral("4"));
    dm.busytables->open();
    dm.busytables->edit();
    dm.busytables->setField(QStringLiteral("GadaxdiliTanxa"), written);
    dm.busytables->post();
    const Money expected = *Money::parse(amount);
    QCOMPARE(dm.busytables->asMoney(QStringLiteral("GadaxdiliTanxa")), expected);

    dm.busytables->close();
    dm.busytables->open();
    QCOMPARE(dm.busytables->asMoney(QStringLiteral("GadaxdiliTanxa")), expected);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from busytable where TableNum = 4 and GadaxdiliTanxa = '%1'")
                              .arg(expected.toSqlText())),
             1);

    // Written again unchanged, the optimistic check still finds the row.
    dm.busytables->edit();
    dm.busytables->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(Money()));
    dm.busytables->post();
    QCOMPARE(dm.busytables->state(), NamedQuery::State::Browse);
}

void tst_namedquery::floatRoundTrip_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2;
    QTest::newRow("one third") << 1.0 / 3.0;
    QTest::newRow("seventeen digits") << 123456.78901234567;
    QTest::newRow("tiny") << 1e-7 / 3;
    QTest::newRow("negative") << -2.675;
}

// A float written by the program reads back as the same double, so a later
// optimistic check on it matches.
void tst_namedquery::floatRoundTrip()
{
    QFETCH(double, value);
    const TestDb& db = m_sample.use();
    station(db);
    TDM dm;
    NamedQuery* q = openItem(dm, 2);
    q->edit();
    q->setField(QStringLiteral("raodenoba"), value);
    q->post();
    q->close();
    q->open();
    QCOMPARE(bits(q->asFloat(QStringLiteral("raodenoba"))), bits(value));
    QCOMPARE(bits(stationValue(QStringLiteral("select raodenoba from kerdzebi where ID = 2")).toDouble()), bits(value));

    q->edit();
    q->setField(QStringLiteral("raodenoba"), 20.0);
    try {
        q->post();
    } catch (const DbError& e) {
        QFAIL(qPrintable(QStringLiteral("the row's own value did not match: ") + e.text()));
    }
}

void tst_namedquery::dateTimeRoundTrip_data()
{
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QDateTime>("expected");

    const QDate d(2024, 3, 31);  // the night the clocks change in much of Europe
    QTest::newRow("midnight") << QVariant(QDateTime(d, QTime(0, 0))) << QDateTime(d, QTime(0, 0));
    QTest::newRow("afternoon") << QVariant(QDateTime(d, QTime(15, 45, 30))) << QDateTime(d, QTime(15, 45, 30));
    QTest::newRow("milliseconds dropped") << QVariant(QDateTime(d, QTime(3, 30, 5, 999))) << QDateTime(d, QTime(3, 30, 5));
    QTest::newRow("last second") << QVariant(QDateTime(d, QTime(23, 59, 59))) << QDateTime(d, QTime(23, 59, 59));
    QTest::newRow("date") << QVariant(d) << QDateTime(d, QTime(0, 0));
    QTest::newRow("text") << QVariant(QStringLiteral("2024-03-31 10:05:00")) << QDateTime(d, QTime(10, 5));
    QTest::newRow("short date text") << QVariant(QStringLiteral("31.03.2024 10:05")) << QDateTime(d, QTime(10, 5));
    QTest::newRow("UTC moment") << QVariant(QDateTime(d, QTime(8, 0), Qt::UTC)) << QDateTime(d, QTime(8, 0));
    QTest::newRow("text with a fraction") << QVariant(QStringLiteral("2024-03-31 12:00:00.123")) << QDateTime(d, QTime(12, 0));
}

// Date-times keep their time of day and do not move with the zone of the
// station or of the server.
void tst_namedquery::dateTimeRoundTrip()
{
    QFETCH(QVariant, written);
    QFETCH(QDateTime, expected);
    const TestDb& db = m_sample.use();
    station(db);
    TDM dm;
    dm.Opicianti->setParam(QStringLiteral("OP"), QStringLiteral("%"));
    dm.Opicianti->setParam(QStringLiteral("TB"), QStringLiteral("5"));
    dm.Opicianti->open();
    dm.Opicianti->edit();
    dm.Opicianti->setField(QStringLiteral("endtime"), written);
    dm.Opicianti->post();
    dm.Opicianti->close();
    dm.Opicianti->open();
    QCOMPARE(dm.Opicianti->asDateTime(QStringLiteral("endtime")), expected);
    const int id = int(dm.Opicianti->asInteger(QStringLiteral("ID")));
    // Stored as "YYYY-MM-DD" at midnight, else with the time of day.
    const QString form = expected.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd")
                                                        : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const qint64 same = stationCount(QStringLiteral("select count(*) from Shekvetebi where ID = %1 and endtime = '%2'")
                                         .arg(id)
                                         .arg(expected.toString(form)));
    QCOMPARE(same, 1);

    dm.Opicianti->edit();
    dm.Opicianti->setField(QStringLiteral("endtime"), QVariant());
    dm.Opicianti->post();
}

void tst_namedquery::editPost()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    station(db);
    TDM dm;
    NamedQuery* q = openItem(dm, 1);
    q->edit();
    QCOMPARE(q->state(), NamedQuery::State::Edit);
    q->setField(QStringLiteral("gasayidi"), 5.5);
    q->setField(QStringLiteral("DASAXELEBA"), QStringLiteral("იმერული ხაჭაპური"));
    QVERIFY(q->isModified());
    // The edited values show at once; nothing is written before post.
    QCOMPARE(q->asFloat(QStringLiteral("gasayidi")), 5.5);
    QCOMPARE(stationValue(QStringLiteral("select gasayidi from kerdzebi where ID = 1")).toDouble(), 5.0);
    q->post();
    QCOMPARE(q->state(), NamedQuery::State::Browse);
    QVERIFY(!q->isModified());
    QCOMPARE(stationValue(QStringLiteral("select gasayidi from kerdzebi where ID = 1")).toDouble(), 5.5);
    QCOMPARE(stationValue(QStringLiteral("select Dasaxeleba from kerdzebi where ID = 1")).toString(),
             QStringLiteral("იმერული ხაჭაპური"));
    // Other rows and columns are untouched.
    QCOMPARE(stationValue(QStringLiteral("select asagebi from kerdzebi where ID = 1")).toDouble(), 2.0);
    QCOMPARE(stationValue(QStringLiteral("select gasayidi from kerdzebi where ID = 2")).toDouble(), 4.0);
    QCOMPARE(q->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("იმერული ხაჭაპური"));

    // An edit without changes posts nothing and leaves the state.
    q->edit();
    q->post();
    QCOMPARE(q->state(), NamedQuery::State::Browse);
}

void tst_namedquery::insertPost()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    station(db);
    TDM dm;
    dm.oficianti->open();
    QCOMPARE(dm.oficianti->rowCount(), 2);
    const qint64 before = stationCount(QStringLiteral("select max(ID) from OFICIANTI"));

    QList<qint64> ids;
    for (const char* name : {"გიორგი", "მარიამი"}) {
        dm.oficianti->insert();
        QCOMPARE(dm.oficianti->state(), NamedQuery::State::Insert);
        QCOMPARE(dm.oficianti->recNo(), dm.oficianti->rowCount() - 1);
        QVERIFY(dm.oficianti->isNull(QStringLiteral("ID")));
        dm.oficianti->setField(QStringLiteral("Oficianti"), QString::fromUtf8(name));
        dm.oficianti->setField(QStringLiteral("mdgomareoba"), QStringLiteral("აქტიური"));
        dm.oficianti->post();
        ids << dm.oficianti->asInteger(QStringLiteral("ID"));
        QCOMPARE(stationValue(QStringLiteral("select Oficianti from OFICIANTI where ID = %1").arg(ids.last())).toString(),
                 QString::fromUtf8(name));
    }
    QCOMPARE(dm.oficianti->rowCount(), 4);
    QVERIFY(ids[0] > before);
    QVERIFY(ids[1] > ids[0]);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from OFICIANTI")), 4);

    // The new row is edited through its read-back ID.
    dm.oficianti->edit();
    dm.oficianti->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
    dm.oficianti->post();
    QCOMPARE(stationValue(QStringLiteral("select mdgomareoba from OFICIANTI where ID = %1").arg(ids[1])).toString(),
             QStringLiteral("პასიური"));
    QCOMPARE(stationValue(QStringLiteral("select mdgomareoba from OFICIANTI where ID = %1").arg(ids[0])).toString(),
             QStringLiteral("აქტიური"));
}

void tst_namedquery::insertWithoutFields()
{
    TestDb db(TestDb::currentEngine());
    station(db);
    TDM dm;
    dm.oficianti->open();
    dm.oficianti->insert();
    dm.oficianti->post();
    QVERIFY(dm.oficianti->asInteger(QStringLiteral("ID")) > 0);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from OFICIANTI where Oficianti is null")), 1);
}

void tst_namedquery::removeRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("currentAfter");

    QTest::newRow("first") << 0 << 0;
    QTest::newRow("middle") << 2 << 2;
    QTest::newRow("last") << 5 << 4;
}

void tst_namedquery::removeRow()
{
    QFETCH(int, row);
    QFETCH(int, currentAfter);
    QSqlDatabase b = station(m_sample.use());
    // Six routing rows of a department of this test's own.
    TestDb::exec(b, QStringLiteral("delete from uplebebi where ganyofileba = 'წასაშლელი'"));
    for (int i = 0; i < 6; ++i)
        TestDb::exec(b, QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('წასაშლელი', 'მზარეული %1')").arg(i));
    TDM dm;
    NamedQuery* q = dm.povrebis_uplebebi;
    q->setParam(QStringLiteral("GAN"), QStringLiteral("წასაშლელი"));
    q->open();
    QCOMPARE(q->rowCount(), 6);
    q->moveTo(row);
    const qint64 id = q->asInteger(QStringLiteral("ID"));
    q->moveTo(row + 1 < 6 ? row + 1 : row - 1);
    const qint64 nextId = q->asInteger(QStringLiteral("ID"));
    q->moveTo(row);
    q->remove();
    QCOMPARE(q->rowCount(), 5);
    QCOMPARE(q->recNo(), currentAfter);
    QCOMPARE(q->asInteger(QStringLiteral("ID")), nextId);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from uplebebi where ID = %1").arg(id)), 0);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from uplebebi where ganyofileba = 'წასაშლელი'")), 5);

    // Removing every row leaves an empty query.
    while (!q->isEmpty())
        q->remove();
    QCOMPARE(q->recNo(), -1);
    QVERIFY(q->eof());
    QCOMPARE(stationCount(QStringLiteral("select count(*) from uplebebi where ganyofileba = 'წასაშლელი'")), 0);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from uplebebi")), 3);
}

void tst_namedquery::cancel()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    station(db);
    TDM dm;
    dm.kerdzebibyid->open();
    dm.kerdzebibyid->moveTo(1);

    // An insert cancelled: the row goes, the current row comes back, nothing written.
    dm.kerdzebibyid->insert();
    dm.kerdzebibyid->setField(QStringLiteral("Dasaxeleba"), QStringLiteral("ჩახოხბილი"));
    QCOMPARE(dm.kerdzebibyid->rowCount(), 7);
    dm.kerdzebibyid->cancel();
    QCOMPARE(dm.kerdzebibyid->state(), NamedQuery::State::Browse);
    QCOMPARE(dm.kerdzebibyid->rowCount(), 6);
    QVERIFY(dm.kerdzebibyid->recNo() >= 0 && dm.kerdzebibyid->recNo() < 6);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from kerdzebi")), 6);

    // An edit cancelled: the values read come back.
    dm.kerdzebibyid->moveTo(1);
    dm.kerdzebibyid->edit();
    dm.kerdzebibyid->setField(QStringLiteral("Dasaxeleba"), QStringLiteral("ჩახოხბილი"));
    dm.kerdzebibyid->cancel();
    QCOMPARE(dm.kerdzebibyid->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("ლობიო"));
    QVERIFY(!dm.kerdzebibyid->isModified());
    QCOMPARE(stationValue(QStringLiteral("select Dasaxeleba from kerdzebi where ID = 2")).toString(),
             QStringLiteral("ლობიო"));

    // Removing an unposted insert only drops it.
    dm.kerdzebibyid->insert();
    dm.kerdzebibyid->remove();
    QCOMPARE(dm.kerdzebibyid->rowCount(), 6);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from kerdzebi")), 6);
}

void tst_namedquery::leavingAnUntouchedInsert_data()
{
    QTest::addColumn<QString>("move");
    QTest::newRow("first") << "first";
    QTest::newRow("last") << "last";
    QTest::newRow("next") << "next";
    QTest::newRow("prior") << "prior";
    QTest::newRow("moveTo 0") << "moveTo";
    QTest::newRow("insert again") << "insert";
}

// An insert without any field set is dropped when the user moves away from it,
// and the current row is a real row again.
void tst_namedquery::leavingAnUntouchedInsert()
{
    QFETCH(QString, move);
    m_sample.use();
    TDM dm;
    dm.oficianti->open();
    const int rows = dm.oficianti->rowCount();
    dm.oficianti->insert();
    if (move == QLatin1String("first"))
        dm.oficianti->first();
    else if (move == QLatin1String("last"))
        dm.oficianti->last();
    else if (move == QLatin1String("next"))
        dm.oficianti->next();
    else if (move == QLatin1String("prior"))
        dm.oficianti->prior();
    else if (move == QLatin1String("moveTo"))
        dm.oficianti->moveTo(0);
    else {
        dm.oficianti->insert();
        QCOMPARE(dm.oficianti->rowCount(), rows + 1);
        dm.oficianti->cancel();
    }
    QCOMPARE(dm.oficianti->state(), NamedQuery::State::Browse);
    QCOMPARE(dm.oficianti->rowCount(), rows);
    QVERIFY2(dm.oficianti->recNo() >= 0 && dm.oficianti->recNo() < rows,
             qPrintable(QString::number(dm.oficianti->recNo())));
    QVERIFY(!dm.oficianti->asString(QStringLiteral("Oficianti")).isEmpty());
}

void tst_namedquery::movingPostsAnEdit()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    station(db);
    TDM dm;
    dm.kerdzebibyid->open();
    dm.kerdzebibyid->edit();
    dm.kerdzebibyid->setField(QStringLiteral("prioriteti"), 9);
    dm.kerdzebibyid->next();
    QCOMPARE(dm.kerdzebibyid->state(), NamedQuery::State::Browse);
    QCOMPARE(dm.kerdzebibyid->recNo(), 1);
    QCOMPARE(stationCount(QStringLiteral("select prioriteti from kerdzebi where ID = 1")), 9);

    // At the last row, next() posts too and reaches the end.
    dm.kerdzebibyid->last();
    dm.kerdzebibyid->edit();
    dm.kerdzebibyid->setField(QStringLiteral("prioriteti"), 8);
    dm.kerdzebibyid->next();
    QVERIFY(dm.kerdzebibyid->eof());
    QCOMPARE(dm.kerdzebibyid->state(), NamedQuery::State::Browse);
    QCOMPARE(stationCount(QStringLiteral("select prioriteti from kerdzebi where ID = 6")), 8);
}

void tst_namedquery::refreshKeepsPosition()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    QSqlDatabase other = station(db);
    TDM dm;
    dm.kerdzebibyid->open();
    dm.kerdzebibyid->moveTo(3);
    QCOMPARE(dm.kerdzebibyid->asInteger(QStringLiteral("ID")), 4);

    // Another station adds a row before it (a smaller ID is not possible, so
    // delete one before it instead) and renames the current one.
    TestDb::exec(other, QStringLiteral("delete from kerdzebi where ID = 2"));
    TestDb::exec(other, QStringLiteral("update kerdzebi set Dasaxeleba = 'ახალი' where ID = 4"));
    TestDb::exec(other, QStringLiteral("insert into kerdzebi (Dasaxeleba) values ('ბოლო')"));
    dm.kerdzebibyid->refresh();
    QCOMPARE(dm.kerdzebibyid->rowCount(), 6);
    QCOMPARE(dm.kerdzebibyid->asInteger(QStringLiteral("ID")), 4);
    QCOMPARE(dm.kerdzebibyid->recNo(), 2);
    QCOMPARE(dm.kerdzebibyid->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("ახალი"));

    // The current row deleted elsewhere: the position stays where it was.
    TestDb::exec(other, QStringLiteral("delete from kerdzebi where ID = 4"));
    dm.kerdzebibyid->refresh();
    QCOMPARE(dm.kerdzebibyid->rowCount(), 5);
    QCOMPARE(dm.kerdzebibyid->recNo(), 2);
    QCOMPARE(dm.kerdzebibyid->asInteger(QStringLiteral("ID")), 5);

    // A pending edit is posted first.
    dm.kerdzebibyid->edit();
    dm.kerdzebibyid->setField(QStringLiteral("prioriteti"), 4);
    dm.kerdzebibyid->refresh();
    QCOMPARE(stationCount(QStringLiteral("select prioriteti from kerdzebi where ID = 5")), 4);
    QCOMPARE(dm.kerdzebibyid->asInteger(QStringLiteral("prioriteti")), 4);
}

// A re-run replaces the parameters it is given, keeps the others, and tells
// the screens what a close and an open would.
void tst_namedquery::reopen()
{
    m_sample.use();
    TDM dm;
    NamedQuery* q = dm.kerdzebi;
    QStringList log;
    connect(q, &NamedQuery::closed, q, [&] { log << QStringLiteral("closed"); });
    connect(q, &NamedQuery::aboutToOpen, q, [&] { log << QStringLiteral("aboutToOpen"); });
    connect(q, &NamedQuery::opened, q, [&] { log << QStringLiteral("opened"); });
    connect(q, &NamedQuery::currentChanged, q, [&](int row) { log << QStringLiteral("current %1").arg(row); });

    // A closed query is only opened.
    q->reopen({{"das", "%"}, {"tp", "ცხელი"}});
    QCOMPARE(log, QStringList({"aboutToOpen", "opened", "current 0"}));
    QCOMPARE(q->rowCount(), 2);

    // An open one is closed first; the name filter keeps its "%".
    log.clear();
    q->last();
    log.clear();
    q->reopen({{"TP", "სასმელი"}});
    QCOMPARE(log, QStringList({"closed", "aboutToOpen", "opened", "current 0"}));
    QCOMPARE(q->param(QStringLiteral("das")), QStringLiteral("%"));
    QCOMPARE(q->param(QStringLiteral("tp")), QStringLiteral("სასმელი"));
    QCOMPARE(q->rowCount(), 1);
    QCOMPARE(q->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("ლიმონათი"));

    // Without parameters it re-reads with the ones it holds.
    q->reopen();
    QCOMPARE(q->rowCount(), 1);

    // A day goes in the form setParam gives it, and selects by the stored day.
    dm.History_shekvetebi->reopen({{"USR", "%"}, {"OF", "%"}, {"TB", "%"}, {"das", "%"}, {"ST", QDate(2024, 6, 8)}, {"EN", QDate(2024, 6, 8)}});
    QCOMPARE(dm.History_shekvetebi->param(QStringLiteral("ST")), QStringLiteral("2024-06-08"));
    QCOMPARE(dm.History_shekvetebi->rowCount(), 2);

    // A parameter the query does not have is refused; the query is left closed.
    log.clear();
    QVERIFY_THROWS_EXCEPTION(DbError, q->reopen({{"nosuch", "1"}}));
    QCOMPARE(log, QStringList({"closed"}));
    QVERIFY(!q->isOpen());
}

void tst_namedquery::editingErrors()
{
    station(m_sample.use());
    TDM dm;
    // Sums and groupings are only read.
    dm.sum_shekvetebi->setParam(QStringLiteral("USR"), qint64(7));
    dm.sum_shekvetebi->open();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.sum_shekvetebi->edit());
    QVERIFY_THROWS_EXCEPTION(DbError, dm.sum_shekvetebi->insert());
    QVERIFY_THROWS_EXCEPTION(DbError, dm.sum_shekvetebi->remove());
    // A closed query.
    QVERIFY_THROWS_EXCEPTION(DbError, dm.oficianti->insert());
    QVERIFY_THROWS_EXCEPTION(DbError, dm.oficianti->edit());
    // Fields outside edit mode, computed fields and the key are not set.
    dm.shekvet->setParam(QStringLiteral("USR"), qint64(7));
    dm.shekvet->open();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->setField(QStringLiteral("Raodenoba"), 1));
    dm.shekvet->edit();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->setField(QStringLiteral("sulfasi"), 1));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->setField(QStringLiteral("ID"), 100));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->setField(QStringLiteral("NoSuchField"), 1));
    // A value that does not convert stops the post; nothing is written.
    dm.shekvet->setField(QStringLiteral("Raodenoba"), QStringLiteral("ორი"));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->post());
    dm.shekvet->cancel();
    dm.shekvet->edit();
    dm.shekvet->setField(QStringLiteral("Tarigi"), QStringLiteral("გუშინ"));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.shekvet->post());
    dm.shekvet->cancel();
    QCOMPARE(stationCount(QStringLiteral("select count(*) from Shekvetebi where USERNUM = 7 and Raodenoba is null")), 0);
}

// The cook screen changes a line's state and times through its join query.
void tst_namedquery::writeBackThroughJoin()
{
    TestDb db(TestDb::currentEngine());
    SampleData::write(db);
    station(db);
    TDM dm;
    dm.Povari_left->setParam(QStringLiteral("UP"), QStringLiteral("%"));
    dm.Povari_left->setParam(QStringLiteral("TP"), QStringLiteral("%"));
    dm.Povari_left->open();
    QCOMPARE(dm.Povari_left->rowCount(), 1);
    QCOMPARE(dm.Povari_left->asString(QStringLiteral("UPOVARI")), QStringLiteral("გელა"));
    QCOMPARE(dm.Povari_left->asString(QStringLiteral("tipi")), QStringLiteral("ცხელი"));
    const qint64 id = dm.Povari_left->asInteger(QStringLiteral("ID"));
    const QDateTime taken(QDate(2024, 6, 8), QTime(12, 7, 41));

    dm.Povari_left->edit();
    // Columns of the joined tables are not written back.
    QVERIFY_THROWS_EXCEPTION(DbError, dm.Povari_left->setField(QStringLiteral("UPOVARI"), QStringLiteral("ნინო")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.Povari_left->setField(QStringLiteral("tipi"), QStringLiteral("სასმელი")));
    dm.Povari_left->setField(QStringLiteral("STATUSI"), 2);
    dm.Povari_left->setField(QStringLiteral("Starttime"), taken);
    dm.Povari_left->post();
    QCOMPARE(stationCount(QStringLiteral("select STATUSI from Shekvetebi where ID = %1").arg(id)), 2);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from Shekvetebi where ID = %1 and Starttime = '2024-06-08 12:07:41'").arg(id)), 1);
    QCOMPARE(stationValue(QStringLiteral("select tipi from kerdzebi where ID = 1")).toString(), QStringLiteral("ცხელი"));

    dm.povari_right->setParam(QStringLiteral("UP"), QStringLiteral("გელა"));
    dm.povari_right->setParam(QStringLiteral("TP"), QStringLiteral("%"));
    dm.povari_right->open();
    QCOMPARE(dm.povari_right->rowCount(), 2);
}

// Kinds of column, each: the value read, the value another station writes in
// between, and this station's own change.
void tst_namedquery::optimisticCheck_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("initial");  // SQL literal
    QTest::addColumn<QString>("other");    // SQL literal, or empty: nobody else writes
    QTest::addColumn<QVariant>("mine");
    QTest::addColumn<bool>("refused");

    const QVariant moment(QDateTime(QDate(2024, 6, 8), QTime(12, 30)));
    struct Kind
    {
        const char* name;
        const char* table;
        const char* column;
        const char* initial;
        const char* other;
        QVariant mine;
    };
    const Kind kinds[] = {
        {"float", "kerdzebi", "gasayidi", "2.675", "3.1", QVariant(4.0)},
        {"float with noise", "kerdzebi", "gasayidi", "0.30000000000000004", "0.3", QVariant(4.0)},
        {"float third", "kerdzebi", "raodenoba", "0.333333333333333315", "0.33", QVariant(1.0)},
        {"text", "kerdzebi", "Dasaxeleba", "'ლობიო'", "'ლობიო ნიგვზით'", QVariant(QStringLiteral("მწვანე ლობიო"))},
        {"empty text", "kerdzebi", "tipi", "null", "'სალათი'", QVariant(QStringLiteral("ცხელი"))},
        {"integer", "busytable", "Busy", "0", "1", QVariant(1)},
        {"money", "busytable", "GadaxdiliTanxa", "'12.3400'", "'12.3500'", QVariant(QStringLiteral("20"))},
        {"money written short", "busytable", "GadaxdiliTanxa", "'12.34'", "'12.35'", QVariant(QStringLiteral("20"))},
        {"money written as a whole number", "busytable", "GadaxdiliTanxa", "0", "5", QVariant(QStringLiteral("20"))},
        {"day", "Shekvetebi", "Tarigi", "'2024-06-08'", "'2024-06-09'", QVariant(QDate(2024, 6, 10))},
        {"moment", "Shekvetebi", "Starttime", "'2024-06-08 12:00:05'", "'2024-06-08 12:00:06'", moment},
        {"moment written with a T", "Shekvetebi", "Starttime", "'2024-06-08T12:00:05'", "'2024-06-08T12:00:06'", moment},
        {"day written with its midnight", "Shekvetebi", "Tarigi", "'2024-06-08 00:00:00'", "'2024-06-09 00:00:00'", QVariant(QDate(2024, 6, 10))},
        {"empty moment", "Shekvetebi", "endtime", "null", "'2024-06-08 12:00:06'", moment},
    };
    for (const Kind& k : kinds) {
        QTest::addRow("%s, unchanged", k.name) << k.table << k.column << k.initial << QString() << k.mine << false;
        QTest::addRow("%s, changed elsewhere", k.name) << k.table << k.column << k.initial << k.other << k.mine << true;
    }
}

void tst_namedquery::optimisticCheck()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, initial);
    QFETCH(QString, other);
    QFETCH(QVariant, mine);
    QFETCH(bool, refused);
    const TestDb& db = m_sample.use();
    QSqlDatabase b = station(db);

    // A row of our own, read by this station through a writable query.
    TestDb::exec(b, QStringLiteral("insert into %1 (%2) values (%3)").arg(table, column, initial));
    const qint64 id = stationCount(QStringLiteral("select max(ID) from %1").arg(table));
    TDM dm;
    NamedQuery* q = table == QLatin1String("kerdzebi")    ? dm.kerdzebibyid
                    : table == QLatin1String("busytable") ? dm.Tables
                                                          : dm.History_shekvetebi;
    if (q == dm.History_shekvetebi) {
        // Reached by ID through the order-number filter.
        TestDb::exec(b, QStringLiteral("update Shekvetebi set USERNUM = %1 where ID = %2").arg(id + 1000).arg(id));
        for (const char* p : {"OF", "TB", "das"})
            q->setParam(QLatin1String(p), QStringLiteral("%"));
        q->setParam(QStringLiteral("USR"), id + 1000);
        q->setParam(QStringLiteral("ST"), QStringLiteral("1900-01-01"));
        q->setParam(QStringLiteral("EN"), QStringLiteral("2999-12-31"));
        TestDb::exec(b, QStringLiteral("update Shekvetebi set OFFICIANT = '-', Kerdzi_DAS = '-', TableNum = 0, "
                                       "Tarigi = coalesce(Tarigi, '2024-06-08') where ID = %1")
                            .arg(id));
    }
    q->open();
    bool found = false;
    for (q->first(); !q->eof(); q->next())
        if (q->asInteger(QStringLiteral("ID")) == id) {
            found = true;
            break;
        }
    QVERIFY(found);

    if (!other.isEmpty())
        TestDb::exec(b, QStringLiteral("update %1 set %2 = %3 where ID = %4").arg(table, column, other).arg(id));
    const QString changedElsewhere = QStringLiteral("select count(*) from %1 where ID = %2 and %3 = %4")
                                         .arg(table)
                                         .arg(id)
                                         .arg(column, other.isEmpty() ? initial : other);

    q->edit();
    q->setField(column, mine);
    if (refused) {
        try {
            q->post();
            QFAIL("the post overwrote another station's change");
        } catch (const DbError& e) {
            QVERIFY(!e.text().isEmpty());
        }
        // The other station's value stays; the edit is still there to cancel.
        QCOMPARE(stationCount(changedElsewhere), 1);
        QCOMPARE(q->state(), NamedQuery::State::Edit);
        q->cancel();
    } else {
        try {
            q->post();
        } catch (const DbError& e) {
            QFAIL(qPrintable(QStringLiteral("an unchanged row was refused: ") + e.text()));
        }
        QCOMPARE(q->state(), NamedQuery::State::Browse);
        if (initial != QLatin1String("null"))
            QCOMPARE(stationCount(changedElsewhere), 0);
    }
    TestDb::exec(b, QStringLiteral("delete from %1 where ID = %2").arg(table).arg(id));
}

void tst_namedquery::deletedByOtherStation_data()
{
    QTest::addColumn<bool>("update");
    QTest::newRow("update") << true;
    QTest::newRow("delete") << false;
}

void tst_namedquery::deletedByOtherStation()
{
    QFETCH(bool, update);
    const TestDb& db = m_sample.use();
    QSqlDatabase b = station(db);
    TestDb::exec(b, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('დროებითი', 'აქტიური')"));
    const qint64 id = stationCount(QStringLiteral("select max(ID) from OFICIANTI"));
    TDM dm;
    dm.oficianti->open();
    dm.oficianti->last();
    QCOMPARE(dm.oficianti->asInteger(QStringLiteral("ID")), id);
    TestDb::exec(b, QStringLiteral("delete from OFICIANTI where ID = %1").arg(id));
    const int rows = dm.oficianti->rowCount();
    if (update) {
        dm.oficianti->edit();
        dm.oficianti->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
        QVERIFY_THROWS_EXCEPTION(DbError, dm.oficianti->post());
        dm.oficianti->cancel();
    } else {
        QVERIFY_THROWS_EXCEPTION(DbError, dm.oficianti->remove());
        // The snapshot keeps the row until it is read again.
        QCOMPARE(dm.oficianti->rowCount(), rows);
    }
    QCOMPARE(stationCount(QStringLiteral("select count(*) from OFICIANTI where ID = %1").arg(id)), 0);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from OFICIANTI")), 2);
}

// A write undone by its transaction's rollback stays in the snapshot until the
// query reads its rows again; so does an edit not yet posted.
void tst_namedquery::afterARolledBackWrite()
{
    station(m_sample.use());
    TDM dm;
    NamedQuery* q = dm.oficianti;
    q->open();
    const int rows = q->rowCount();
    QVERIFY(!q->isEditing());
    {
        Transaction tx;
        q->insert();
        QVERIFY(q->isEditing());
        q->setField(QStringLiteral("Oficianti"), QStringLiteral("უკან დაბრუნებული"));
        q->setField(QStringLiteral("mdgomareoba"), QStringLiteral("აქტიური"));
        q->post();
        QVERIFY(!q->isEditing());
    }  // rolled back
    QCOMPARE(q->rowCount(), rows + 1);
    q->rereadAfterRollback();
    QCOMPARE(q->rowCount(), rows);
    QCOMPARE(stationCount(QStringLiteral("select count(*) from OFICIANTI")), rows);

    q->first();
    const QString name = q->asString(QStringLiteral("Oficianti"));
    q->edit();
    q->setField(QStringLiteral("Oficianti"), QStringLiteral("არ შენახული"));
    QVERIFY(q->isEditing());
    q->rereadAfterRollback();
    QVERIFY(q->isOpen());
    QVERIFY(!q->isEditing());
    q->first();
    QCOMPARE(q->asString(QStringLiteral("Oficianti")), name);

    // A closed query is left closed.
    q->close();
    q->rereadAfterRollback();
    QVERIFY(!q->isOpen());
}

void tst_namedquery::parametersSavedAndRestored()
{
    m_sample.use();
    TDM dm;
    NamedQuery* q = dm.kerdzebi;
    q->reopen({{QStringLiteral("das"), QStringLiteral("ხ%")}, {QStringLiteral("tp"), QStringLiteral("%")}});
    const int rows = q->rowCount();
    const QList<NamedQuery::Param> saved = q->saveParams();
    q->reopen({{QStringLiteral("das"), QStringLiteral("%")}, {QStringLiteral("tp"), QStringLiteral("არცერთი")}});
    QCOMPARE(q->rowCount(), 0);
    q->restoreParams(saved);
    QCOMPARE(q->param(QStringLiteral("das")), QStringLiteral("ხ%"));
    QCOMPARE(q->param(QStringLiteral("tp")), QStringLiteral("%"));
    q->reopen();
    QCOMPARE(q->rowCount(), rows);
    QVERIFY(rows > 0);
}

QTEST_GUILESS_MAIN(tst_namedquery)
#include "tst_namedquery.moc"
