#include "tests/support/globals.h"
#include "admin/adminrules.h"
#include "shell/inputerror.h"
#include "data/formats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// How the parameters tab reads what is typed, without a database: ranges,
// decimal separators, column lengths, and where the support program is found.
class tst_adminrules : public QObject
{
    Q_OBJECT

    static bool refused(const std::function<void()>& read)
    {
        try {
            read();
        } catch (const InputError& e) {
            return !e.text().isEmpty();
        }
        return false;
    }

private Q_SLOTS:
    void cleanup() { TestSupport::resetGlobals(); }

    void tableCount_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");  // 0: refused
        QTest::newRow("16") << QStringLiteral("16") << 16;
        QTest::newRow("lowest") << QStringLiteral("1") << 1;
        QTest::newRow("highest") << QStringLiteral("500") << 500;
        QTest::newRow("blanks around") << QStringLiteral(" 20 ") << 20;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("501") << QStringLiteral("501") << 0;
        QTest::newRow("negative") << QStringLiteral("-3") << 0;
        QTest::newRow("fraction") << QStringLiteral("12.5") << 0;
        QTest::newRow("text") << QStringLiteral("ათი") << 0;
    }
    void tableCount()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        if (count == 0)
            QVERIFY(refused([&] { AdminRules::tableCount(typed); }));
        else
            QCOMPARE(AdminRules::tableCount(typed), count);
    }

    void numbers_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("percentOk");
        QTest::addColumn<bool>("priceOk");
        QTest::addColumn<double>("value");
        QTest::newRow("point 12.5") << QChar(u'.') << QStringLiteral("12.5") << true << true << 12.5;
        QTest::newRow("comma 12,5") << QChar(u',') << QStringLiteral("12,5") << true << true << 12.5;
        // A box without the key rule reads either separator as the key rule would.
        QTest::newRow("comma takes a point") << QChar(u',') << QStringLiteral("12.5") << true << true << 12.5;
        QTest::newRow("point takes a comma") << QChar(u'.') << QStringLiteral("12,5") << true << true << 12.5;
        QTest::newRow("zero") << QChar(u'.') << QStringLiteral("0") << true << true << 0.0;
        QTest::newRow("hundred") << QChar(u'.') << QStringLiteral("100") << true << true << 100.0;
        QTest::newRow("over a hundred is a price") << QChar(u'.') << QStringLiteral("100.01") << false << true << 100.01;
        QTest::newRow("negative") << QChar(u'.') << QStringLiteral("-1") << false << false << 0.0;
        QTest::newRow("two separators") << QChar(u'.') << QStringLiteral("1.2.3") << false << false << 0.0;
        QTest::newRow("text") << QChar(u'.') << QStringLiteral("ხუთი") << false << false << 0.0;
    }
    void numbers()
    {
        QFETCH(QChar, separator);
        QFETCH(QString, typed);
        QFETCH(bool, percentOk);
        QFETCH(bool, priceOk);
        QFETCH(double, value);
        Formats::setDecimalSeparator(separator);
        if (percentOk)
            QCOMPARE(AdminRules::servicePercent(typed), value);
        else
            QVERIFY(refused([&] { AdminRules::servicePercent(typed); }));
        if (priceOk)
            QCOMPARE(AdminRules::price(typed), value);
        else
            QVERIFY(refused([&] { AdminRules::price(typed); }));
    }

    void blankNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("spaces") << QStringLiteral("   ") << true;
        QTest::newRow("a tab") << QStringLiteral("\t") << true;
        QTest::newRow("a name") << QStringLiteral(" ნინო ") << false;
    }
    void blankNames()
    {
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        QCOMPARE(this->refused([&] { AdminRules::requireName(typed, QStringLiteral("სახელი გვარი")); }), refused);
    }

    void priority()
    {
        QVERIFY(AdminRules::priority(QString()).isNull());
        QVERIFY(AdminRules::priority(QStringLiteral("  ")).isNull());
        QCOMPARE(AdminRules::priority(QStringLiteral("7")).toInt(), 7);
        QVERIFY(refused([] { AdminRules::priority(QStringLiteral("1.5")); }));
        QVERIFY(refused([] { AdminRules::priority(QStringLiteral("ერთი")); }));
    }

    void lengths_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("letter");
        const QString georgian = QStringLiteral("ჭ");
        // One character outside the basic plane: two UTF-16 units, one character
        // for the engines and the writer.
        const QString emoji = QString::fromUcs4(U"\U0001F354", 1);
        // A waiter's own column is longer, but order lines copy his name into 50.
        QTest::newRow("waiter") << QStringLiteral("OFICIANTI") << QStringLiteral("Oficianti") << 50 << georgian;
        QTest::newRow("waiter, emoji") << QStringLiteral("OFICIANTI") << QStringLiteral("Oficianti") << 50 << emoji;
        QTest::newRow("item name") << QStringLiteral("kerdzebi") << QStringLiteral("Dasaxeleba") << 50 << georgian;
        QTest::newRow("item name, emoji") << QStringLiteral("kerdzebi") << QStringLiteral("Dasaxeleba") << 50 << emoji;
        QTest::newRow("item type") << QStringLiteral("kerdzebi") << QStringLiteral("tipi") << 50 << georgian;
    }
    void lengths()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(int, limit);
        QFETCH(QString, letter);
        const QByteArray t = table.toLatin1();
        const QByteArray c = column.toLatin1();
        const QString title = QStringLiteral("დასახელება");
        // Each character counts one, as the engines and the writer count them.
        AdminRules::requireFits(letter.repeated(limit), t.constData(), c.constData(), title);
        try {
            AdminRules::requireFits(letter.repeated(limit + 1), t.constData(), c.constData(), title);
            QFAIL("a text one longer than the column was accepted");
        } catch (const InputError& e) {
            QVERIFY(e.text().contains(title));
            QVERIFY(e.text().contains(QString::number(limit)));
        }
    }

    void supportProgramFound()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QTemporaryDir third;
        const QStringList folders{first.path(), second.path(), third.path()};
        QVERIFY(AdminRules::findSupportProgram(folders).isEmpty());
        QFile program(third.filePath(AdminRules::SupportProgram));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.close();
        QCOMPARE(AdminRules::findSupportProgram(folders), QFileInfo(program).absoluteFilePath());
        // A folder of that name is not the program.
        QVERIFY(QDir(second.path()).mkdir(AdminRules::SupportProgram));
        QCOMPARE(AdminRules::findSupportProgram(folders), QFileInfo(program).absoluteFilePath());
        // The search path comes first, the executable's folder last.
        const QStringList searched = AdminRules::supportSearchFolders();
        QCOMPARE(searched.last(), QCoreApplication::applicationDirPath());
        QVERIFY(AdminRules::supportMissingText().contains(AdminRules::SupportProgram));
    }
};

QTEST_MAIN(tst_adminrules)
#include "tst_adminrules.moc"
