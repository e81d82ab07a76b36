#include "data/schema.h"
#include "data/dberror.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSet>

using namespace Schema;

namespace {
using T = ColumnType;
}

const std::vector<Table>& Schema::tables()
{
    static const std::vector<Table> all = {
        {"busytable",
         {{"ID", T::AutoNumber}, {"Busy", T::Integer}, {"OFICIANT", T::Text, 50}, {"TableNum", T::Integer}, {"USERNUM", T::Integer}, {"GadaxdiliTanxa", T::Money}, {"FiskaluriTanxa", T::Money, 0, "0"}, {"FiskaluriSadguri", T::Text, 100}, {"FiskaluriDro", T::DateTime}}},
        {"Parametres",
         {{"ID", T::AutoNumber}, {"Tables", T::Integer}, {"inctb", T::Integer}, {"momsaxureoba", T::Float}, {"dawesebuleba", T::Text, 50}, {"COMMAND", T::Text, 255}, {"ANSWER", T::Text, 255}}},
        {"kerdzebi",
         {{"ID", T::AutoNumber}, {"Dasaxeleba", T::Text, 50}, {"asagebi", T::Float}, {"gasayidi", T::Float}, {"tipi", T::Text, 50}, {"Field1", T::Text, 50}, {"raodenoba", T::Float}, {"momwodebeli", T::Text, 50}, {"prioriteti", T::Integer}}},
        {"OFICIANTI",
         {{"ID", T::AutoNumber}, {"Oficianti", T::Text, 255}, {"mdgomareoba", T::Text, 50}}},
        {"Shekvetebi",
         {{"ID", T::AutoNumber}, {"Kerdzi_N", T::Integer}, {"Kerdzi_DAS", T::Text, 50}, {"AFASI", T::Float}, {"GFASI", T::Float}, {"Raodenoba", T::Float}, {"OFFICIANT", T::Text, 50}, {"Tarigi", T::DateTime}, {"STATUSI", T::Integer}, {"Starttime", T::DateTime}, {"endtime", T::DateTime}, {"povari", T::Integer}, {"TableNum", T::Integer}, {"momsaxureoba", T::Float}, {"USERNUM", T::Integer}}},
        {"migeba",
         {{"ID", T::AutoNumber}, {"ID_DAS", T::Integer}, {"Dasaxeleba", T::Text, 50}, {"asagebi", T::Float}, {"gasayidi", T::Float}, {"raodenoba", T::Float}, {"tipi", T::Text, 50}, {"momwSN", T::Text, 50}, {"momwFN", T::Text, 50}, {"sab_n", T::Text, 50}, {"tarigi", T::DateTime}}},
        {"nisiebi",
         {{"ID", T::AutoNumber}, {"SN", T::Text, 20}, {"FN", T::Text, 255}, {"whois", T::Text, 20}, {"nisia", T::Float}, {"shettanxa", T::Float}, {"tarigi", T::DateTime}, {"USERNUM", T::Text, 20}}},
        {"DELS",
         {{"ID", T::AutoNumber}, {"KERid", T::Integer}, {"RAODENOBA", T::Float}, {"MAGIDA", T::Integer}, {"SHEKVETISN", T::Integer}, {"TARIGI", T::DateTime}, {"RAQNA", T::Text, 255}, {"das", T::Text, 255}}},
        {"uplebebi",
         {{"ID", T::AutoNumber}, {"ganyofileba", T::Text, 100}, {"povari", T::Text, 100}}},
    };
    return all;
}

