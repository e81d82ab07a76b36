#include "data/money.h"
#include "data/snapshotcolumn.h"

#include <QTest>

// The stored date-time forms read straight into a column's encoded value, and
// the values appended from an engine's UTF-8 buffers against the same values
// appended as the QVariant Qt's drivers give.
class tst_snapshotcolumn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void parseIso_data();
    void parseIso();
    void utf8AsVariant_data();
    void utf8AsVariant();
    void numbersAsVariant();
    void blocksKeepOrder();
};

void tst_snapshotcolumn::initTestCase()
{
    // A zone with its own offset and past changes: the values must not move.
    qputenv("TZ", "Asia/Tbilisi");
    tzset();
}

void tst_snapshotcolumn::parseIso_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDateTime>("expected");

    const auto at = [](int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, mi, s, ms));
    };
    QTest::newRow("day") << "2024-06-08" << true << at(2024, 6, 8);
    QTest::newRow("midnight spelled out") << "2024-06-08 00:00:00" << true << at(2024, 6, 8);
    QTest::newRow("moment") << "2024-06-08 12:30:45" << true << at(2024, 6, 8, 12, 30, 45);
    QTest::newRow("T between") << "2024-06-08T12:30:45" << true << at(2024, 6, 8, 12, 30, 45);
    QTest::newRow("no seconds") << "2024-06-08 12:30" << true << at(2024, 6, 8, 12, 30);
    QTest::newRow("last second") << "2024-12-31 23:59:59" << true << at(2024, 12, 31, 23, 59, 59);
    // Whole seconds are kept, as the PostgreSQL columns keep them: a fraction is dropped.
    QTest::newRow("milliseconds") << "2024-06-08 12:00:00.123" << true << at(2024, 6, 8, 12);
    QTest::newRow("tenths dropped, not rounded") << "2024-06-08 12:30:45.9" << true << at(2024, 6, 8, 12, 30, 45);
    QTest::newRow("microseconds") << "2024-06-08 23:59:59.999999" << true << at(2024, 6, 8, 23, 59, 59);
    QTest::newRow("qt's form") << "2024-06-08T10:30:00.000" << true << at(2024, 6, 8, 10, 30);
    QTest::newRow("midnight with a fraction") << "2024-06-08 00:00:00.5" << true << at(2024, 6, 8);
    QTest::newRow("separator without fraction") << "2024-06-08 12:30:45." << false << QDateTime();
    QTest::newRow("fraction of letters") << "2024-06-08 12:30:45.12a" << false << QDateTime();
    QTest::newRow("fraction beyond nanoseconds") << "2024-06-08 12:30:45.1234567890" << false << QDateTime();
    QTest::newRow("fraction without seconds") << "2024-06-08 12:30.5" << false << QDateTime();
    QTest::newRow("junk after seconds") << "2024-06-08 12:34:56garbage" << false << QDateTime();
    QTest::newRow("junk after minutes") << "2024-06-08 12:34xx" << false << QDateTime();
    QTest::newRow("junk after day") << "2024-06-08x" << false << QDateTime();
    QTest::newRow("one-digit second") << "2024-06-08 12:34:5" << false << QDateTime();
    QTest::newRow("one-digit minute") << "2024-06-08 12:3" << false << QDateTime();
    QTest::newRow("blank after") << "2024-06-08 12:34:56 " << false << QDateTime();
    QTest::newRow("zone after") << "2024-06-08 12:34:56+04" << false << QDateTime();
    QTest::newRow("year 10000") << "10000-01-01 00:00:00" << false << QDateTime();
    QTest::newRow("leap day") << "2024-02-29" << true << at(2024, 2, 29);
    QTest::newRow("leap day 2000") << "2000-02-29 08:00:00" << true << at(2000, 2, 29, 8);
    QTest::newRow("no leap day 2023") << "2023-02-29" << false << QDateTime();
    QTest::newRow("no leap day 1900") << "1900-02-29" << false << QDateTime();
    QTest::newRow("empty") << "" << false << QDateTime();
    QTest::newRow("short date form") << "08.06.2024" << false << QDateTime();
    QTest::newRow("one-digit month") << "2024-6-08" << false << QDateTime();
    QTest::newRow("month 13") << "2024-13-01" << false << QDateTime();
    QTest::newRow("day 0") << "2024-06-00" << false << QDateTime();
    QTest::newRow("hour 24") << "2024-06-08 24:00:00" << false << QDateTime();
    QTest::newRow("minute 60") << "2024-06-08 12:60:00" << false << QDateTime();
    QTest::newRow("second 60") << "2024-06-08 12:30:60" << false << QDateTime();
    QTest::newRow("cut time") << "2024-06-08 12" << false << QDateTime();
    QTest::newRow("letters") << "2024-0a-08" << false << QDateTime();
    QTest::newRow("number") << "20240608" << false << QDateTime();
}

