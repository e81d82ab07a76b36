#include "tools/kelvora-bench/batchsink.h"
#include "data/dberror.h"
#include "data/money.h"

#include <QDateTime>
#include <QSqlError>

namespace {

const Schema::Table& schemaTable(const QString& name)
{
    for (const Schema::Table& t : Schema::tables())
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return t;
    throw DbError(QStringLiteral("unknown table %1").arg(name));
}

Schema::ColumnType columnType(const Schema::Table& table, const QString& column)
{
    for (const Schema::Column& c : table.columns)
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.type;
    throw DbError(QStringLiteral("unknown column %1.%2").arg(QLatin1String(table.name), column));
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" of a valid day.
bool isIsoMoment(const QString& text)
{
    if (text.size() != 10 && text.size() != 19)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool sep = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        const QChar want = i == 4 || i == 7 ? u'-' : i == 10 ? u' '
                                                             : u':';
        if (sep ? c != want : !c.isDigit())
            return false;
    }
    return QDate::fromString(text.left(10), Qt::ISODate).isValid();
}

}  // namespace

BatchSink::BatchSink(QSqlDatabase db, const QString& table, const QStringList& columns, int rowsPerStatement)
    : TableSink(table, columns), m_db(db), m_rowsPerStatement(rowsPerStatement)
{
    const Schema::Table& t = schemaTable(table);
    for (const QString& c : columns)
        m_types.push_back(columnType(t, c));
    m_pending.reserve(qsizetype(columns.size()) * rowsPerStatement);
}

BatchSink::~BatchSink() = default;

QVariant BatchSink::storedForm(Schema::ColumnType type, const QVariant& value)
{
    using T = Schema::ColumnType;
    if (value.isNull())
        return QVariant(QMetaType::fromType<QString>());
    switch (type) {
    case T::DateTime: {
        if (value.metaType().id() == QMetaType::QString) {
            // Already in a stored form; a midnight is written as the day alone.
            const QString text = value.toString();
            if (isIsoMoment(text))
                return text.endsWith(QLatin1String(" 00:00:00")) ? text.left(10) : text;
        }
        const QDateTime dt = value.metaType().id() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                                       : value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case T::Money:
        if (value.metaType() == QMetaType::fromType<Money>())
            return value.value<Money>().toSqlText();
        return Money::fromDoubleHalfEven(value.toDouble()).toSqlText();
    case T::Float: return value.toDouble();
    case T::Integer:
    case T::AutoNumber: return value.toLongLong();
    case T::Text: return value.toString();
    }
    return value;
}

QString BatchSink::insertText(int rows) const
{
    QString one = QStringLiteral("(");
    for (qsizetype i = 0; i < columns().size(); ++i)
        one += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    one += u')';
    QStringList all;
    all.reserve(rows);
    for (int r = 0; r < rows; ++r)
        all << one;
    return QStringLiteral("insert into %1 (%2) values %3")
        .arg(table(), columns().join(QStringLiteral(", ")), all.join(QStringLiteral(", ")));
}

void BatchSink::execute(QSqlQuery& q, int rows)
{
    const int n = rows * int(columns().size());
    for (int i = 0; i < n; ++i)
        q.bindValue(i, m_pending[i]);
    if (!q.exec())
        throw DbError(QStringLiteral("%1: %2").arg(table(), q.lastError().text()));
    m_pending.clear();
}

void BatchSink::write(const QList<QVariant>& row)
{
    for (qsizetype i = 0; i < row.size(); ++i)
        m_pending.append(storedForm(m_types[std::size_t(i)], row[i]));
    if (m_pending.size() < qsizetype(columns().size()) * m_rowsPerStatement)
        return;
    if (!m_full) {
        m_full = std::make_unique<QSqlQuery>(m_db);
        if (!m_full->prepare(insertText(m_rowsPerStatement)))
            throw DbError(QStringLiteral("%1: %2").arg(table(), m_full->lastError().text()));
    }
    execute(*m_full, m_rowsPerStatement);
}

void BatchSink::flush()
{
    if (m_pending.isEmpty())
        return;
    const int rows = int(m_pending.size() / columns().size());
    QSqlQuery q(m_db);
    if (!q.prepare(insertText(rows)))
        throw DbError(QStringLiteral("%1: %2").arg(table(), q.lastError().text()));
    execute(q, rows);
}
