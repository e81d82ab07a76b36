// kelvora-bench: generates a sales history through the data layer and times the
// heavy screens' queries against the bare engine, with their peak memory.
//
//   kelvora-bench --small                       a quick look on SQLite
//   kelvora-bench --dir /tmp/kb --keep          2 M lines, kept for the next run
//   kelvora-bench --dir /tmp/kb --reuse         times the kept database again
//   scripts/with-postgres.sh kelvora-bench --engine both
//   kelvora-bench --dir /tmp/kb --reuse --qt-reader   the data layer through Qt's driver only
//   kelvora-bench --engine postgres --rtt 4     the writing actions also through a 4 ms round trip
//   kelvora-bench sheets                        the bill printout and the report export on LibreOffice
//   kelvora-bench feed                          commit-to-screen delay of the change feed, idle cost
//
// Time it in a Release build on a quiet machine: every table prints the load
// average it was taken under and the processor time beside the wall clock.

#include "tools/kelvora-bench/benchdatabase.h"
#include "tools/kelvora-bench/benchoptions.h"
#include "tools/kelvora-bench/delayproxy.h"
#include "tools/kelvora-bench/feedbench.h"
#include "tools/kelvora-bench/historygenerator.h"
#include "tools/kelvora-bench/measurement.h"
#include "tools/kelvora-bench/operations.h"
#include "tools/kelvora-bench/report.h"
#include "tools/kelvora-bench/sheetbench.h"
#include "tools/kelvora-bench/sqlitestatements.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/rowreader.h"
#include "data/setup.h"
#include "data/datamodule.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const QByteArray ResultPrefix = "@@result ";

void note(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

void generate(const BenchDatabase& db, const BenchOptions& options)
{
    const QString setupName = QStringLiteral("kelvora_bench_setup");
    {
        QSqlDatabase setup = Connection::openNamed(db.link(), setupName);
        Setup::Settings settings;
        settings.tables = 100;
        settings.servicePercent = 10;
        settings.establishment = QStringLiteral("kelvora-bench, generating");
        settings.commandPath = QStringLiteral("C:\\Fiscal\\command.txt");
        settings.answerPath = QStringLiteral("C:\\Fiscal\\answer.txt");
        Setup::initialize(setup, settings);
        setup.close();
    }
    QSqlDatabase::removeDatabase(setupName);

    db.useAsProgramConnection();
    GenerationReport report;
    {
        TDM dm;
        HistoryGenerator generator(dm, db.engine(), options.lines, options.viaDataLayer);
        report = generator.run(BenchDatabase::completeMarker(options.lines),
                               [](const QString& text) { note(QStringLiteral("  ") + text); });
    }
    Connection::close();
    Report::generation(db.engine(), report);
}

// A writing action's statements, counted once more after its timed runs, and
// on PostgreSQL its runs through the slowed link of --rtt.
void countAndSlow(const Operation& op, BenchContext& context, TDM& dm, const BenchDatabase& db,
                  const BenchOptions& o, OperationResult& r)
{
    if (!op.statementTarget || !r.error.isEmpty())
        return;
    if (db.engine() == Engine::SQLite) {
        const SqliteStatements counter;
        r.statements = Measurement::countStatements(op, context, [&] { return counter.count(); });
        return;
    }
    dm.closeAll();
    Connection::close();
    {
        DelayProxy proxy(o.pgHost, o.pgPort, 0);
        db.useThroughProxy(proxy.port());
        r.statements = Measurement::countStatements(op, context, [&] { return proxy.statements(); });
        if (o.rtt > 0) {
            proxy.setRtt(o.rtt);
            Measurement::timeAtRtt(op, context, std::max(o.runs, 10), o.rtt, r);
        }
        dm.closeAll();
        Connection::close();
    }
    db.useAsProgramConnection();
}

// Runs in a child process: one operation, its figures printed for the parent.
int runChild(const BenchOptions& options)
{
    const Operation* op = findOperation(options.childOperation);
    if (!op)
        return 2;
    OperationResult r;
    r.name = options.childOperation;
    try {
        BenchDatabase db(options.childEngine, options);
        db.useAsProgramConnection();
        TDM dm;
        BenchContext context = BenchContext::load(options.childEngine, &dm);
        r = Measurement::measure(*op, context, options.runs, options.warmups);
        countAndSlow(*op, context, dm, db, options, r);
        dm.closeAll();
    } catch (const DbError& e) {
        r.error = e.text();
    }
    std::printf("%s%s\n", ResultPrefix.constData(),
                QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact).constData());
    return 0;
}