void tst_snapshotcolumn::parseIso()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QDateTime, expected);

    std::int64_t fromText = -1;
    std::int64_t fromBytes = -1;
    const QByteArray bytes = text.toUtf8();
    QCOMPARE(SnapshotColumn::parseIsoEncoded(QStringView(text), &fromText), valid);
    QCOMPARE(SnapshotColumn::parseIsoEncoded(std::string_view(bytes.constData(), std::size_t(bytes.size())), &fromBytes),
             valid);
    QDateTime dt;
    QCOMPARE(SnapshotColumn::parseIsoDateTime(text, &dt), valid);
    if (!valid)
        return;
    QCOMPARE(fromText, fromBytes);
    QCOMPARE(fromText, SnapshotColumn::encodeDateTime(expected));
    QCOMPARE(dt, expected);
    QCOMPARE(SnapshotColumn::decodeDateTime(fromText), expected);
    // What was read is written in the stored form and reads back as the same moment.
    QDateTime again;
    QVERIFY(SnapshotColumn::parseIsoDateTime(SnapshotColumn::sqlText(dt), &again));
    QCOMPARE(again, dt);
}

void tst_snapshotcolumn::utf8AsVariant_data()
{
    QTest::addColumn<int>("store");
    QTest::addColumn<QString>("text");

    const int text = int(SnapshotColumn::Store::Text);
    const int dateTime = int(SnapshotColumn::Store::DateTime);
    const int money = int(SnapshotColumn::Store::Money);
    QTest::newRow("text") << text << "ხაჭაპური";
    QTest::newRow("empty text") << text << "";
    QTest::newRow("day") << dateTime << "2024-02-29";
    QTest::newRow("moment") << dateTime << "2024-06-08 23:59:59";
    QTest::newRow("empty date") << dateTime << "";
    QTest::newRow("no date") << dateTime << "2023-02-29";
    QTest::newRow("amount") << money << "12.3400";
    QTest::newRow("short amount") << money << "0.5";
    QTest::newRow("negative amount") << money << "-7.0001";
    QTest::newRow("amount beyond four decimals") << money << "0.00005";
    QTest::newRow("empty amount") << money << "";
    QTest::newRow("no amount") << money << "abc";
}

void tst_snapshotcolumn::utf8AsVariant()
{
    QFETCH(int, store);
    QFETCH(QString, text);

    // Two rows each, so that the second goes through the text pool or after a
    // change of store.
    SnapshotColumn native{SnapshotColumn::Store(store)};
    SnapshotColumn viaQt{SnapshotColumn::Store(store)};
    const QByteArray bytes = text.toUtf8();
    for (int i = 0; i < 2; ++i) {
        if (!native.appendUtf8(bytes.constData(), int(bytes.size())))
            native.append(QVariant(text));
        viaQt.append(QVariant(text));
    }
    QCOMPARE(int(native.store()), int(viaQt.store()));
    QCOMPARE(native.size(), viaQt.size());
    for (std::size_t r = 0; r < 2; ++r) {
        QCOMPARE(native.isNull(r), viaQt.isNull(r));
        QCOMPARE(native.value(r).metaType(), viaQt.value(r).metaType());
        if (native.value(r).metaType() == QMetaType::fromType<Money>())
            QCOMPARE(native.value(r).value<Money>().raw(), viaQt.value(r).value<Money>().raw());
        else
            QCOMPARE(native.value(r), viaQt.value(r));
    }
}

void tst_snapshotcolumn::numbersAsVariant()
{
    // An integer read into a column of real numbers, as Qt's driver turns it.
    SnapshotColumn floats{SnapshotColumn::Store::Float};
    QVERIFY(floats.appendInteger(3));
    QCOMPARE(floats.value(0), QVariant(3.0));
    // Values that do not belong in a store are refused, and nothing is stored.
    SnapshotColumn ints{SnapshotColumn::Store::Integer};
    QVERIFY(!ints.appendFloat(2.5));
    QVERIFY(!ints.appendUtf8("7", 1));
    QCOMPARE(ints.size(), std::size_t(0));
    QVERIFY(ints.appendInteger(-9000000000LL));
    ints.appendNull();
    QCOMPARE(ints.value(0), QVariant(qlonglong(-9000000000LL)));
    QVERIFY(ints.isNull(1));
}

void tst_snapshotcolumn::blocksKeepOrder()
{
    // Over several blocks, with rows removed from the first and the last block.
    SnapshotColumn c{SnapshotColumn::Store::Integer};
    const int n = 3 * int(BlockVector<std::int64_t>::BlockSize) + 17;
    for (int i = 0; i < n; ++i)
        QVERIFY(c.appendInteger(i));
    c.remove(5);
    c.remove(std::size_t(n - 2));
    c.remove(c.size() - 1);
    QCOMPARE(c.size(), std::size_t(n - 3));
    for (std::size_t r = 0; r < c.size(); ++r)
        QCOMPARE(c.value(r).toLongLong(), qlonglong(r < 5 ? r : r + 1));
    c.set(std::size_t(BlockVector<std::int64_t>::BlockSize), QVariant(qlonglong(-1)));
    QCOMPARE(c.value(BlockVector<std::int64_t>::BlockSize).toLongLong(), -1LL);
}

QTEST_GUILESS_MAIN(tst_snapshotcolumn)
#include "tst_snapshotcolumn.moc"
