// kelvora-bench feed: the time from one station's commit to the floor plans of
// the other stations showing it, and the cost of an idle station.
//
//   kelvora-bench feed [--engine sqlite|postgres|both] [--changes 200] [--stations 4] [--idle 60]
//
// Station A (this process) takes and frees tables one at a time through the
// program's own occupancy query; each of the other stations is a process of
// its own with the program's change feed and floor plan (drawn offscreen),
// which prints which tables it shows busy each time it redrew. The delay is
// taken from A's commit to the moment the follower's floor plan was redrawn
// with that change (the stations share the machine's clock). Afterwards the
// stations stay idle for a while: their processor time, and on PostgreSQL the
// statements the server received meanwhile.

#include "tools/kelvora-bench/feedbench.h"
#include "tools/kelvora-bench/benchdatabase.h"
#include "tools/kelvora-bench/benchoptions.h"
#include "data/changefeed.h"
#include "data/connection.h"
#include "data/datamodule.h"
#include "data/dberror.h"
#include "data/setup.h"
#include "floorplan/floorplan.h"
#include "floorplan/tablepicture.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Tables = 8;

qint64 nowMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void note(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// The busy tables a floor plan shows, as bits.
int shownMask(const FloorPlan& floor)
{
    int mask = 0;
    for (int t = 1; t <= Tables; ++t)
        if (TablePicture* p = floor.picture(t); p && p->property("busy").toBool())
            mask |= 1 << (t - 1);
    return mask;
}

// One following station: prints "@@ready" once its feed listens, then
// "@@seen MASK MICROS" after every redraw of its floor plan.
int followingStation(const QString& udl)
{
    Connection::setDataLinkPath(udl);
    TDM dm;
    FloorPlan floor(&dm);
    floor.resize(1000, 600);
    ChangeFeed feed;
    try {
        floor.Button1Click();
        floor.Button2Click();
    } catch (const DbError& e) {
        note(e.text());
        return 1;
    }
    QObject::connect(&feed, &ChangeFeed::listening, [] {
        std::printf("@@ready %d\n", int(::getpid()));
        std::fflush(stdout);
    });
    QObject::connect(&feed, &ChangeFeed::changed, [&](ChangeFeed::Tables t) {
        try {
            floor.followChanges(t);
        } catch (const DbError& e) {
            note(e.text());
        }
        std::printf("@@seen %d %lld\n", shownMask(floor), static_cast<long long>(nowMicros()));
        std::fflush(stdout);
    });
    feed.start(DataLink::read(udl));
    // Runs until station A ends it.
    return QApplication::exec();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double processorSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

struct Station
{
    std::unique_ptr<QProcess> process;
    qint64 pid = 0;
    QByteArray buffer;
    std::vector<std::pair<int, qint64>> seen;  // mask, time
    bool ready = false;

    void read()
    {
        buffer += process->readAllStandardOutput();
        int end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QList<QByteArray> f = buffer.left(end).split(' ');
            buffer.remove(0, end + 1);
            if (f.value(0) == "@@ready") {
                ready = true;
                pid = f.value(1).toLongLong();
            } else if (f.value(0) == "@@seen") {
                seen.emplace_back(f.value(1).toInt(), f.value(2).toLongLong());
            }
        }
    }
};

// The moment each other session of the database began its last statement.
QHash<qint64, QString> lastStatements(QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("select pid, query_start from pg_stat_activity "
                          "where datname = current_database() and pid <> pg_backend_pid()"));
    QHash<qint64, QString> out;
    while (q.next())
        out.insert(q.value(0).toLongLong(), q.value(1).toString());
    return out;
}

qint64 serverTransactions(QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("select pg_stat_force_next_flush()"));
    q.exec(QStringLiteral("select xact_commit + xact_rollback from pg_stat_database where datname = current_database()"));
    return q.next() ? q.value(0).toLongLong() : -1;
}

