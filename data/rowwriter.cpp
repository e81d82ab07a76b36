#include "data/rowwriter.h"
#include "data/textlength.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/money.h"
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
        QSqlQuery q(db);
        if (!q.prepare(sql))
            throw DbError::fromQuery(q);
        for (const QVariant& v : newValues)
            q.addBindValue(v);
        q.addBindValue(id);
        for (const QVariant& v : oldValues)
            q.addBindValue(v);
        if (!q.exec())
            throw DbError::fromQuery(q);
        if (q.numRowsAffected() != 1)
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
        QSqlQuery q(db);
        if (!q.prepare(sql))
            throw DbError::fromQuery(q);
        for (const QVariant& v : bound)
            q.addBindValue(v);
        if (!q.exec())
            throw DbError::fromQuery(q);
        if (pg) {
            if (q.next())
                id = q.value(0);
        } else {
            id = q.lastInsertId();
        }
    });
    return id;
}

void RowWriter::remove(const QVariant& id) const
{
    Connection::run(Connection::Step::Write, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("delete from %1 where ID = ?").arg(m_table)))
            throw DbError::fromQuery(q);
        q.addBindValue(id);
        if (!q.exec())
            throw DbError::fromQuery(q);
        if (q.numRowsAffected() != 1)
            throw DbError(conflictText());
    });
}
