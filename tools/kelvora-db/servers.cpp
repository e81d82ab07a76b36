#include "servers.h"

#include "data/connection.h"
#include "data/dberror.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString ProbeConnection = QStringLiteral("kelvora_db_probe");

QString oneLine(QString text)
{
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.simplified();
}

QSqlQuery query(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DbError(q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError(q.lastError().text());
    return q;
}

QVariant scalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = query(db, sql, values);
    return q.next() ? q.value(0) : QVariant();
}

void probe(ServerState& s, const DataLink& link, const QString& primaryLsn)
{
    QSqlDatabase db = Connection::openNamed(link.toServer(s.server), ProbeConnection);
    s.reachable = true;
    {
        QSqlQuery q = query(db, QStringLiteral("select pg_is_in_recovery(), coalesce((select ssl from pg_stat_ssl where pid = "
                                               "pg_backend_pid()), false), (select version from pg_stat_ssl where pid = "
                                               "pg_backend_pid())"));
        q.next();
        s.primary = !q.value(0).toBool();
        s.encrypted = q.value(1).toBool();
        s.tls = q.value(2).toString();
    }
    if (s.primary) {
        s.lsn = scalar(db, QStringLiteral("select pg_current_wal_lsn()::text")).toString();
        s.synchronousNames = scalar(db, QStringLiteral("select current_setting('synchronous_standby_names')")).toString();
        QSqlQuery r = query(db, QStringLiteral("select application_name, state, sync_state from pg_stat_replication "
                                               "order by application_name"));
        while (r.next())
            s.streaming << QStringLiteral("%1 %2 %3").arg(r.value(0).toString(), r.value(1).toString(), r.value(2).toString());
        QSqlQuery idle = query(db, QStringLiteral("select slot_name from pg_replication_slots where not active order by slot_name"));
        while (idle.next())
            s.idleSlots << idle.value(0).toString();
    } else {
        // Against the primary's position when it answered, else against what
        // the standby has received.
        QSqlQuery q = query(db, QStringLiteral("select pg_last_wal_replay_lsn()::text, "
                                               "pg_wal_lsn_diff(coalesce(?::pg_lsn, pg_last_wal_receive_lsn()), "
                                               "pg_last_wal_replay_lsn())::bigint, "
                                               "extract(epoch from now() - pg_last_xact_replay_timestamp())::float8"),
                            {primaryLsn.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(primaryLsn)});
        q.next();
        s.lsn = q.value(0).toString();
        s.bytesBehind = q.value(1).isNull() ? -1 : std::max<qint64>(q.value(1).toLongLong(), 0);
        // Nothing left to replay is no distance, however long ago the last write was.
        s.secondsBehind = s.bytesBehind == 0 ? 0 : q.value(2).isNull() ? -1
                                                                       : q.value(2).toDouble();
    }
}

}  // namespace

QString ServerState::address() const
{
    return QStringLiteral("%1:%2").arg(server.host).arg(server.port);
}

QList<ServerState> probeServers(const DataLink& link)
{
    QList<ServerState> states;
    for (const DataLink::Server& server : link.servers()) {
        ServerState s;
        s.server = server;
        states.append(s);
    }
    // Two rounds: the primaries first, then the standbys against the primary's position.
    QString primaryLsn;
    for (int round = 0; round < 2; ++round) {
        for (ServerState& s : states) {
            if (round == 1 && (!s.reachable || s.primary))
                continue;
            try {
                probe(s, link, primaryLsn);
            } catch (const DbError& e) {
                s.reachable = false;
                s.error = oneLine(e.text());
            }
            if (round == 0 && s.reachable && s.primary && primaryLsn.isEmpty())
                primaryLsn = s.lsn;
            if (QSqlDatabase::contains(ProbeConnection)) {
                QSqlDatabase::database(ProbeConnection, false).close();
                QSqlDatabase::removeDatabase(ProbeConnection);
            }
        }
    }
    return states;
}

QString describeServer(const ServerState& s)
{
    if (!s.reachable)
        return QStringLiteral("server %1: not reachable: %2").arg(s.address(), s.error);
    const QString link = s.encrypted ? QStringLiteral("encrypted (%1)").arg(s.tls) : QStringLiteral("not encrypted");
    if (s.primary) {
        QString line = QStringLiteral("server %1: primary, %2").arg(s.address(), link);
        for (const QString& standby : s.streaming)
            line += QStringLiteral(", standby %1").arg(standby);
        return line;
    }
    const QString bytes = s.bytesBehind < 0 ? QStringLiteral("? bytes") : QStringLiteral("%1 bytes").arg(s.bytesBehind);
    const QString seconds =
        s.secondsBehind < 0 ? QStringLiteral("? s") : QStringLiteral("%1 s").arg(s.secondsBehind, 0, 'f', 1);
    return QStringLiteral("server %1: standby, %2 and %3 behind, %4").arg(s.address(), bytes, seconds, link);
}
