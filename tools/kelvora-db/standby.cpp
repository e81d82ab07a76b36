#include "standby.h"
#include "servers.h"

#include "tools/shared/commandline.h"
#include "tools/shared/toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

const QString PrimaryConnection = QStringLiteral("kelvora_db_primary");
const QString StandbyConnection = QStringLiteral("kelvora_db_standby");
constexpr int CatchUpSeconds = 300;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString address(const DataLink::Server& s)
{
    return QStringLiteral("%1:%2").arg(s.host).arg(s.port);
}

// A connection of the tool, closed and forgotten at the end of its scope.
class Link
{
public:
    Link(const DataLink& link, QString name)
        : m_name(std::move(name)), m_db(Connection::openNamed(link, m_name)) {}
    ~Link()
    {
        m_db = QSqlDatabase();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const
    {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        // ALTER SYSTEM cannot be prepared: a text without values runs as it is.
        if (values.isEmpty()) {
            if (!q.exec(sql))
                throw DbError(q.lastError().text());
            return q;
        }
        if (!q.prepare(sql))
            throw DbError(q.lastError().text());
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec())
            throw DbError(q.lastError().text());
        return q;
    }
    QVariant value(const QString& sql, const QVariantList& values = {}) const
    {
        QSqlQuery q = run(sql, values);
        return q.next() ? q.value(0) : QVariant();
    }

private:
    QString m_name;
    QSqlDatabase m_db;
};

DataLink readPostgresLink(const QString& udl, const QString& command)
{
    const DataLink link = DataLink::read(udl);
    if (link.provider != DataLink::Provider::PostgreSQL)
        throw ToolError(QStringLiteral("%1 names the SQLite database %2: %3 is for a PostgreSQL server, whose "
                                       "stations may fail over to a second machine; with SQLite every station "
                                       "works on the one file on one machine")
                            .arg(native(udl), native(link.dataSource), command));
    return link;
}

// The folder of the newest PostgreSQL server programs here, empty to take them from PATH.
QString serverPrograms()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
        if (QFileInfo::exists(bin + QStringLiteral("pg_basebackup")))
            return bin;
    }
    return QString();
}

// Runs a PostgreSQL program; as root it runs as the postgres user, who owns
// the server's files (the server refuses to run as root).
QString runServerProgram(const QString& program, const QStringList& args, const QString& password)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), password);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = serverPrograms() + program;
    if (::getuid() == 0)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), path} + args);
    else
        p.start(path, args);
    if (!p.waitForStarted())
        throw ToolError(QStringLiteral("cannot run %1: %2").arg(path, p.errorString()));
    p.waitForFinished(-1);
    const QString output = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw ToolError(QStringLiteral("%1 failed: %2").arg(program, output));
    return output;
}

// A new data folder, or an empty one; as root it goes to the postgres user.
void prepareDataFolder(const QString& dir)
{
    const QFileInfo info(dir);
    if (info.exists() && (!info.isDir() || !QDir(dir).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)))
        throw ToolError(QStringLiteral("%1 is not an empty folder: the standby's data are copied from the primary into "
                                       "a new or empty folder (stop a server that uses it and empty it first)")
                            .arg(native(dir)));
    if (!QDir().mkpath(dir))
        throw ToolError(QStringLiteral("cannot create the folder %1").arg(native(dir)));
    const QByteArray path = QFile::encodeName(dir);
    ::chmod(path.constData(), S_IRWXU);
    if (::getuid() == 0) {
        const passwd* pg = ::getpwnam("postgres");
        if (!pg || ::chown(path.constData(), pg->pw_uid, pg->pw_gid) != 0)
            throw ToolError(QStringLiteral("cannot give %1 to the postgres user").arg(native(dir)));
    }
}

