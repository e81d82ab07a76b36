#include "checkdatabase.h"
#include "servers.h"

#include "data/connection.h"
#include "data/dberror.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

// An engine's text may run over several lines; the answer is one.
QString oneLine(QString text)
{
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.simplified();
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        throw DbError(q.lastError().text());
    return q;
}

}  // namespace

namespace {

QStringList warnings(const QString& udl, const QList<ServerState>& servers)
{
    QStringList out;
    if (DataLink::passwordExposed(udl))
        out << QStringLiteral("warning: %1 holds the server's password and other users of this machine can read it: "
                              "chmod 600 %1")
                   .arg(QDir::toNativeSeparators(udl));
    for (const ServerState& s : servers) {
        if (!s.reachable || !s.primary)
            continue;
        const bool waiting = !s.synchronousNames.trimmed().isEmpty();
        const bool syncStreaming = std::any_of(s.streaming.cbegin(), s.streaming.cend(), [](const QString& st) {
            return st.endsWith(QLatin1String(" sync")) || st.endsWith(QLatin1String(" quorum"));
        });
        if (waiting && !syncStreaming)
            out << QStringLiteral("warning: every write on %1 waits for the standby \"%2\", which is not streaming: "
                                  "the stations cannot write until it is back or until this is run on %1: "
                                  "psql -c \"ALTER SYSTEM SET synchronous_standby_names = ''\" -c \"SELECT pg_reload_conf()\"")
                       .arg(s.address(), s.synchronousNames);
        for (const QString& slot : s.idleSlots)
            out << QStringLiteral("warning: no standby uses the replication slot %1 on %2, which keeps every WAL file "
                                  "for it until one does; when that standby is gone for good, run on %2: "
                                  "psql -c \"SELECT pg_drop_replication_slot('%1')\"")
                       .arg(slot, s.address());
    }
    return out;
}

}  // namespace

CheckResult checkDatabase(const QString& udl)
{
    CheckResult r;
    QList<ServerState> servers;
    try {
        Connection::setDataLinkPath(udl);
        const DataLink link = DataLink::read(udl);
        const QSqlDatabase db = Connection::database();
        const bool sqlite = Connection::engineOf(db) == Engine::SQLite;
        const QString version = run(db, sqlite ? QStringLiteral("select sqlite_version()")
                                               : QStringLiteral("show server_version"))
                                    .value(0)
                                    .toString();
        QString server = QStringLiteral("%1:%2").arg(link.host).arg(link.port);
        if (!sqlite) {
            servers = probeServers(link);
            for (const ServerState& s : servers)
                if (s.reachable && s.primary) {
                    server = s.address();
                    break;
                }
        }
        const QString where = sqlite ? QDir::toNativeSeparators(link.dataSource)
                                     : QStringLiteral("%1 on %2").arg(link.database, server);
        // An order is the lines under one order number.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select count(distinct USERNUM), count(*) from Shekvetebi")) || !q.next()) {
            // A full disk or a folder that refuses the database's files is no missing table.
            const QString fault = DbError::storageFaultOf(q);
            if (!fault.isEmpty())
                throw DbError(QStringLiteral("%1: %2").arg(fault, where));
            throw DbError(QStringLiteral("%1 %2, %3 holds no Kelvora tables (make them with kelvora-db init): %4")
                              .arg(sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"), version, where,
                                   q.lastError().text()));
        }
        const QString counts =
            QStringLiteral("%1 orders (%2 lines)").arg(q.value(0).toLongLong()).arg(q.value(1).toLongLong());
        r.reachable = true;
        r.line = QStringLiteral("reachable: %1 %2, %3, %4")
                     .arg(sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"), version, where, counts);
    } catch (const DbError& e) {
        r.line = QStringLiteral("not reachable: ") + oneLine(e.text());
    }
    Connection::close();
    r.line = oneLine(r.line);
    if (servers.isEmpty()) {
        // Not reachable: each server's own answer still tells which machine is down.
        try {
            const DataLink link = DataLink::read(udl);
            if (link.provider == DataLink::Provider::PostgreSQL)
                servers = probeServers(link);
        } catch (const DbError&) {
        }
    }
    for (const ServerState& s : servers)
        r.details << describeServer(s);
    r.details << warnings(udl, servers);
    return r;
}
