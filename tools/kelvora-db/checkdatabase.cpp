#include "checkdatabase.h"

#include "data/connection.h"
#include "data/dberror.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

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

CheckResult checkDatabase(const QString& udl)
{
    CheckResult r;
    try {
        Connection::setDataLinkPath(udl);
        const DataLink link = DataLink::read(udl);
        const QSqlDatabase db = Connection::database();
        const bool sqlite = Connection::engineOf(db) == Engine::SQLite;
        const QString version = run(db, sqlite ? QStringLiteral("select sqlite_version()")
                                               : QStringLiteral("show server_version"))
                                    .value(0)
                                    .toString();
        const QString where = sqlite ? QDir::toNativeSeparators(link.dataSource)
                                     : QStringLiteral("%1 on %2:%3").arg(link.database, link.host).arg(link.port);
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
    return r;
}