const Table* Schema::findTable(const QString& table)
{
    for (const Table& t : tables())
        if (table.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

const Column* Schema::findColumn(const QString& table, const QString& column)
{
    const Table* t = findTable(table);
    if (!t)
        return nullptr;
    for (const Column& c : t->columns)
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

namespace {

QSet<QString> namesOfType(ColumnType type)
{
    QSet<QString> names;
    for (const Table& t : tables())
        for (const Column& c : t.columns)
            if (c.type == type)
                names.insert(QString::fromLatin1(c.name).toLower());
    return names;
}

QString typeSql(const Column& c, Engine engine)
{
    const QString name = QString::fromLatin1(c.name);
    const bool pg = engine == Engine::PostgreSQL;
    switch (c.type) {
    case T::AutoNumber:
        return name + (pg ? QStringLiteral(" serial primary key") : QStringLiteral(" integer primary key autoincrement"));
    case T::Integer:
        return name + QStringLiteral(" integer");
    case T::Float:
        return name + (pg ? QStringLiteral(" double precision") : QStringLiteral(" real"));
    case T::Money:
        // SQLite keeps the amount as its exact decimal text; PostgreSQL as numeric.
        return name + (pg ? QStringLiteral(" numeric(19,4)") : QStringLiteral(" text"));
    case T::Text:
        return name + (pg ? QStringLiteral(" varchar(%1)").arg(c.length) : QStringLiteral(" text"));
    case T::DateTime:
        // SQLite: ISO text, "YYYY-MM-DD" for a midnight, "YYYY-MM-DD HH:MM:SS" otherwise.
        return name + (pg ? QStringLiteral(" timestamp(0)") : QStringLiteral(" text"));
    }
    return name;
}

}  // namespace

QString Schema::columnSql(const Column& c, Engine engine)
{
    const QString sql = typeSql(c, engine);
    return c.defaultSql ? sql + QStringLiteral(" default ") + QString::fromLatin1(c.defaultSql) : sql;
}

bool Schema::isDateTimeColumn(const QString& name)
{
    static const QSet<QString> names = namesOfType(T::DateTime);
    return names.contains(name.toLower());
}

bool Schema::isMoneyColumn(const QString& name)
{
    static const QSet<QString> names = namesOfType(T::Money);
    return names.contains(name.toLower());
}

QStringList Schema::createStatements(Engine engine)
{
    QStringList out;
    for (const Table& t : tables()) {
        QStringList cols;
        for (const Column& c : t.columns)
            cols << columnSql(c, engine);
        out << QStringLiteral("create table %1 (%2)")
                   .arg(QString::fromLatin1(t.name), cols.join(QStringLiteral(", ")));
    }
    // Indexes for what the screens ask most; no rule relies on them.
    out << QStringLiteral("create index ix_shekvetebi_usernum on Shekvetebi (USERNUM)")
        << QStringLiteral("create index ix_shekvetebi_statusi on Shekvetebi (STATUSI, povari)")
        << QStringLiteral("create index ix_shekvetebi_tarigi on Shekvetebi (Tarigi)")
        << QStringLiteral("create index ix_busytable_tablenum on busytable (TableNum)")
        << QStringLiteral("create index ix_dels_tarigi on DELS (TARIGI)")
        << QStringLiteral("create index ix_migeba_tarigi on migeba (tarigi)")
        << QStringLiteral("create index ix_nisiebi_usernum on nisiebi (USERNUM)")
        << QStringLiteral("create index ix_kerdzebi_dasaxeleba on kerdzebi (Dasaxeleba)")
        << QStringLiteral("create index ix_uplebebi_ganyofileba on uplebebi (ganyofileba)");
    if (engine == Engine::PostgreSQL) {
        // The queries apply `like` to integer columns ("USERNUM like :USR"); these
        // operators match the number's decimal text, as the queries expect.
        out << QStringLiteral(
            "create or replace function int_like_text(integer, text) returns boolean "
            "as 'select $1::text like $2' language sql immutable")
            << QStringLiteral(
                   "create or replace function int_not_like_text(integer, text) returns boolean "
                   "as 'select $1::text not like $2' language sql immutable")
            << QStringLiteral(
                   "create operator ~~ (leftarg = integer, rightarg = text, "
                   "procedure = int_like_text, negator = !~~)")
            << QStringLiteral(
                   "create operator !~~ (leftarg = integer, rightarg = text, "
                   "procedure = int_not_like_text, negator = ~~)");
    }
    return out;
}

bool Schema::exists(QSqlDatabase& db)
{
    const QStringList present = db.tables();
    for (const Table& t : tables())
        for (const QString& p : present)
            if (p.compare(QString::fromLatin1(t.name), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

// ---- The change feed ---------------------------------------------------------

const QStringList& Schema::ChangeFeed::followedTables()
{
    static const QStringList names = {QStringLiteral("busytable"), QStringLiteral("Shekvetebi"),
                                      QStringLiteral("kerdzebi"), QStringLiteral("OFICIANTI"),
                                      QStringLiteral("uplebebi"), QStringLiteral("Parametres")};
    return names;
}

namespace {

QString sqliteTrigger(const QString& table, const char* event)
{
    const QString e = QString::fromLatin1(event);
    return QStringLiteral("create trigger if not exists cvlileba_%1_%2 after %3 on %1 begin "
                          "update cvlilebebi set versia = versia + 1 where cxrili = '%1'; end")
        .arg(table, e.left(1), e);
}

}  // namespace

QStringList Schema::ChangeFeed::createStatements(Engine engine)
{
    QStringList out;
    if (engine == Engine::SQLite) {
        out << QStringLiteral("create table if not exists cvlilebebi (cxrili text primary key, versia integer not null default 0)");
        for (const QString& t : followedTables()) {
            out << QStringLiteral("insert or ignore into cvlilebebi (cxrili, versia) values ('%1', 0)").arg(t);
            for (const char* event : {"insert", "update", "delete"})
                out << sqliteTrigger(t, event);
        }
        return out;
    }
    // One notification per statement and table; the server folds equal ones
    // of one transaction into one, delivered at its commit.
    out << QStringLiteral(
        "create or replace function kelvora_cvlileba() returns trigger language plpgsql as "
        "$$ begin perform pg_notify('kelvora_cvlilebebi', tg_table_name); return null; end $$");
    for (const QString& t : followedTables()) {
        out << QStringLiteral("drop trigger if exists cvlileba on %1").arg(t)
            << QStringLiteral("create trigger cvlileba after insert or update or delete or truncate on %1 "
                              "for each statement execute function kelvora_cvlileba()")
                   .arg(t);
    }
    return out;
}

bool Schema::ChangeFeed::installed(QSqlDatabase& db)
{
    QSqlQuery q(db);
    const bool pg = db.driverName() == QLatin1String("QPSQL");
    const QString sql = pg ? QStringLiteral("select count(*) from pg_trigger where tgname = 'cvlileba' and not tgisinternal")
                           : QStringLiteral("select (select count(*) from sqlite_master where type = 'trigger' "
                                            "and name like 'cvlileba_%') + (select count(*) from sqlite_master "
                                            "where type = 'table' and name = 'cvlilebebi')");
    if (!q.exec(sql) || !q.next())
        throw DbError(QStringLiteral("%1\n%2").arg(q.lastError().text(), sql));
    const qsizetype wanted = pg ? followedTables().size() : followedTables().size() * 3 + 1;
    return q.value(0).toLongLong() >= wanted;
}

QString Schema::ChangeFeed::listenStatement()
{
    return QStringLiteral("listen kelvora_cvlilebebi");
}

QString Schema::ChangeFeed::dataVersionQuery()
{
    return QStringLiteral("pragma data_version");
}

QString Schema::ChangeFeed::recordQuery()
{
    return QStringLiteral("select cxrili, versia from cvlilebebi");
}