QString primarySteps(const DataLink& link, const DataLink::Server& primary, const DataLink::Server& standby)
{
    return QStringLiteral("On the primary %1, as the postgres user:\n"
                          "  psql -c \"ALTER SYSTEM SET wal_level = replica\" -c \"ALTER ROLE %2 REPLICATION\"\n"
                          "  and in its pg_hba.conf the line\n"
                          "  hostssl replication %2 %3/32 scram-sha-256\n"
                          "then restart its server (Debian: pg_ctlcluster 15 main restart).")
        .arg(address(primary), link.user, standby.host);
}

}  // namespace

QString makeStandby(const StandbyOptions& o)
{
    DataLink link = readPostgresLink(o.udl, QStringLiteral("standby"));
    const QList<ServerState> states = probeServers(link);
    const auto primary = std::find_if(states.cbegin(), states.cend(), [](const ServerState& s) { return s.reachable && s.primary; });
    if (primary == states.cend()) {
        QStringList lines;
        for (const ServerState& s : states)
            lines << describeServer(s);
        throw ToolError(QStringLiteral("no server of %1 answers as the primary:\n%2").arg(native(o.udl), lines.join(u'\n')));
    }
    if (primary->server == o.standby)
        throw ToolError(QStringLiteral("%1 is the primary itself: run standby on the second machine, naming it with --host and --port")
                            .arg(address(o.standby)));
    const DataLink toPrimary = link.toServer(primary->server);

    {
        const Link db(toPrimary, PrimaryConnection);
        QSqlQuery q = db.run(QStringLiteral("select current_setting('wal_level'), current_setting('max_wal_senders')::int, "
                                            "(select rolreplication or rolsuper from pg_roles where rolname = current_user)"));
        q.next();
        if (q.value(0).toString() == QLatin1String("minimal") || q.value(1).toInt() < 1 || !q.value(2).toBool())
            throw ToolError(QStringLiteral("the primary %1 is not ready for a standby (wal_level %2, max_wal_senders %3, "
                                           "replication right of %4: %5).\n%6")
                                .arg(primary->address(), q.value(0).toString(), q.value(1).toString(), link.user,
                                     q.value(2).toBool() ? QStringLiteral("yes") : QStringLiteral("no"),
                                     primarySteps(link, primary->server, o.standby)));
        // A slot no standby streams from is a standby being made again (the old
        // primary, repaired); one in use belongs to a standby that runs.
        const QVariant active = db.value(QStringLiteral("select active from pg_replication_slots where slot_name = ?"),
                                         {QString::fromLatin1(StandbyName)});
        if (active.isValid() && active.toBool())
            throw ToolError(QStringLiteral("a standby streams from %1 through the slot %2 already; stop it first, or "
                                           "take it out for good with: psql -c \"SELECT pg_drop_replication_slot('%2')\"")
                                .arg(primary->address(), QString::fromLatin1(StandbyName)));
        if (active.isValid()) {
            db.run(QStringLiteral("select pg_drop_replication_slot(?)"), {QString::fromLatin1(StandbyName)});
            CommandLine::printOut(QStringLiteral("Dropped the unused replication slot %1 on %2.")
                                      .arg(QString::fromLatin1(StandbyName), primary->address()));
        }
    }

    prepareDataFolder(o.dataDir);
    CommandLine::printOut(QStringLiteral("Copying the primary %1 into %2 ...").arg(primary->address(), native(o.dataDir)));
    // The standby's own link to the primary takes the program's settings
    // (encrypted across machines, a dead primary found within seconds); its
    // password goes through the environment, never the command line.
    DataLink replication = toPrimary;
    replication.password.clear();
    const QByteArray conninfo =
        Connection::postgresConnInfo(replication) + " application_name=" + QByteArray(StandbyName);
    try {
        runServerProgram(QStringLiteral("pg_basebackup"),
                         {QStringLiteral("-D"), o.dataDir, QStringLiteral("-d"), QString::fromUtf8(conninfo),
                          QStringLiteral("-X"), QStringLiteral("stream"), QStringLiteral("-c"), QStringLiteral("fast"),
                          QStringLiteral("-C"), QStringLiteral("-S"), QString::fromLatin1(StandbyName), QStringLiteral("-R"),
                          QStringLiteral("-w")},
                         link.password);
    } catch (const ToolError& e) {
        QDir(o.dataDir).removeRecursively();
        throw ToolError(QStringLiteral("%1\n%2").arg(e.text(), primarySteps(link, primary->server, o.standby)));
    }
    // The settings -R wrote hold the password: the folder and the file are the postgres user's alone.
    ::chmod(QFile::encodeName(QDir(o.dataDir).filePath(QStringLiteral("postgresql.auto.conf"))).constData(), S_IRUSR | S_IWUSR);
    CommandLine::printOut(QStringLiteral("The standby's settings are written into %1 (standby.signal, primary_conninfo, "
                                         "slot %2).")
                              .arg(native(o.dataDir), QString::fromLatin1(StandbyName)));

    link.addServer(o.standby);
    QString error;
    if (!link.write(o.udl, &error))
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(native(o.udl), error));
    QStringList report{QStringLiteral("Wrote %1 naming both servers, %2 and %3: copy it into every station's folder.")
                           .arg(native(o.udl), primary->address(), address(o.standby))};

    const QString syncCommand = QStringLiteral("psql -c \"ALTER SYSTEM SET synchronous_standby_names = '%1'\" -c \"SELECT pg_reload_conf()\"")
                                    .arg(QString::fromLatin1(StandbyName));
    if (!o.start) {
        report << QStringLiteral("Start the standby's server on %1 now (Debian: pg_ctlcluster 15 main start); "
                                 "kelvora-db check then shows how far it is behind.")
                      .arg(native(o.dataDir));
        if (o.synchronous)
            report << QStringLiteral("Once it is streaming, make every commit wait for it, on the primary %1:\n  %2")
                          .arg(primary->address(), syncCommand);
        return report.join(u'\n');
    }

    runServerProgram(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), o.dataDir, QStringLiteral("-l"), QDir(o.dataDir).filePath(QStringLiteral("standby.log")),
                      QStringLiteral("-w"), QStringLiteral("-t"), QString::number(CatchUpSeconds), QStringLiteral("-o"),
                      QStringLiteral("-p %1 -h '%2' -k '%3'").arg(o.standby.port).arg(o.standby.host, o.dataDir),
                      QStringLiteral("start")},
                     QString());
    CommandLine::printOut(QStringLiteral("Started the standby's server on %1.").arg(address(o.standby)));

    // Caught up: it has replayed all the primary had written when we asked.
    QString target;
    {
        const Link db(toPrimary, PrimaryConnection);
        target = db.value(QStringLiteral("select pg_current_wal_lsn()::text")).toString();
    }
    const QDeadlineTimer deadline(CatchUpSeconds * 1000);
    QString last;
    for (;;) {
        try {
            const Link db(link.toServer(o.standby), StandbyConnection);
            if (db.value(QStringLiteral("select pg_last_wal_replay_lsn() >= ?::pg_lsn"), {target}).toBool())
                break;
            last = QStringLiteral("replayed up to %1 of %2").arg(db.value(QStringLiteral("select pg_last_wal_replay_lsn()::text")).toString(), target);
        } catch (const DbError& e) {
            last = e.text();
        }
        if (deadline.hasExpired())
            throw ToolError(QStringLiteral("the standby %1 has not caught up within %2 s (%3); see %4")
                                .arg(address(o.standby))
                                .arg(CatchUpSeconds)
                                .arg(last, native(QDir(o.dataDir).filePath(QStringLiteral("standby.log")))));
        QThread::msleep(200);
    }
    report << QStringLiteral("The standby %1 has caught up with the primary %2 (WAL %3).").arg(address(o.standby), primary->address(), target);

    if (o.synchronous) {
        const Link db(toPrimary, PrimaryConnection);
        try {
            db.run(QStringLiteral("alter system set synchronous_standby_names = '%1'").arg(QString::fromLatin1(StandbyName)));
            db.run(QStringLiteral("select pg_reload_conf()"));
        } catch (const DbError& e) {
            throw ToolError(QStringLiteral("cannot make the commits wait for the standby (%1); run on the primary %2 as the "
                                           "postgres user:\n  %3")
                                .arg(e.text(), primary->address(), syncCommand));
        }
        const QDeadlineTimer syncDeadline(60000);
        while (db.value(QStringLiteral("select sync_state from pg_stat_replication where application_name = ?"),
                        {QString::fromLatin1(StandbyName)})
                   .toString()
               != QLatin1String("sync")) {
            if (syncDeadline.hasExpired())
                throw ToolError(QStringLiteral("the primary %1 does not take the standby as synchronous within 60 s").arg(primary->address()));
            QThread::msleep(100);
        }
        report << QStringLiteral("Every commit on %1 now waits until the standby has it. If the standby dies, the stations "
                                 "cannot write until it is back or until this is run on %1:\n"
                                 "  psql -c \"ALTER SYSTEM SET synchronous_standby_names = ''\" -c \"SELECT pg_reload_conf()\"")
                      .arg(primary->address());
    }
    return report.join(u'\n');
}