int runEngine(Engine engine, const BenchOptions& base, int changes, int stations, int idleSeconds)
{
    BenchOptions o = base;
    o.lines = 0;
    if (o.pgDatabase.isEmpty())
        o.pgDatabase = QStringLiteral("kelvora_bench_feed");
    BenchDatabase db(engine, o);
    db.recreate();
    {
        QSqlDatabase setup = Connection::openNamed(db.link(), QStringLiteral("feed_setup"));
        Setup::Settings settings;
        settings.tables = Tables;
        Setup::initialize(setup, settings);
        setup.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("feed_setup"));
    db.useAsProgramConnection();
    TDM dm;
    FloorPlan own(&dm);
    own.Button1Click();

    std::vector<Station> followers(std::max(1, stations - 1));
    for (Station& s : followers) {
        s.process = std::make_unique<QProcess>();
        s.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        s.process->start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("feed"), QStringLiteral("--station"), db.udlPath()});
    }
    auto pump = [&](int ms) {
        QElapsedTimer t;
        t.start();
        do {
            for (Station& s : followers) {
                s.process->waitForReadyRead(5);
                s.read();
            }
        } while (t.elapsed() < ms);
    };
    QElapsedTimer start;
    start.start();
    while (std::any_of(followers.begin(), followers.end(), [](const Station& s) { return !s.ready; })) {
        pump(50);
        if (start.elapsed() > 30000) {
            note(QStringLiteral("the following stations did not start"));
            return 1;
        }
    }
    pump(500);

    // Station A takes or frees one table after the other.
    std::vector<double> delays;
    int mask = 0;
    int missed = 0;
    for (int i = 0; i < changes; ++i) {
        const int table = i % Tables + 1;
        mask ^= 1 << (table - 1);
        NamedQuery* row = dm.busytables;
        row->reopen({{QStringLiteral("TB"), qint64(table)}});
        row->edit();
        row->setField(QStringLiteral("Busy"), (mask >> (table - 1)) & 1);
        row->post();
        const qint64 committed = nowMicros();
        for (Station& s : followers) {
            QElapsedTimer wait;
            wait.start();
            bool found = false;
            while (!found && wait.elapsed() < 5000) {
                for (const auto& [m, at] : s.seen)
                    if (m == mask && at >= committed - 1000) {
                        delays.push_back(double(std::max<qint64>(0, at - committed)) / 1000.0);
                        found = true;
                        break;
                    }
                if (!found) {
                    s.process->waitForReadyRead(2);
                    s.read();
                }
            }
            if (!found)
                ++missed;
            s.seen.clear();
        }
        pump(20);
        for (Station& s : followers)
            s.seen.clear();
    }
    std::printf("%s: %d changes, %d stations (1 writing, %d following): commit to floor plan redrawn "
                "p50 %.1f ms, p99 %.1f ms, max %.1f ms, %d not seen within 5 s\n",
                qPrintable(engineName(engine)), changes, int(followers.size()) + 1, int(followers.size()),
                percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0), missed);

    // Idle: nothing written for a while.
    dm.closeAll();
    Connection::close();
    QSqlDatabase probe = Connection::openNamed(db.link(), QStringLiteral("feed_probe"));
    std::vector<double> cpu0;
    for (Station& s : followers)
        cpu0.push_back(processorSeconds(s.pid));
    // The server counts a session's statements only some seconds after they ran.
    if (engine == Engine::PostgreSQL)
        pump(12000);
    const qint64 tx0 = engine == Engine::PostgreSQL ? serverTransactions(probe) : 0;
    const QHash<qint64, QString> before = engine == Engine::PostgreSQL ? lastStatements(probe) : QHash<qint64, QString>();
    pump(idleSeconds * 1000);
    const qint64 tx1 = engine == Engine::PostgreSQL ? serverTransactions(probe) : 0;
    int busySessions = 0;
    if (engine == Engine::PostgreSQL) {
        const QHash<qint64, QString> after = lastStatements(probe);
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            if (before.value(it.key()) != it.value())
                ++busySessions;
    }
    double cpu = 0;
    for (std::size_t i = 0; i < followers.size(); ++i)
        cpu += processorSeconds(followers[i].pid) - cpu0[i];
    cpu /= double(followers.size());
    const double minutes = idleSeconds / 60.0;
    if (engine == Engine::PostgreSQL) {
        // The probe's own two statements per reading are left out.
        std::printf("%s idle for %d s: %.1f statements a minute from %d stations together (server's count), "
                    "%d of their sessions began a statement meanwhile, processor %.2f %% of one core per station\n",
                    qPrintable(engineName(engine)), idleSeconds, double(std::max<qint64>(0, tx1 - tx0 - 2)) / minutes,
                    int(followers.size()), busySessions, 100.0 * cpu / idleSeconds);
    } else {
        std::printf("%s idle for %d s: %.0f data-version checks a minute per station (one pragma each), "
                    "processor %.2f %% of one core per station\n",
                    qPrintable(engineName(engine)), idleSeconds, 60000.0 / double(ChangeFeed::Timing().poll.count()),
                    100.0 * cpu / idleSeconds);
    }
    std::fflush(stdout);
    probe.close();
    probe = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("feed_probe"));
    for (Station& s : followers) {
        s.process->terminate();
        s.process->waitForFinished(5000);
    }
    db.drop();
    return missed == 0 ? 0 : 1;
}

}  // namespace

