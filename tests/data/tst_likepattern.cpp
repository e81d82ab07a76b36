#include "data/likepattern.h"

#include <QTest>

// The `like` of a typed header on SQLite, as PostgreSQL reads the same pattern:
// "%" and "_" as wildcards, ASCII letters without regard to case, and a
// character after a backslash only itself.
class tst_likepattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matching_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("matches");
        QTest::newRow("all") << QStringLiteral("%") << QStringLiteral("INV-1") << true;
        QTest::newRow("all, empty value") << QStringLiteral("%") << QString() << true;
        QTest::newRow("prefix") << QStringLiteral("ალ%") << QStringLiteral("ალფა") << true;
        QTest::newRow("prefix, other") << QStringLiteral("ალ%") << QStringLiteral("ბეტა") << false;
        QTest::newRow("middle") << QStringLiteral("%ფ%") << QStringLiteral("ალფა") << true;
        QTest::newRow("backtracking") << QStringLiteral("%a%b") << QStringLiteral("aXbaYb") << true;
        QTest::newRow("one Georgian letter") << QStringLiteral("ა_ფა") << QStringLiteral("ალფა") << true;
        QTest::newRow("one letter, not two") << QStringLiteral("ა_ა") << QStringLiteral("ალფა") << false;
        QTest::newRow("ascii case, unescaped") << QStringLiteral("abc-1") << QStringLiteral("ABC-1") << true;
        QTest::newRow("underscore wildcard") << QStringLiteral("INV_1") << QStringLiteral("INV-1") << true;
        QTest::newRow("percent wildcard") << QStringLiteral("7%") << QStringLiteral("77") << true;
        QTest::newRow("escaped underscore") << QStringLiteral("INV\\_1") << QStringLiteral("INV-1") << false;
        QTest::newRow("escaped underscore, itself") << QStringLiteral("INV\\_1") << QStringLiteral("INV_1") << true;
        QTest::newRow("escaped letter keeps case") << QStringLiteral("\\a") << QStringLiteral("A") << false;
        QTest::newRow("longer value") << QStringLiteral("ab") << QStringLiteral("abc") << false;
        QTest::newRow("shorter value") << QStringLiteral("abc") << QStringLiteral("ab") << false;
    }
    void matching()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, value);
        QFETCH(bool, matches);
        QCOMPARE(LikePattern::matches(pattern.toUtf8(), value.toUtf8()), matches);
    }

    void anExactTextMatchesOnlyItself_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("other");
        QTest::newRow("underscore") << QStringLiteral("INV_1") << QStringLiteral("INV-1");
        QTest::newRow("percent") << QStringLiteral("7%") << QStringLiteral("77");
        QTest::newRow("letter case") << QStringLiteral("abc-1") << QStringLiteral("ABC-1");
        QTest::newRow("backslash") << QStringLiteral("A\\1") << QStringLiteral("A1");
        QTest::newRow("Georgian") << QStringLiteral("შპს ალფა") << QStringLiteral("შპს ალფაბეტი");
        QTest::newRow("outside the basic plane")
            << QString::fromUcs4(U"\U0001F354-1", 3) << QString::fromUcs4(U"\U0001F355-1", 3);
    }
    void anExactTextMatchesOnlyItself()
    {
        QFETCH(QString, typed);
        QFETCH(QString, other);
        const QByteArray pattern = LikePattern::exact(typed).toUtf8();
        QVERIFY(LikePattern::matches(pattern, typed.toUtf8()));
        QVERIFY(!LikePattern::matches(pattern, other.toUtf8()));
        QVERIFY(!LikePattern::matches(LikePattern::exact(other).toUtf8(), typed.toUtf8()));
        // A prefix of the typed text finds it, and what it does not begin.
        const QByteArray prefix = LikePattern::prefix(typed.left(typed.size() - 1)).toUtf8();
        QVERIFY(LikePattern::matches(prefix, typed.toUtf8()));
    }

    void blankMeansAll()
    {
        QCOMPARE(LikePattern::exact(QString()), QStringLiteral("%"));
        QCOMPARE(LikePattern::prefix(QString()), QStringLiteral("%"));
    }
};

QTEST_GUILESS_MAIN(tst_likepattern)
#include "tst_likepattern.moc"
