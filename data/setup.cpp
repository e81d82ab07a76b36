#include "data/setup.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>

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
