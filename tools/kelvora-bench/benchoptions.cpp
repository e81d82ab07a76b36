#include "tools/kelvora-bench/benchoptions.h"
#include "tools/kelvora-bench/operations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

QString engineName(Engine engine)
{
    return engine == Engine::PostgreSQL ? QStringLiteral("postgres") : QStringLiteral("sqlite");
}

namespace {

[[noreturn]] void fail(const QString& text)
{
    std::fprintf(stderr, "kelvora-bench: %s\n", qPrintable(text));
    std::exit(2);
}

std::vector<Engine> parseEngines(const QString& text)
{
    if (text == QLatin1String("sqlite"))
        return {Engine::SQLite};
    if (text == QLatin1String("postgres") || text == QLatin1String("postgresql"))
        return {Engine::PostgreSQL};
    if (text == QLatin1String("both"))
        return {Engine::SQLite, Engine::PostgreSQL};
    fail(QStringLiteral("unknown engine \"%1\" (sqlite, postgres or both)").arg(text));
}

}  // namespace

BenchOptions BenchOptions::parse(const QCoreApplication& app)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Generates a sales history through the data layer and times the heavy screens' queries "
        "against the bare engine."));
    p.addHelpOption();
    const QCommandLineOption engine({QStringLiteral("e"), QStringLiteral("engine")},
                                    QStringLiteral("sqlite, postgres or both (default sqlite)."),
                                    QStringLiteral("engine"), QStringLiteral("sqlite"));
    const QCommandLineOption lines(QStringLiteral("lines"),
                                   QStringLiteral("Order lines in the history (default 2000000)."),
                                   QStringLiteral("n"), QStringLiteral("2000000"));
    const QCommandLineOption small(QStringLiteral("small"),
                                   QStringLiteral("A quick run on 50000 order lines."));
    const QCommandLineOption folder(QStringLiteral("dir"),
                                    QStringLiteral("Folder for the SQLite file and the data link files "
                                                   "(default: kelvora-bench in the temporary folder)."),
                                    QStringLiteral("folder"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Keep the generated databases after the run."));
    const QCommandLineOption reuse(QStringLiteral("reuse"),
                                   QStringLiteral("Reuse a complete database of the same size if one is "
                                                  "there (implies --keep)."));
    const QCommandLineOption generateOnly(QStringLiteral("generate-only"),
                                          QStringLiteral("Only make the databases."));
    const QCommandLineOption viaDataLayer(
        QStringLiteral("via-data-layer"),
        QStringLiteral("Write every history row through the named queries' insert and post (slow)."));
    const QCommandLineOption runs(QStringLiteral("runs"),
                                  QStringLiteral("Timed runs per operation; the median is shown (default 5)."),
                                  QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption warmups(QStringLiteral("warmups"),
                                     QStringLiteral("Untimed runs before the timed ones (default 1)."),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption inProcess(
        QStringLiteral("in-process"),
        QStringLiteral("Run the operations in this process; the peak memory then accumulates."));
    const QCommandLineOption qtReader(
        QStringLiteral("qt-reader"),
        QStringLiteral("Read every query's rows through Qt's driver, not the engine's client library."));
    const QCommandLineOption rtt(
        QStringLiteral("rtt"),
        QStringLiteral("PostgreSQL: time the writing actions once more through a delaying proxy of this round "
                       "trip (ms); their statements are counted through it in any case."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption only(QStringLiteral("only"),
                                  QStringLiteral("Comma-separated operations to run (see --list)."),
                                  QStringLiteral("names"));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("List the operations and exit."));
    const QCommandLineOption pgHost(QStringLiteral("pg-host"),
                                    QStringLiteral("PostgreSQL host (default $KELVORA_TEST_PGHOST)."),
                                    QStringLiteral("host"));
    const QCommandLineOption pgPort(QStringLiteral("pg-port"),
                                    QStringLiteral("PostgreSQL port (default $KELVORA_TEST_PGPORT or 5432)."),
                                    QStringLiteral("port"));
    const QCommandLineOption pgUser(QStringLiteral("pg-user"),
                                    QStringLiteral("PostgreSQL user (default $KELVORA_TEST_PGUSER)."),
                                    QStringLiteral("user"));
    const QCommandLineOption pgPassword(QStringLiteral("pg-password"), QStringLiteral("PostgreSQL password."),
                                        QStringLiteral("password"));
    const QCommandLineOption pgDatabase(QStringLiteral("pg-database"),
                                        QStringLiteral("PostgreSQL database to make (default kelvora_bench_<lines>)."),
                                        QStringLiteral("name"));
    // The parent runs each operation in a child process of its own, so that the
    // child's peak memory belongs to that operation alone.
    QCommandLineOption child(QStringLiteral("child"), QStringLiteral("internal"), QStringLiteral("op"));
    child.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption childEngine(QStringLiteral("child-engine"), QStringLiteral("internal"),
                                   QStringLiteral("engine"));
    childEngine.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOptions({engine, lines, small, folder, keep, reuse, generateOnly, viaDataLayer, runs, warmups,
                  inProcess, qtReader, rtt, only, list, pgHost, pgPort, pgUser, pgPassword, pgDatabase, child,
                  childEngine});
    p.process(app);

    if (p.isSet(list)) {
        for (const Operation& op : operations())
            std::printf("%-18s %s\n", op.name, op.title);
        std::exit(0);
    }

    BenchOptions o;
    o.engines = parseEngines(p.value(engine));
    bool ok = false;
    o.lines = p.isSet(small) ? 50000 : p.value(lines).toLongLong(&ok);
    if (!p.isSet(small) && (!ok || o.lines < 1000))
        fail(QStringLiteral("--lines wants a number of at least 1000"));
    o.folder = p.isSet(folder) ? QDir(p.value(folder)).absolutePath()
                               : QDir(QDir::tempPath()).absoluteFilePath(QStringLiteral("kelvora-bench"));
    o.reuse = p.isSet(reuse);
    o.keep = p.isSet(keep) || o.reuse;
    o.generateOnly = p.isSet(generateOnly);
    o.viaDataLayer = p.isSet(viaDataLayer);
    o.runs = p.value(runs).toInt(&ok);
    if (!ok || o.runs < 1)
        fail(QStringLiteral("--runs wants a positive number"));
    o.warmups = p.value(warmups).toInt(&ok);
    if (!ok || o.warmups < 0)
        fail(QStringLiteral("--warmups wants a number"));
    o.inProcess = p.isSet(inProcess);
    o.qtReader = p.isSet(qtReader);
    o.rtt = p.value(rtt).toDouble(&ok);
    if (!ok || o.rtt < 0)
        fail(QStringLiteral("--rtt wants a number of milliseconds"));
    if (p.isSet(only)) {
        o.only = p.value(only).split(u',', Qt::SkipEmptyParts);
        for (const QString& name : o.only)
            if (!findOperation(name))
                fail(QStringLiteral("unknown operation \"%1\" (see --list)").arg(name));
    }

    o.pgHost = p.isSet(pgHost) ? p.value(pgHost) : qEnvironmentVariable("KELVORA_TEST_PGHOST");
    const QString port = p.isSet(pgPort) ? p.value(pgPort) : qEnvironmentVariable("KELVORA_TEST_PGPORT");
    if (!port.isEmpty()) {
        o.pgPort = port.toInt(&ok);
        if (!ok)
            fail(QStringLiteral("bad PostgreSQL port \"%1\"").arg(port));
    }
    o.pgUser = p.isSet(pgUser) ? p.value(pgUser)
                               : qEnvironmentVariable("KELVORA_TEST_PGUSER", QStringLiteral("postgres"));
    o.pgPassword = p.value(pgPassword);
    o.pgDatabase = p.isSet(pgDatabase) ? p.value(pgDatabase)
                                       : QStringLiteral("kelvora_bench_%1").arg(o.lines);
    for (Engine e : o.engines)
        if (e == Engine::PostgreSQL && o.pgHost.isEmpty())
            fail(QStringLiteral("no PostgreSQL server: give --pg-host or run under scripts/with-postgres.sh"));

    if (p.isSet(child)) {
        o.childOperation = p.value(child);
        o.childEngine = parseEngines(p.value(childEngine)).front();
    }
    return o;
}
