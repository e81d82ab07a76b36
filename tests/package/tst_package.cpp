// The Debian package made from the built tree by CPack: its contents, the
// unpacked tools running, the dependencies a station needs, and lintian.
//
// The package is made from this build tree as it stands (in the test build a
// Debug build under the sanitizers) rather than from a second, Release build,
// which would double the suite's build time; the Release package a restaurant
// installs is made by the same CPack settings.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifndef KELVORA_BUILD_DIR
#error "KELVORA_BUILD_DIR must name the build tree"
#endif
#ifndef KELVORA_CPACK
#error "KELVORA_CPACK must name cpack"
#endif

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, const QString& workDir = QString(), int timeoutMs = 600000)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start();
    Run r;
    if (!p.waitForStarted()) {
        r.err = QStringLiteral("%1 did not start").arg(program);
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("%1 did not finish").arg(program);
        return r;
    }
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QString describe(const Run& r)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.exitCode).arg(r.out, r.err);
}

}  // namespace

class tst_package : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_deb;
    QString m_root;  // the package unpacked

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const Run made = run(QStringLiteral(KELVORA_CPACK),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                              QDir(QStringLiteral(KELVORA_BUILD_DIR)).filePath(QStringLiteral("CPackConfig.cmake")),
                              QStringLiteral("-B"), m_tmp.path()});
        QVERIFY2(made.exitCode == 0, qPrintable(describe(made)));
        const QStringList debs = QDir(m_tmp.path()).entryList({QStringLiteral("kelvora_*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = m_tmp.filePath(debs.first());
        m_root = m_tmp.filePath(QStringLiteral("root"));
        const Run unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
        QVERIFY2(unpacked.exitCode == 0, qPrintable(describe(unpacked)));
    }

    // The program's folder holds the executables and the templates it looks
    // for beside itself; /usr/bin has links into it.
    void contents_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("linksTo");  // empty: a plain file
        for (const char* exe : {"kelvora", "kelvora-db", "kelvora-fiscal-sim"}) {
            QTest::addRow("lib/%s", exe) << QStringLiteral("usr/lib/kelvora/%1").arg(QLatin1String(exe)) << QString();
            QTest::addRow("bin/%s", exe) << QStringLiteral("usr/bin/%1").arg(QLatin1String(exe))
                                         << QStringLiteral("../lib/kelvora/%1").arg(QLatin1String(exe));
        }
        QTest::newRow("bill template") << QStringLiteral("usr/lib/kelvora/P_fiscal_printer.xls") << QString();
        for (const char* report : {"R_realizacia", "R_migeba", "R_sawyobi", "R_konsignacia", "R_washlilebi"})
            QTest::addRow("%s", report) << QStringLiteral("usr/lib/kelvora/%1.xlsx").arg(QLatin1String(report))
                                        << QString();
        QTest::newRow("desktop entry") << QStringLiteral("usr/share/applications/kelvora.desktop") << QString();
        QTest::newRow("icon") << QStringLiteral("usr/share/icons/hicolor/scalable/apps/kelvora.svg") << QString();
        QTest::newRow("copyright") << QStringLiteral("usr/share/doc/kelvora/copyright") << QString();
        for (const char* tool : {"kelvora-db", "kelvora-fiscal-sim"})
            QTest::addRow("manual page %s", tool)
                << QStringLiteral("usr/share/man/man1/%1.1.gz").arg(QLatin1String(tool)) << QString();
    }

    void contents()
    {
        QFETCH(QString, path);
        QFETCH(QString, linksTo);
        const QFileInfo f(QDir(m_root).filePath(path));
        QVERIFY2(f.exists(), qPrintable(path));
        QCOMPARE(f.isSymLink(), !linksTo.isEmpty());
        if (!linksTo.isEmpty()) {
            QCOMPARE(QFile::symLinkTarget(f.filePath()),
                     QDir::cleanPath(QDir(f.absolutePath()).filePath(linksTo)));
        } else {
            QVERIFY2(f.size() > 0, qPrintable(path));
        }
    }

    void desktopEntry()
    {
        QFile f(QDir(m_root).filePath(QStringLiteral("usr/share/applications/kelvora.desktop")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        QVERIFY(lines.contains(QStringLiteral("Exec=kelvora")));
        QVERIFY(lines.contains(QStringLiteral("Icon=kelvora")));
        QVERIFY(lines.contains(QStringLiteral("Name=კელვორა")));
        QVERIFY(!lines.filter(QRegularExpression(QStringLiteral("^Comment=\\p{Georgian}"))).isEmpty());
        const Run valid = run(QStringLiteral("desktop-file-validate"), {f.fileName()});
        QVERIFY2(valid.exitCode == 0 && valid.out.trimmed().isEmpty(), qPrintable(describe(valid)));
    }

    // The unpacked tools run from their folder: help, and a database made and checked.
    void unpackedToolsRun()
    {
        const QString tool = QDir(m_root).filePath(QStringLiteral("usr/bin/kelvora-db"));
        Run r = run(tool, {QStringLiteral("--help")});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        for (const char* command : {"init", "demo", "check", "backup"})
            QVERIFY2(r.out.contains(QLatin1String(command)), command);

        const QString site = m_tmp.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(site));
        r = run(tool, {QStringLiteral("init")}, site);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = run(tool, {QStringLiteral("check")}, site);
        QVERIFY2(r.exitCode == 0 && r.out.startsWith(QLatin1String("reachable: SQLite")), qPrintable(describe(r)));

        r = run(QDir(m_root).filePath(QStringLiteral("usr/bin/kelvora-fiscal-sim")), {QStringLiteral("--help")});
        QVERIFY2(r.exitCode == 0 && r.out.contains(QLatin1String("--udl")), qPrintable(describe(r)));
    }

    // Every library the unpacked executables need is found as installed, the
    // office's companions of its UNO libraries too.
    void librariesFound()
    {
        for (const char* exe : {"kelvora", "kelvora-db", "kelvora-fiscal-sim"}) {
            const Run r = run(QStringLiteral("ldd"),
                              {QDir(m_root).filePath(QStringLiteral("usr/lib/kelvora/%1").arg(QLatin1String(exe)))});
            QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
            QVERIFY2(!r.out.contains(QLatin1String("not found")), qPrintable(exe + QStringLiteral(":\n") + r.out));
        }
    }

    void dependencies()
    {
        const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QStringList names;
        for (const QString& alternative : r.out.trimmed().split(QRegularExpression(QStringLiteral("[,|]"))))
            names << alternative.trimmed().section(u' ', 0, 0);
        for (const char* needed : {"libqt6widgets6", "libqt6sql6", "libqt6sql6-sqlite", "libqt6sql6-psql",
                                   "qt6-qpa-plugins", "fonts-noto-core", "libreoffice-calc", "libpq5",
                                   "libsqlite3-0"})
            QVERIFY2(names.contains(QLatin1String(needed)), qPrintable(needed + QStringLiteral(" in ") + r.out));
    }

    // The manual pages are the tools' --help: each names every option its tool has.
    void manualPages_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("kelvora-db") << QStringLiteral("kelvora-db")
                                    << QStringList{QStringLiteral("--engine"), QStringLiteral("--tables"),
                                                   QStringLiteral("--establishment"), QStringLiteral("--to")};
        QTest::newRow("kelvora-fiscal-sim")
            << QStringLiteral("kelvora-fiscal-sim")
            << QStringList{QStringLiteral("--udl"), QStringLiteral("--journal"), QStringLiteral("--garbled")};
    }

    void manualPages()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, options);
        const Run r = run(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"),
                                                  QStringLiteral("-Tutf8"),
                                                  QDir(m_root).filePath(QStringLiteral("usr/share/man/man1/%1.1.gz").arg(tool))});
        QVERIFY2(r.exitCode == 0 && r.err.trimmed().isEmpty(), qPrintable(describe(r)));
        // man -Tutf8 overstrikes bold; keep the letters only.
        QString page = r.out;
        page.remove(QRegularExpression(QStringLiteral(".\\x08")));
        QVERIFY2(page.contains(QStringLiteral("NAME")) && page.contains(QRegularExpression(QRegularExpression::escape(tool) + QStringLiteral("\\s+-\\s+"))), qPrintable(page));
        for (const QString& option : options)
            QVERIFY2(page.contains(option), qPrintable(option + QStringLiteral(" in\n") + page));
    }

    void lintianFindsNoError()
    {
        const Run r = run(QStringLiteral("lintian"), {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), m_deb});
        QVERIFY2(r.exitCode >= 0, qPrintable(describe(r)));
        const QStringList lines = (r.out + r.err).split(u'\n', Qt::SkipEmptyParts);
        const QStringList errors = lines.filter(QRegularExpression(QStringLiteral("^E: ")));
        for (const QString& w : lines.filter(QRegularExpression(QStringLiteral("^W: "))))
            qInfo("%s", qPrintable(w));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        const QStringList noPage = lines.filter(QRegularExpression(QStringLiteral("no-manual-page.*kelvora-")));
        QVERIFY2(noPage.isEmpty(), qPrintable(noPage.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(tst_package)
#include "tst_package.moc"
