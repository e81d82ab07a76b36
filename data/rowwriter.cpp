#include "data/rowwriter.h"
#include "data/textlength.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/money.h"
#include "data/postgresstatement.h"
#include "data/schema.h"
#include "data/values.h"

#include <QSqlQuery>
#include <QStringList>

namespace {

const QString& conflictText()
{
    static const QString text = QStringLiteral(
        "ჩანაწერი სხვა სამუშაო ადგილიდან უკვე შეიცვალა ან წაიშალა. "
        "განაახლეთ სია და სცადეთ თავიდან.");
    return text;
}

// What a statement of the writer did: the rows it changed, and the first value
// it returned (an inserted row's ID).
struct Written
{
    int changed = 0;
    QVariant returned;
};

// Runs a statement the writer built, its placeholders "?": on PostgreSQL in one
// round trip through libpq where the connection allows it, else through Qt's
// driver. The texts hold only the schema's names, so every "?" is a placeholder.
Written execute(QSqlDatabase& db, const QString& sql, const QList<QVariant>& values, bool returnsId)
{
    Written written;
    if (Connection::engineOf(db) == Engine::PostgreSQL) {
        QString numbered;
        numbered.reserve(sql.size() + 2 * values.size());
        int n = 0;
        for (const QChar c : sql) {
            if (c == u'?')
                numbered += u'$' + QString::number(++n);
            else
                numbered += c;
        }
        PostgresStatement::Outcome outcome;
        if (PostgresStatement::run(db, numbered, values, &outcome)) {
            written.changed = outcome.changed;
            written.returned = outcome.firstValue;
            return written;
        }
    }
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DbError::fromQuery(q);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError::fromQuery(q);
    written.changed = q.numRowsAffected();
    if (returnsId && Connection::engineOf(db) == Engine::PostgreSQL)
        written.returned = q.next() ? q.value(0) : QVariant();
    else if (returnsId)
        written.returned = q.lastInsertId();
    return written;
}

}  // namespace

QString RowWriter::column(const QString& field) const
{
    const Schema::Column* c = Schema::findColumn(m_table, field);
    if (!c || c->type == Schema::ColumnType::AutoNumber)
        return QString();
    // Join results carry columns of other tables under their own names
    // (UPOVARI, tipi); only the table's own columns are written back.
    return QString::fromLatin1(c->name);
}

void RowWriter::requireFits(const QString& field, const QVariant& value) const
{
    if (value.isNull())
        return;
    const QString text = value.toString();
    if (const int limit = TextLength::overLimit(m_table, field, text)) {
        const Schema::Column* c = Schema::findColumn(m_table, field);
        throw DbError(TextLength::tooLongText(QString::fromLatin1(c->name), limit, TextLength::length(text)));
    }
}

QVariant RowWriter::sqlValue(const QString& field, const QVariant& value) const
{
    if (const Schema::Column* c = Schema::findColumn(m_table, field))
        return Values::toStored(c->type, value);
    // A field the schema does not know goes as it is.
    return value.isNull() ? QVariant(QMetaType::fromType<QString>()) : value;
}

void RowWriter::update(const QVariant& id, const std::vector<Change>& changes) const
{
    for (const Change& change : changes)
        requireFits(change.field, change.newValue);
    Connection::run(Connection::Step::Write, [&](QSqlDatabase& db) {
        const bool pg = Connection::engineOf(db) == Engine::PostgreSQL;
        QStringList sets;
        QStringList checks;
        QList<QVariant> newValues;
        QList<QVariant> oldValues;
        for (const Change& change : changes) {
            const QString col = column(change.field);
            const Schema::Column* c = Schema::findColumn(m_table, col);
            const QVariant old = sqlValue(change.field, change.oldValue);
            sets << col + QStringLiteral(" = ?");
            newValues << sqlValue(change.field, change.newValue);
            if (pg) {
                checks << col + QStringLiteral(" is not distinct from ?");
                oldValues << old;
            } else if (c && c->type == Schema::ColumnType::Money) {
                // SQLite keeps the amount as text, and not every writer spells it
                // "12.3400" ("12.34", "0"): compare the amounts, not the texts.
                checks << QStringLiteral("coalesce(abs(cast(%1 as real) - ?) < 0.00005, %1 is null and ? is null)").arg(col);
                oldValues << (old.isNull() ? old : QVariant(Money::parse(old.toString())->toDouble())) << old;
            } else if (c && c->type == Schema::ColumnType::DateTime) {
                // Likewise a moment may be stored as "2024-06-08T12:00:00" or a day
                // as "2024-06-08 00:00:00": compare the moments.
                checks << QStringLiteral("datetime(%1) is datetime(?)").arg(col);
                oldValues << old;
            } else {
                checks << col + QStringLiteral(" is ?");
                oldValues << old;
            }
        }
        const QString sql = QStringLiteral("update %1 set %2 where ID = ? and %3")
                                .arg(m_table, sets.join(QStringLiteral(", ")),
                                     checks.join(QStringLiteral(" and ")));
        QList<QVariant> bound = newValues;
        bound << id;
        bound << oldValues;
        if (execute(db, sql, bound, false).changed != 1)
            throw DbError(conflictText());
    });
}

QVariant RowWriter::insert(const std::vector<std::pair<QString, QVariant>>& values) const
{
    for (const auto& [field, v] : values)
        requireFits(field, v);
    QVariant id;
    Connection::run(Connection::Step::Write, [&](QSqlDatabase& db) {
        const bool pg = Connection::engineOf(db) == Engine::PostgreSQL;
        QStringList cols;
        QStringList marks;
        QList<QVariant> bound;
        for (const auto& [field, v] : values) {
            cols << column(field);
            marks << QStringLiteral("?");
            bound << sqlValue(field, v);
        }
        QString sql = cols.isEmpty()
                          ? QStringLiteral("insert into %1 default values").arg(m_table)
                          : QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(m_table, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        if (pg)
            sql += QStringLiteral(" returning ID");
        id = execute(db, sql, bound, true).returned;
    });
    return id;
}

void RowWriter::remove(const QVariant& id) const
{
    Connection::run(Connection::Step::Write, [&](QSqlDatabase& db) {
        if (execute(db, QStringLiteral("delete from %1 where ID = ?").arg(m_table), {id}, false).changed != 1)
            throw DbError(conflictText());
    });
}