int feedBench(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Commit-to-screen delay of the change feed and the cost of an idle station."));
    p.addHelpOption();
    const QCommandLineOption engineOption(QStringLiteral("engine"), QStringLiteral("sqlite, postgres or both."),
                                          QStringLiteral("engine"), QStringLiteral("both"));
    const QCommandLineOption changesOption(QStringLiteral("changes"), QStringLiteral("Changes made (200)."),
                                           QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption stationsOption(QStringLiteral("stations"), QStringLiteral("Stations, the writer included (4)."),
                                            QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption idleOption(QStringLiteral("idle"), QStringLiteral("Seconds of idleness measured (60)."),
                                        QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption stationOption(QStringLiteral("station"), QStringLiteral("Internal: run one following station."),
                                           QStringLiteral("udl"));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder for the SQLite file."), QStringLiteral("dir"));
    p.addOptions({engineOption, changesOption, stationsOption, idleOption, stationOption, dirOption});
    p.process(app);
    if (p.isSet(stationOption))
        return followingStation(p.value(stationOption));

    BenchOptions o;
    QTemporaryDir temp;
    o.folder = p.isSet(dirOption) ? p.value(dirOption) : temp.path();
    o.pgHost = qEnvironmentVariable("KELVORA_TEST_PGHOST");
    o.pgPort = qEnvironmentVariableIsSet("KELVORA_TEST_PGPORT") ? qEnvironmentVariableIntValue("KELVORA_TEST_PGPORT") : 5432;
    o.pgUser = qEnvironmentVariable("KELVORA_TEST_PGUSER", QStringLiteral("postgres"));
    const QString which = p.value(engineOption);
    std::vector<Engine> engines;
    if (which == QLatin1String("sqlite") || which == QLatin1String("both"))
        engines.push_back(Engine::SQLite);
    if (which == QLatin1String("postgres") || which == QLatin1String("both"))
        engines.push_back(Engine::PostgreSQL);
    int rc = 0;
    try {
        for (Engine e : engines) {
            if (e == Engine::PostgreSQL && o.pgHost.isEmpty()) {
                note(QStringLiteral("no PostgreSQL server: run under scripts/with-postgres.sh"));
                return 1;
            }
            rc |= runEngine(e, o, p.value(changesOption).toInt(), p.value(stationsOption).toInt(),
                            p.value(idleOption).toInt());
        }
    } catch (const DbError& e) {
        note(QStringLiteral("kelvora-bench feed: %1").arg(e.text()));
        return 1;
    }
    return rc;
}
