#include "data/setup.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

void Setup::initialize(QSqlDatabase& db, const Settings& settings)
{
    const Engine engine = Connection::engineOf(db);
    if (Schema::exists(db))
        throw DbError(QStringLiteral("მონაცემთა ბაზაში ცხრილები უკვე არსებობს"));
    QSqlQuery q(db);
    auto run = [&q](const QString& sql) {
        if (!q.exec(sql))
            throw DbError(QStringLiteral("%1\n%2").arg(q.lastError().text(), sql));
    };
    run(QStringLiteral("begin"));
    try {
        for (const QString& sql : Schema::createStatements(engine))
            run(sql);
        for (const QString& sql : Schema::ChangeFeed::createStatements(engine))
            run(sql);
        q.prepare(QStringLiteral(
            "insert into Parametres (Tables, inctb, momsaxureoba, dawesebuleba, COMMAND, ANSWER) "
            "values (?, 0, ?, ?, ?, ?)"));
        q.addBindValue(settings.tables);
        q.addBindValue(settings.servicePercent);
        q.addBindValue(settings.establishment);
        q.addBindValue(settings.commandPath);
        q.addBindValue(settings.answerPath);
        if (!q.exec())
            throw DbError(q.lastError().text());
        run(QStringLiteral("commit"));
    } catch (...) {
        QSqlQuery(db).exec(QStringLiteral("rollback"));
        throw;
    }
}

namespace {

// The columns the table has, by their names in lower case; empty when the
// table is missing. PostgreSQL keeps unquoted names in lower case.
QSqlRecord storedColumns(QSqlDatabase& db, const Schema::Table& t, Engine engine)
{
    const QString name = QString::fromLatin1(t.name);
    return db.record(engine == Engine::PostgreSQL ? name.toLower() : name);
}

}  // namespace

void Setup::upgrade(QSqlDatabase& db)
{
    const Engine engine = Connection::engineOf(db);
    for (const Schema::Table& t : Schema::tables()) {
        const QSqlRecord stored = storedColumns(db, t, engine);
        if (stored.isEmpty())
            continue;
        for (const Schema::Column& c : t.columns) {
            if (stored.contains(QString::fromLatin1(c.name)))
                continue;
            QSqlQuery q(db);
            const QString sql = QStringLiteral("alter table %1 add column %2")
                                    .arg(QString::fromLatin1(t.name), Schema::columnSql(c, engine));
            // Another station may have added it a moment ago.
            if (!q.exec(sql) && !storedColumns(db, t, engine).contains(QString::fromLatin1(c.name)))
                throw DbError(QStringLiteral("%1\n%2").arg(q.lastError().text(), sql));
        }
    }
    installChangeFeed(db);
}

// ---- The change feed ---------------------------------------------------------

void Setup::installChangeFeed(QSqlDatabase& db)
{
    // Looked at first without writing: a database that has it costs one read.
    if (Schema::ChangeFeed::installed(db))
        return;
    const Engine engine = Connection::engineOf(db);
    QSqlQuery q(db);
    auto run = [&q](const QString& sql) {
        if (!q.exec(sql))
            throw DbError(QStringLiteral("%1\n%2").arg(q.lastError().text(), sql));
    };
    // Stations opening at once take turns: SQLite's write lock from the start,
    // on PostgreSQL a lock of the feed's own; the second finds it done.
    run(engine == Engine::SQLite ? QStringLiteral("begin immediate") : QStringLiteral("begin"));
    try {
        if (engine == Engine::PostgreSQL)
            run(QStringLiteral("select pg_advisory_xact_lock(%1)").arg(ChangeFeedLock));
        if (!Schema::ChangeFeed::installed(db)) {
            for (const QString& sql : Schema::ChangeFeed::createStatements(engine))
                run(sql);
        }
        run(QStringLiteral("commit"));
    } catch (...) {
        QSqlQuery(db).exec(QStringLiteral("rollback"));
        throw;
    }
}