QString promoteStandby(const QString& udl, const std::optional<DataLink::Server>& which)
{
    const DataLink link = readPostgresLink(udl, QStringLiteral("promote"));
    if (which && !link.servers().contains(*which))
        throw ToolError(QStringLiteral("%1 does not name the server %2").arg(native(udl), address(*which)));
    const QList<ServerState> states = probeServers(link);
    QStringList lines;
    for (const ServerState& s : states)
        lines << describeServer(s);
    // Two servers taking orders would split the restaurant's day in two.
    for (const ServerState& s : states)
        if (s.reachable && s.primary)
            throw ToolError(QStringLiteral("the primary %1 still answers: promoting a standby now would leave two servers "
                                           "that take orders. Promote only once the primary is down (stop its server if "
                                           "it still runs).\n%2")
                                .arg(s.address(), lines.join(u'\n')));
    QList<ServerState> candidates;
    for (const ServerState& s : states)
        if (s.reachable && !s.primary && (!which || s.server == *which))
            candidates << s;
    if (candidates.isEmpty())
        throw ToolError(QStringLiteral("no standby answers, so there is nothing to promote:\n%1").arg(lines.join(u'\n')));
    if (candidates.size() > 1)
        throw ToolError(QStringLiteral("several standbys answer: name the one to promote with --host and --port\n%1")
                            .arg(lines.join(u'\n')));
    const ServerState& standby = candidates.first();

    QStringList report;
    {
        const Link db(link.toServer(standby.server), StandbyConnection);
        if (!db.value(QStringLiteral("select pg_promote(true, 60)")).toBool())
            throw ToolError(QStringLiteral("%1 did not finish its promotion within 60 s").arg(standby.address()));
        report << QStringLiteral("Promoted %1: it is the primary now and takes the writes.").arg(standby.address());
        // A setting copied from the old primary would have every commit wait for a standby there is none of.
        if (!db.value(QStringLiteral("select current_setting('synchronous_standby_names')")).toString().trimmed().isEmpty()) {
            db.run(QStringLiteral("alter system set synchronous_standby_names = ''"));
            db.run(QStringLiteral("select pg_reload_conf()"));
            report << QStringLiteral("Its commits wait for no standby (synchronous_standby_names emptied).");
        }
    }
    report << QStringLiteral("The stations need nothing: %1 names it, and each station's next action connects to it. "
                             "An action that met the lost link was not done; the person does it again.")
                  .arg(native(udl));
    report << QStringLiteral("Do not start the old primary's server as it is. Once that machine is repaired, make it the new "
                             "standby: on it, with this data link file, run kelvora-db standby --data NEW-FOLDER "
                             "--host ITS-ADDRESS --port ITS-PORT.");
    return report.join(u'\n');
}
