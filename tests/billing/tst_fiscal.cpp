#include "billing/dprint.h"
#include "billing/fiscalexchange.h"
#include "billing/fiscalwaitdialog.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace std::chrono_literals;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    QVERIFY(f.commit());
}

// The journal's lines, each split into time, amount and answer.
QList<QStringList> journalLines(const QString& path)
{
    QList<QStringList> lines;
    for (const QByteArray& line : readAll(path).split('\n'))
        if (!line.isEmpty())
            lines << QString::fromLatin1(line).split(u'\t');
    return lines;
}

const QByteArray SaleLine = "S,1,______,_,__;Dasaxeleba;";
const QByteArray SaleTail = ";1.000;1;1;1;0;0;\r\n";
const QByteArray TotalLine = "T,1,______,_,__;\r\n";

// Ways an exchange cannot begin.
enum class Unwritable { AnswerNotRemovable,
                        CommandFolderIsAFile,
                        NoSuchFolder,
                        NoPathsSet };

}  // namespace

// The fiscal printer exchange against the driver simulator running as its own
// process, on real files in a temporary folder.
class tst_fiscal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FiscalExchange::Paths m_paths;
    QString m_journal;
    std::vector<std::unique_ptr<QProcess>> m_drivers;

    // Starts the simulator on the test's files and waits until it watches.
    QProcess* startDriver(const QStringList& extra, bool withPaths = true)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->setReadChannel(QProcess::StandardOutput);
        QStringList args = extra;
        if (withPaths)
            args << QStringLiteral("--command") << m_paths.command << QStringLiteral("--answer") << m_paths.answer;
        args << QStringLiteral("--journal") << m_journal;
        p->start(QStringLiteral(KELVORA_FISCAL_SIM), args);
        if (!p->waitForStarted(10000))
            return nullptr;
        QByteArray out;
        while (!out.contains("watching")) {
            if (!p->waitForReadyRead(20000)) {
                qWarning() << "simulator did not start:" << p->readAllStandardError();
                return nullptr;
            }
            out += p->readAllStandardOutput();
        }
        m_drivers.push_back(std::move(p));
        return m_drivers.back().get();
    }

    // A simulator started with --once ends by itself after its exchange.
    static bool endedCleanly(QProcess* p)
    {
        // waitForFinished() is false for a process already seen to end.
        if (p->state() != QProcess::NotRunning && !p->waitForFinished(10000))
            return false;
        return p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
        m_paths = {m_dir.filePath(QStringLiteral("command.txt")), m_dir.filePath(QStringLiteral("answer.txt"))};
        m_journal = m_dir.filePath(QStringLiteral("journal.txt"));
    }

    void cleanup()
    {
        TestSupport::resetGlobals();
        for (auto& p : m_drivers) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();  // SIGTERM: the simulator ends cleanly
                QVERIFY(p->waitForFinished(5000));
                QCOMPARE(p->exitStatus(), QProcess::NormalExit);
                QCOMPARE(p->exitCode(), 0);
            }
        }
        m_drivers.clear();
    }

    void correctnum_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("a half cent rounds up") << 0.125 << "0.13";
        QTest::newRow("whole number") << 7.0 << "7.00";
        QTest::newRow("zero") << 0.0 << "0.00";
        QTest::newRow("negative zero") << -0.0 << "0.00";
        QTest::newRow("negative") << -2.5 << "-2.50";
        QTest::newRow("one decimal") << 12.5 << "12.50";
        QTest::newRow("no thousands separator") << 1234567.891 << "1234567.89";
        QTest::newRow("half a cent") << 0.005 << "0.01";
        QTest::newRow("minus half a cent, away from zero") << -0.005 << "-0.01";
        // The amount registered is the bill's: its four-decimal total rounded to cents.
        QTest::newRow("0.00499 is 0.0050 on the bill") << 0.00499 << "0.01";
        QTest::newRow("0.00495 is 0.0050 on the bill") << 0.00495 << "0.01";
        QTest::newRow("10.0049999 is 10.0050 on the bill") << 10.0049999 << "10.01";
        QTest::newRow("under half a cent on the bill") << 0.00494 << "0.00";
        QTest::newRow("negative rounding to nothing has no sign") << -0.004 << "0.00";
        // Below each of these the double lies a little under the half: the decimal
        // amount rounds, not its binary expansion.
        QTest::newRow("1.005") << 1.005 << "1.01";
        QTest::newRow("2.675") << 2.675 << "2.68";
        QTest::newRow("carry into the units") << 9.995 << "10.00";
        QTest::newRow("negative carry") << -9.995 << "-10.00";
        QTest::newRow("carry into a new digit") << 999.999 << "1000.00";
        QTest::newRow("a sum of doubles") << 0.1 + 0.2 << "0.30";
        QTest::newRow("large amount keeps its cents") << 123456789012.345 << "123456789012.35";
    }

    void correctnum()
    {
        QFETCH(double, amount);
        QFETCH(QString, text);
        for (QChar separator : {u'.', u','}) {
            Formats::setDecimalSeparator(separator);
            QCOMPARE(FiscalExchange::correctnum(amount), text);
        }
    }

    void resultCode_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("code");
        QTest::newRow("success") << QByteArray("FISCAL;RESULT00;RECEIPT 000001\r\n") << "00";
        QTest::newRow("another code") << QByteArray("FISCAL;RESULT17;RECEIPT 000001\r\n") << "17";
        QTest::newRow("exactly fifteen characters") << QByteArray("ABCDEFGHIJKLM00") << "00";
        QTest::newRow("whatever stands around it") << QByteArray("0000000000000000;\r\nxx") << "00";
        QTest::newRow("fourteen characters") << QByteArray("FISCAL;RESULT0") << "0";
        QTest::newRow("fourteen characters and a line break") << QByteArray("FISCAL;RESULT0\r\n") << "0";
        QTest::newRow("thirteen characters") << QByteArray("FISCAL;RESULT") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("lines joined by CR LF") << QByteArray("ABCDEFGHIJK\r\n00") << "00";
        QTest::newRow("a LF line end counts as CR LF") << QByteArray("ABCDEFGHIJK\n00") << "00";
        QTest::newRow("a CR line end counts as CR LF") << QByteArray("ABCDEFGHIJK\r00") << "00";
        QTest::newRow("a code across the line break") << QByteArray("ABCDEFGHIJKLM\r\n00") << "\r\n";
        QTest::newRow("an empty first line") << QByteArray("\nABCDEFGHIJK00") << "00";
        // One character per byte, whatever the bytes are.
        QTest::newRow("non-ASCII bytes count one each") << QByteArray("\xc3\xa9\x42\x43\x44\x45\x46\x47\x48\x49\x4a"
                                                                      "\x4b\x4c"
                                                                      "00")
                                                        << "00";
        QTest::newRow("NUL bytes") << QByteArray(13, '\0') + "00"
                                   << "00";
    }

    void resultCode()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, code);
        QCOMPARE(FiscalExchange::resultCode(answer), code);
    }

    // The command file as the driver finds it (no driver runs here).
    void commandFile_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QByteArray>("price");
        QTest::newRow("12.5") << 12.5 << QChar(u'.') << QByteArray("12.50");
        QTest::newRow("12.5, comma separator") << 12.5 << QChar(u',') << QByteArray("12.50");
        QTest::newRow("zero") << 0.0 << QChar(u'.') << QByteArray("0.00");
        QTest::newRow("negative, comma separator") << -2.5 << QChar(u',') << QByteArray("-2.50");
        QTest::newRow("large, comma separator") << 1234567.891 << QChar(u',') << QByteArray("1234567.89");
    }

    void commandFile()
    {
        QFETCH(double, amount);
        QFETCH(QChar, separator);
        QFETCH(QByteArray, price);
        Formats::setDecimalSeparator(separator);
        writeFile(m_paths.answer, "FISCAL;RESULT00;from an earlier exchange\r\n");

        // Looks at the command file while the exchange waits, as a driver would,
        // without taking it.
        QByteArray seen;
        QStringList filesSeen;
        QTimer watcher;
        watcher.setInterval(5);
        connect(&watcher, &QTimer::timeout, this, [&] {
            if (seen.isEmpty()) {
                seen = readAll(m_paths.command);
                filesSeen = QDir(m_dir.path()).entryList(QDir::Files);
            }
        });
        watcher.start();
        FiscalExchange exchange(FiscalExchange::Timing{50ms, 3});
        QString status;
        QVERIFY(!exchange.exchange(m_paths, amount, status));
        watcher.stop();
        QCOMPARE(status, QStringLiteral("off"));
        QVERIFY(FiscalExchange::certainlyNotRegistered(status));
        QCOMPARE(exchange.checksMade(), 3);

        QCOMPARE(seen, SaleLine + price + SaleTail + TotalLine);
        // The old answer went before the command was written; the command came by
        // rename, leaving no temporary file behind.
        QCOMPARE(filesSeen, QStringList{QStringLiteral("command.txt")});
        // Never taken, it was withdrawn: nothing is left for the driver.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
    }

    void exchangeWithDriver_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QStringList>("driverOptions");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("registered");  // the amount in the journal
        QTest::addColumn<QString>("answered");    // the answer in the journal

        const QStringList none;
        QTest::newRow("accepted") << 12.5 << QChar(u'.') << none << true << "00"
                                  << "12.50"
                                  << "00";
        QTest::newRow("comma separator still sends a point")
            << 12.5 << QChar(u',') << none << true << "00"
            << "12.50"
            << "00";
        QTest::newRow("zero") << 0.0 << QChar(u'.') << none << true << "00"
                              << "0.00"
                              << "00";
        QTest::newRow("negative") << -2.5 << QChar(u',') << none << true << "00"
                                  << "-2.50"
                                  << "00";
        QTest::newRow("half a cent rounds up") << 0.125 << QChar(u'.') << none << true << "00"
                                               << "0.13"
                                               << "00";
        QTest::newRow("refused with the driver's code")
            << 7.0 << QChar(u'.') << QStringList{"--code", "17"} << false << "17"
            << "7.00"
            << "17";
        QTest::newRow("a code of letters") << 7.0 << QChar(u'.') << QStringList{"--code", "E3"} << false << "E3"
                                           << "7.00"
                                           << "E3";
        QTest::newRow("short answer") << 7.0 << QChar(u'.') << QStringList{"--short"} << false << "0"
                                      << "7.00"
                                      << "short";
        QTest::newRow("answer written in two pieces 300 ms apart")
            << 7.0 << QChar(u'.') << QStringList{"--split", "300"} << true << "00"
            << "7.00"
            << "00";
        QTest::newRow("refusal written in two pieces")
            << 7.0 << QChar(u'.') << QStringList{"--split", "300", "--code", "17"} << false << "17"
            << "7.00"
            << "17";
    }

    void exchangeWithDriver()
    {
        QFETCH(double, amount);
        QFETCH(QChar, separator);
        QFETCH(QStringList, driverOptions);
        QFETCH(bool, result);
        QFETCH(QString, status);
        QFETCH(QString, registered);
        QFETCH(QString, answered);
        Formats::setDecimalSeparator(separator);
        QProcess* driver = startDriver(driverOptions + QStringList{QStringLiteral("--once")});
        QVERIFY(driver);

        FiscalExchange exchange(FiscalExchange::Timing{20ms, 250});
        QString got;
        QCOMPARE(exchange.exchange(m_paths, amount, got), result);
        QCOMPARE(got, status);
        QVERIFY(endedCleanly(driver));

        const QList<QStringList> journal = journalLines(m_journal);
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].size(), 3);
        QCOMPARE(journal[0][1], registered);
        QCOMPARE(journal[0][2], answered);
        // The driver took the command; the answer stays until the next exchange.
        QVERIFY(!QFile::exists(m_paths.command));
        QVERIFY(QFile::exists(m_paths.answer));
    }

    void garbledAnswerIsNoSuccess()
    {
        QProcess* driver = startDriver({QStringLiteral("--garbled"), QStringLiteral("--once")});
        QVERIFY(driver);
        FiscalExchange exchange(FiscalExchange::Timing{20ms, 250});
        QString status;
        QVERIFY(!exchange.exchange(m_paths, 3.2, status));
        QVERIFY(endedCleanly(driver));
        QCOMPARE(status.size(), 2);
        QVERIFY(status != QLatin1String("00"));
        QCOMPARE(readAll(m_paths.answer).size(), 48);
    }

    // The simulator stands for the real driver only if it refuses what the real
    // one would: every malformed command is answered with 01.
    void driverRefusesMalformedCommand_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("LF line ends") << QByteArray(
            "S,1,______,_,__;Dasaxeleba;12.50;1.000;1;1;1;0;0;\nT,1,______,_,__;\n");
        QTest::newRow("comma in the price") << SaleLine + "12,50" + SaleTail + TotalLine;
        QTest::newRow("three decimals") << SaleLine + "12.500" + SaleTail + TotalLine;
        QTest::newRow("one decimal") << SaleLine + "12.5" + SaleTail + TotalLine;
        QTest::newRow("grouped thousands") << SaleLine + "1,234.50" + SaleTail + TotalLine;
        QTest::newRow("no total line") << SaleLine + "12.50" + SaleTail;
        QTest::newRow("a line too many") << SaleLine + "12.50" + SaleTail + TotalLine + "\r\n";
        QTest::newRow("five underscores") << QByteArray("S,1,_____,_,__;Dasaxeleba;12.50") + SaleTail + TotalLine;
    }

    void driverRefusesMalformedCommand()
    {
        QFETCH(QByteArray, command);
        QProcess* driver = startDriver({QStringLiteral("--once")});
        QVERIFY(driver);
        writeFile(m_paths.command, command);
        QVERIFY(endedCleanly(driver));
        QVERIFY(!QFile::exists(m_paths.command));
        QCOMPARE(FiscalExchange::resultCode(readAll(m_paths.answer)), QStringLiteral("01"));
        const QList<QStringList> journal = journalLines(m_journal);
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].value(1), QStringLiteral("-"));
    }

    void leftCommandBlocksTheExchange()
    {
        const QByteArray left = SaleLine + "5.00" + SaleTail + TotalLine;
        const QByteArray oldAnswer = "FISCAL;RESULT00;RECEIPT 000007;SUM 5.00\r\n";
        writeFile(m_paths.command, left);
        writeFile(m_paths.answer, oldAnswer);

        FiscalExchange exchange(FiscalExchange::Timing{20ms, 250});
        QString status;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!exchange.exchange(m_paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("oldfile"));
        QCOMPARE(exchange.checksMade(), 0);
        QVERIFY(clock.elapsed() < 1000);
        // Nothing written, nothing deleted.
        QCOMPARE(readAll(m_paths.command), left);
        QCOMPARE(readAll(m_paths.answer), oldAnswer);
    }

    void answerInTimeForTheLastCheckIsRead()
    {
        // Checks at 0, 0.1, ... 3.9 s; the answer comes between the 39th and the 40th.
        QProcess* driver = startDriver({QStringLiteral("--delay"), QStringLiteral("3850"), QStringLiteral("--once")});
        QVERIFY(driver);
        FiscalExchange exchange(FiscalExchange::Timing{100ms, 40});
        QString status;
        QVERIFY(exchange.exchange(m_paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("00"));
        QCOMPARE(exchange.checksMade(), 40);
        QVERIFY(endedCleanly(driver));
    }

    // A driver that took the command and answers after the wait: that sale's
    // outcome is unknown, and its late answer is never read as the next sale's.
    void lateAnswerIsNotTakenForTheNextSale()
    {
        QProcess* late = startDriver({QStringLiteral("--delay"), QStringLiteral("2500"), QStringLiteral("--once")});
        QVERIFY(late);
        FiscalExchange exchange(FiscalExchange::Timing{100ms, 20});
        QString status;
        QVERIFY(!exchange.exchange(m_paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("unknown"));
        QVERIFY(!FiscalExchange::certainlyNotRegistered(status));
        QCOMPARE(exchange.checksMade(), 20);

        // The next sale's command waits with no driver to take it; the late "00"
        // arrives meanwhile.
        QElapsedTimer clock;
        clock.start();
        FiscalExchange next(FiscalExchange::Timing{100ms, 30});
        QVERIFY(!next.exchange(m_paths, 3.0, status));
        QVERIFY2(clock.elapsed() >= 2900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(status, QStringLiteral("off"));
        QVERIFY(endedCleanly(late));
        const QList<QStringList> journal = journalLines(m_journal);
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].value(1), QStringLiteral("12.50"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("journal.txt")});
    }

    // A driver that never takes the command: it is withdrawn when the wait ends,
    // so a driver that starts afterwards registers nothing.
    void untakenCommandIsWithdrawn()
    {
        FiscalExchange exchange(FiscalExchange::Timing{50ms, 5});
        QString status;
        QVERIFY(!exchange.exchange(m_paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("off"));
        QVERIFY(!QFileInfo::exists(m_paths.command));

        QVERIFY(startDriver({}));
        QTest::qWait(10 * 50);  // ten of the driver's polls
        QCOMPARE(journalLines(m_journal), QList<QStringList>());
        QVERIFY(!QFileInfo::exists(m_paths.answer));
    }

    // The driver took the command, but its answer was still growing when the
    // wait ended: it may have registered the sale.
    void answerStillGrowingAtTheEndIsUnknown()
    {
        QProcess* driver = startDriver({QStringLiteral("--trickle"), QStringLiteral("100"), QStringLiteral("--once")});
        QVERIFY(driver);
        // The wait ends at 400 ms (the last check at 100 ms, then 300 ms to
        // settle); the result code is written after about 1.5 s.
        FiscalExchange exchange(FiscalExchange::Timing{50ms, 3, 300ms});
        QString status;
        QVERIFY(!exchange.exchange(m_paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("unknown"));
        QVERIFY(endedCleanly(driver));
        QCOMPARE(journalLines(m_journal).size(), 1);
        QCOMPARE(FiscalExchange::resultCode(readAll(m_paths.answer)), QStringLiteral("00"));
    }

    // The result code stands at characters 14 and 15 and cannot change once
    // written: the answer is read as soon as it holds them, while the driver is
    // still writing the rest.
    void answerIsReadOnceItsCodeIsThere()
    {
        QProcess* driver = startDriver({QStringLiteral("--trickle"), QStringLiteral("100"), QStringLiteral("--once")});
        QVERIFY(driver);
        FiscalExchange exchange(FiscalExchange::Timing{200ms, 40});
        QString status;
        QVERIFY(exchange.exchange(m_paths, 12.5, status));
        const qsizetype seen = readAll(m_paths.answer).size();
        QCOMPARE(status, QStringLiteral("00"));
        QVERIFY(endedCleanly(driver));
        const qsizetype whole = readAll(m_paths.answer).size();
        QVERIFY2(seen >= 15 && seen < whole, qPrintable(QStringLiteral("%1 of %2").arg(seen).arg(whole)));
        QCOMPARE(journalLines(m_journal).size(), 1);
    }

    // Waits so short that the driver's polls keep meeting the end of the wait,
    // when the command is withdrawn: whatever the order, a sale reported "off" is
    // never registered and one reported "00" is registered once.
    void withdrawalRacesTheDriver()
    {
        QProcess* driver = startDriver({});
        QVERIFY(driver);
        FiscalExchange exchange(FiscalExchange::Timing{10ms, 3, 20ms});
        QMap<QString, QString> outcomes;  // amount -> status
        for (int i = 1; i <= 150; ++i) {
            const double amount = i;
            QString status;
            exchange.exchange(m_paths, amount, status);
            QVERIFY2(status != QLatin1String("oldfile") && status != QLatin1String("failed"), qPrintable(status));
            outcomes[FiscalExchange::correctnum(amount)] = status;
        }
        QTest::qWait(500);  // answers still on their way
        QStringList registered;
        for (const QStringList& line : journalLines(m_journal))
            registered << line.value(1);
        QCOMPARE(driver->state(), QProcess::Running);
        QMap<QString, int> seen;
        for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
            const int times = int(registered.count(it.key()));
            seen[it.value()] += 1;
            if (it.value() == QLatin1String("off"))
                QVERIFY2(times == 0, qPrintable(it.key()));
            else if (it.value() == QLatin1String("00"))
                QVERIFY2(times == 1, qPrintable(it.key()));
            else
                QVERIFY2(it.value() == QLatin1String("unknown") && times <= 1, qPrintable(it.key() + it.value()));
        }
        qInfo() << seen;
        QVERIFY(seen.value(QStringLiteral("off")) > 0);
        QVERIFY(seen.value(QStringLiteral("00")) + seen.value(QStringLiteral("unknown")) > 0);
    }

    // A step that fails before the wait ends the exchange at once, with an old
    // success answer in place where there can be one, and leaves no command.
    void failedStepEndsTheExchange_data()
    {
        QTest::addColumn<int>("fixture");
        QTest::newRow("old answer cannot be removed") << int(Unwritable::AnswerNotRemovable);
        QTest::newRow("command folder is a file") << int(Unwritable::CommandFolderIsAFile);
        QTest::newRow("no such folder") << int(Unwritable::NoSuchFolder);
        QTest::newRow("no paths in the settings row") << int(Unwritable::NoPathsSet);
    }

    void failedStepEndsTheExchange()
    {
        QFETCH(int, fixture);
        const QString plain = m_dir.filePath(QStringLiteral("plain"));
        FiscalExchange::Paths paths = m_paths;
        QTemporaryDir other;
        QProcess holder;
        const auto stopHolder = qScopeGuard([&holder] {
            holder.kill();
            holder.waitForFinished(5000);
        });
        switch (Unwritable(fixture)) {
        case Unwritable::AnswerNotRemovable: {
            // /proc/PID/comm cannot be removed, even by root, and reads as the
            // process's name: a process named like an earlier success answer.
            const QString name = other.filePath(QStringLiteral("FISCAL;RESULT00"));
            QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("sleep")), name));
            holder.start(name, {QStringLiteral("60")});
            QVERIFY(holder.waitForStarted(10000));
            paths.answer = QStringLiteral("/proc/%1/comm").arg(holder.processId());
            QCOMPARE(FiscalExchange::resultCode(readAll(paths.answer)), QStringLiteral("00"));
            break;
        }
        case Unwritable::CommandFolderIsAFile:
            writeFile(plain, "not a folder");
            writeFile(paths.answer, "FISCAL;RESULT00;from an earlier exchange\r\n");
            paths.command = plain + QStringLiteral("/command.txt");
            break;
        case Unwritable::NoSuchFolder:
            paths.command = m_dir.filePath(QStringLiteral("no-such-folder/command.txt"));
            paths.answer = m_dir.filePath(QStringLiteral("no-such-folder/answer.txt"));
            break;
        case Unwritable::NoPathsSet:
            paths = {};
            break;
        }

        FiscalExchange exchange(FiscalExchange::Timing{50ms, 20});
        QString status;
        QVERIFY(!exchange.exchange(paths, 12.5, status));
        QCOMPARE(status, QStringLiteral("failed"));
        QVERIFY(FiscalExchange::certainlyNotRegistered(status));
        QCOMPARE(exchange.checksMade(), 0);
        QVERIFY(!QFileInfo::exists(paths.command));
        // Nothing in the folder the driver watches, no temporary file either.
        QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
        left.removeAll(QStringLiteral("plain"));
        QCOMPARE(left, QStringList());
    }

    // The order window's DPrint: paths from the settings row, the program's timing.
    void dprintThroughTheSettingsRow_data() { TestDb::addEngineRows(); }

    void dprintThroughTheSettingsRow()
    {
        QFETCH(int, engine);
        Setup::Settings settings;
        settings.commandPath = m_paths.command;
        settings.answerPath = m_paths.answer;
        TestDb db(Engine(engine), settings);
        // The simulator reads the same paths through the data link file.
        QProcess* driver = startDriver({QStringLiteral("--udl"), db.udlPath(), QStringLiteral("--once")}, false);
        QVERIFY(driver);

        TDM dm;
        QVERIFY(!dm.setting->isOpen());
        QString status;
        QVERIFY(DPrint(dm, 12.5, status));
        QCOMPARE(status, QStringLiteral("00"));
        QVERIFY(dm.setting->isOpen());
        QVERIFY(endedCleanly(driver));
        const QList<QStringList> journal = journalLines(m_journal);
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].value(1), QStringLiteral("12.50"));
        QCOMPARE(journal[0].value(2), QStringLiteral("00"));

        // The driver has not taken this one: the next exchange is refused.
        writeFile(m_paths.command, SaleLine + "1.00" + SaleTail + TotalLine);
        QVERIFY(!DPrint(dm, 3.0, status));
        QCOMPARE(status, QStringLiteral("oldfile"));
    }

    // The program's own timing, once at full length: 40 checks 500 ms apart. The
    // driver took the command and never answered: it may have registered it.
    void takenButNeverAnsweredIsUnknownAfterTwentySeconds()
    {
        QProcess* driver = startDriver({QStringLiteral("--no-answer"), QStringLiteral("--once")});
        QVERIFY(driver);
        FiscalExchange exchange;
        QString status;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!exchange.exchange(m_paths, 12.5, status));
        const qint64 took = clock.elapsed();
        QCOMPARE(status, QStringLiteral("unknown"));
        QCOMPARE(exchange.checksMade(), 40);
        QVERIFY2(took >= 19500 && took < 21000, qPrintable(QString::number(took)));
        QVERIFY(endedCleanly(driver));
        QVERIFY(!QFile::exists(m_paths.command));
        QVERIFY(!QFile::exists(m_paths.answer));
        QCOMPARE(journalLines(m_journal).value(0).value(2), QStringLiteral("none"));
    }

    void waitIndicator_data()
    {
        QTest::addColumn<bool>("windowShown");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("indicatorExpected");
        QTest::newRow("over a visible window") << true << false << true;
        QTest::newRow("hidden on request") << true << true << false;
        QTest::newRow("no visible window") << false << false << false;
    }

    void waitIndicator()
    {
        QFETCH(bool, windowShown);
        QFETCH(bool, hidden);
        QFETCH(bool, indicatorExpected);
        QWidget window;
        window.resize(400, 300);
        if (windowShown) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        QProcess* driver = startDriver({QStringLiteral("--delay"), QStringLiteral("1000"), QStringLiteral("--once")});
        QVERIFY(driver);

        // Looks at the screen every 100 ms while the exchange waits.
        struct Sample
        {
            bool visible;
            bool applicationModal;
            bool activeModal;
            QString text;
        };
        QList<Sample> samples;
        bool escapePressed = false;
        QTimer sampler;
        sampler.setInterval(100);
        connect(&sampler, &QTimer::timeout, this, [&] {
            auto* dialog = window.findChild<FiscalWaitDialog*>();
            if (!dialog) {
                samples << Sample{false, false, false, {}};
                return;
            }
            samples << Sample{dialog->isVisible(), dialog->windowModality() == Qt::ApplicationModal,
                              QApplication::activeModalWidget() == dialog, dialog->Label1->text()};
            if (!escapePressed) {
                // Neither Escape nor closing ends the wait.
                QTest::keyClick(dialog, Qt::Key_Escape);
                dialog->close();
                escapePressed = true;
            }
        });
        sampler.start();

        FiscalExchange exchange(FiscalExchange::Timing{200ms, 10},
                                hidden ? FiscalExchange::Indicator::Hidden : FiscalExchange::Indicator::Automatic);
        exchange.setWindow(&window);
        QString status;
        QVERIFY(exchange.exchange(m_paths, 12.5, status));
        sampler.stop();
        QCOMPARE(status, QStringLiteral("00"));
        QVERIFY(endedCleanly(driver));

        // The event loop ran all along: the window never froze.
        QVERIFY2(samples.size() >= 5, qPrintable(QString::number(samples.size())));
        QVERIFY(!window.findChild<FiscalWaitDialog*>());
        if (!indicatorExpected) {
            for (const Sample& s : samples)
                QVERIFY(!s.visible);
            return;
        }
        const QRegularExpression pattern(QStringLiteral("^ფისკალური პრინტერის პასუხს ველოდები… (\\d+) წმ$"));
        int previous = 2;  // at most 1.8 s left after the first check
        for (const Sample& s : samples) {
            QVERIFY(s.visible);
            QVERIFY(s.applicationModal);
            QVERIFY(s.activeModal);
            const QRegularExpressionMatch m = pattern.match(s.text);
            QVERIFY2(m.hasMatch(), qPrintable(s.text));
            const int seconds = m.captured(1).toInt();
            QVERIFY(seconds >= 1 && seconds <= previous);
            previous = seconds;
        }
    }
};

QTEST_MAIN(tst_fiscal)
#include "tst_fiscal.moc"