QStringList childArguments(const BenchOptions& o, Engine engine, const QString& op)
{
    QStringList args = {QStringLiteral("--child"), op,
                        QStringLiteral("--child-engine"), engineName(engine),
                        QStringLiteral("--engine"), engineName(engine),
                        QStringLiteral("--lines"), QString::number(o.lines),
                        QStringLiteral("--dir"), o.folder,
                        QStringLiteral("--runs"), QString::number(o.runs),
                        QStringLiteral("--warmups"), QString::number(o.warmups)};
    if (o.qtReader)
        args << QStringLiteral("--qt-reader");
    if (o.rtt > 0)
        args << QStringLiteral("--rtt") << QString::number(o.rtt);
    if (engine == Engine::PostgreSQL)
        args << QStringLiteral("--pg-host") << o.pgHost << QStringLiteral("--pg-port") << QString::number(o.pgPort)
             << QStringLiteral("--pg-user") << o.pgUser << QStringLiteral("--pg-database") << o.pgDatabase;
    if (!o.pgPassword.isEmpty())
        args << QStringLiteral("--pg-password") << o.pgPassword;
    return args;
}

OperationResult runInChild(const BenchOptions& o, Engine engine, const QString& op)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), childArguments(o, engine, op));
    child.waitForFinished(-1);
    OperationResult r;
    r.name = op;
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith(ResultPrefix))
            return OperationResult::fromJson(QJsonDocument::fromJson(line.mid(ResultPrefix.size())).object());
    r.error = QStringLiteral("the child process gave no figures (exit code %1)").arg(child.exitCode());
    return r;
}

std::vector<OperationResult> runOperations(const BenchDatabase& db, const BenchOptions& o, BenchContext* context)
{
    std::vector<const Operation*> chosen;
    for (const Operation& op : operations())
        if (o.only.isEmpty() || o.only.contains(QLatin1String(op.name)))
            chosen.push_back(&op);

    db.useAsProgramConnection();
    auto dm = std::make_unique<TDM>();
    *context = BenchContext::load(db.engine(), dm.get());
    std::vector<OperationResult> results;
    for (const Operation* op : chosen) {
        note(QStringLiteral("  %1: %2").arg(QLatin1String(op->name), QLatin1String(op->title)));
        if (o.inProcess) {
            results.push_back(Measurement::measure(*op, *context, o.runs, o.warmups));
            countAndSlow(*op, *context, *dm, db, o, results.back());
            dm->closeAll();
        } else {
            results.push_back(runInChild(o, db.engine(), QString::fromLatin1(op->name)));
        }
    }
    dm.reset();
    context->dm = nullptr;
    Connection::close();
    return results;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "sheets") == 0)
        return sheetBench(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "feed") == 0)
        return feedBench(argc - 1, argv + 1);
    // The floor plan's pictures are drawn, which needs a platform but no screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvora-bench"));
    const BenchOptions options = BenchOptions::parse(app);
    RowReader::setNativeReading(!options.qtReader);
    if (!options.childOperation.isEmpty())
        return runChild(options);

    std::vector<OperationResult> sqliteResults;
    std::vector<OperationResult> postgresResults;
    try {
        for (Engine engine : options.engines) {
            BenchDatabase db(engine, options);
            if (options.reuse && db.isComplete()) {
                note(QStringLiteral("%1: reusing %2").arg(engineName(engine), db.where()));
            } else {
                note(QStringLiteral("%1: generating %2 order lines into %3")
                         .arg(engineName(engine))
                         .arg(options.lines)
                         .arg(db.where()));
                db.recreate();
                generate(db, options);
            }
            if (!options.generateOnly) {
                note(QStringLiteral("%1: timing").arg(engineName(engine)));
                BenchContext context;
                std::vector<OperationResult> results = runOperations(db, options, &context);
                Report::engineTable(engine, db.where(), db.sizeBytes(), options.lines, context, results,
                                    !options.inProcess);
                (engine == Engine::SQLite ? sqliteResults : postgresResults) = std::move(results);
            }
            if (!options.keep)
                db.drop();
        }
    } catch (const DbError& e) {
        note(QStringLiteral("kelvora-bench: %1").arg(e.text()));
        return 1;
    }
    if (!sqliteResults.empty() && !postgresResults.empty())
        Report::comparison(sqliteResults, postgresResults);
    return 0;
}
