#include "data/namedquery.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>

namespace {

const QString& conflictText()
{
    static const QString text = QStringLiteral(
        "ჩანაწერი სხვა სამუშაო ადგილიდან უკვე შეიცვალა ან წაიშალა. "
        "განაახლეთ სია და სცადეთ თავიდან.");
    return text;
}

[[noreturn]] void throwSql(const QSqlQuery& q)
{
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text();
    throw DbError(text);
}

SnapshotColumn::Store storeFor(const QSqlField& field)
{
    const QString name = field.name();
    if (Schema::isDateTimeColumn(name))
        return SnapshotColumn::Store::DateTime;
    if (Schema::isMoneyColumn(name))
        return SnapshotColumn::Store::Money;
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool: return SnapshotColumn::Store::Integer;
    case QMetaType::Double:
    case QMetaType::Float: return SnapshotColumn::Store::Float;
    case QMetaType::QString: return SnapshotColumn::Store::Text;
    case QMetaType::QDateTime:
    case QMetaType::QDate: return SnapshotColumn::Store::DateTime;
    default: return SnapshotColumn::Store::Variant;
    }
}

const Schema::Column* schemaColumn(const QString& table, const QString& column)
{
    for (const Schema::Table& t : Schema::tables()) {
        if (table.compare(QLatin1String(t.name), Qt::CaseInsensitive) != 0)
            continue;
        for (const Schema::Column& c : t.columns)
            if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
                return &c;
    }
    return nullptr;
}

QString dateText(const QDateTime& dt)
{
    return SnapshotColumn::sqlText(dt);
}

}  // namespace

NamedQuery::NamedQuery(const QString& name, const QString& sql, const QString& table, QObject* parent)
    : QObject(parent), m_name(name), m_sql(sql), m_table(table)
{
    setObjectName(name);
}

NamedQuery::~NamedQuery() = default;

void NamedQuery::setParam(const QString& name, const QString& value)
{
    m_sql.setParam(name, value);
}

void NamedQuery::setParam(const QString& name, qint64 value)
{
    m_sql.setParam(name, QString::number(value));
}

void NamedQuery::setParam(const QString& name, const QDate& day)
{
    m_sql.setParam(name, day.toString(QStringLiteral("yyyy-MM-dd")));
}

QString NamedQuery::param(const QString& name) const
{
    return m_sql.param(name);
}

void NamedQuery::open()
{
    if (isOpen())
        return;
    Q_EMIT aboutToOpen();
    QSqlDatabase db = Connection::database();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // PostgreSQL hands every value over as text; keep numerics exact (money).
    if (Connection::engineOf(db) == Engine::PostgreSQL)
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(m_sql.positional()))
        throwSql(q);
    m_sql.bindTo(q);
    if (!q.exec())
        throwSql(q);

    const QSqlRecord rec = q.record();
    m_fieldNames.clear();
    m_fieldIndex.clear();
    m_columns.clear();
    m_baseFields = rec.count();
    for (int i = 0; i < rec.count(); ++i) {
        m_fieldNames.push_back(rec.fieldName(i));
        m_fieldIndex.insert(rec.fieldName(i).toLower(), i);
        m_columns.emplace_back(storeFor(rec.field(i)));
    }
    for (const auto& [name, def] : m_computedDefs) {
        m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
        m_fieldNames.push_back(name);
    }
    m_display.clear();
    for (auto it = m_displayByName.cbegin(); it != m_displayByName.cend(); ++it) {
        const int f = fieldIndex(it.key());
        if (f >= 0)
            m_display[f] = it.value();
    }

    int rows = 0;
    const int n = m_baseFields;
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            m_columns[std::size_t(i)].append(q.value(i));
        ++rows;
    }
    if (q.lastError().isValid())
        throwSql(q);
    m_rows = rows;
    m_changes.clear();
    m_state = State::Browse;
    m_current = rows > 0 ? 0 : -1;
    m_eof = rows == 0;
    Q_EMIT opened();
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::close()
{
    if (!isOpen())
        return;
    m_state = State::Inactive;
    m_columns.clear();
    m_rows = 0;
    m_current = -1;
    m_eof = true;
    m_changes.clear();
    Q_EMIT closed();
}

void NamedQuery::refresh()
{
    if (!isOpen()) {
        open();
        return;
    }
    if (m_state != State::Browse)
        post();
    const int idField = fieldIndex(QStringLiteral("ID"));
    const QVariant id = (m_current >= 0 && idField >= 0) ? valueAt(m_current, idField) : QVariant();
    const int oldRow = m_current;
    close();
    open();
    if (m_rows == 0)
        return;
    int row = -1;
    if (!id.isNull() && idField >= 0) {
        for (int r = 0; r < m_rows && row < 0; ++r)
            if (valueAt(r, idField) == id)
                row = r;
    }
    if (row < 0)
        row = std::clamp(oldRow, 0, m_rows - 1);
    setCurrent(row);
}

void NamedQuery::setCurrent(int row)
{
    if (m_state == State::Edit || m_state == State::Insert) {
        const bool dropsRow = m_state == State::Insert && !isModified();
        if (isModified())
            post();
        else
            cancel();
        // The untouched insert was the last row and is gone: a move onto it
        // lands on the row before.
        if (dropsRow) {
            row = std::min(row, m_rows - 1);
            if (row < 0) {
                m_eof = true;
                return;
            }
        }
    }
    m_eof = false;
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::first()
{
    if (m_rows > 0)
        setCurrent(0);
    m_eof = m_rows == 0;
}

void NamedQuery::last()
{
    if (m_rows > 0)
        setCurrent(m_rows - 1);
    m_eof = m_rows == 0;
}

void NamedQuery::next()
{
    if (m_rows == 0 || m_current >= m_rows - 1) {
        if (m_state != State::Browse && m_state != State::Inactive)
            setCurrent(m_current);
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

void NamedQuery::prior()
{
    if (m_current > 0)
        setCurrent(m_current - 1);
}

void NamedQuery::moveTo(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    setCurrent(row);
}

int NamedQuery::fieldIndex(const QString& name) const
{
    return m_fieldIndex.value(name.toLower(), -1);
}

void NamedQuery::addComputedField(const QString& name, Compute compute, Display display)
{
    m_computedDefs.emplace_back(name, ComputedField{std::move(compute)});
    m_displayByName.insert(name.toLower(), display);
    if (isOpen()) {
        m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
        m_fieldNames.push_back(name);
        m_display[int(m_fieldNames.size()) - 1] = display;
    }
}

void NamedQuery::setDisplay(const QString& field, Display display)
{
    m_displayByName.insert(field.toLower(), display);
    const int f = fieldIndex(field);
    if (f >= 0)
        m_display[f] = display;
}

NamedQuery::Display NamedQuery::display(int field) const
{
    const auto it = m_display.find(field);
    return it == m_display.end() ? Display::Plain : it->second;
}

int NamedQuery::requireField(const QString& field) const
{
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    const int f = fieldIndex(field);
    if (f < 0)
        throw DbError(QStringLiteral("%1: ველი „%2“ ვერ მოიძებნა").arg(m_name, field));
    return f;
}

void NamedQuery::requireRow() const
{
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    if (m_current < 0 || m_current >= m_rows)
        throw DbError(QStringLiteral("%1: მიმდინარე ჩანაწერი არ არის").arg(m_name));
}

void NamedQuery::requireWritable(const char* what) const
{
    if (m_table.isEmpty())
        throw DbError(QStringLiteral("%1: ეს მონაცემები მხოლოდ საკითხავია (%2)")
                          .arg(m_name, QLatin1String(what)));
}

QVariant NamedQuery::valueAt(int row, int field) const
{
    if (row < 0 || row >= m_rows || field < 0 || field >= fieldCount())
        return QVariant();
    if (row == m_current && m_state != State::Browse) {
        const auto it = m_changes.find(field);
        if (it != m_changes.end())
            return it->second;
    }
    if (field < m_baseFields)
        return m_columns[std::size_t(field)].value(std::size_t(row));
    return m_computedDefs[std::size_t(field - m_baseFields)].second.compute(*this, row);
}

QVariant NamedQuery::value(const QString& field) const
{
    // A query without rows reads empty values ("busytables" of a table without
    // a row: Busy reads 0); only a closed query or an unknown field is an error.
    const int f = requireField(field);
    return valueAt(m_current, f);
}

bool NamedQuery::isNull(const QString& field) const
{
    return value(field).isNull();
}

QString NamedQuery::asString(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return QString();
    switch (v.metaType().id()) {
    case QMetaType::Double: return Formats::general(v.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? Formats::date(dt)
                                         : dt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }
    default:
        if (v.metaType() == QMetaType::fromType<Money>())
            return Formats::shortest(v.value<Money>());
        return v.toString();
    }
}

qint64 NamedQuery::asInteger(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().roundedHalfEven(0).raw() / Money::Scale;
    if (v.metaType().id() == QMetaType::Double)  // halves to even, as an amount does
        return qint64(std::nearbyint(v.toDouble()));
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("„%1“ არ არის მთელი რიცხვი").arg(v.toString()));
    return i;
}

double NamedQuery::asFloat(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().toDouble();
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw DbError(QStringLiteral("„%1“ არ არის რიცხვი").arg(v.toString()));
    return d;
}

Money NamedQuery::asMoney(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return Money();
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>();
    if (v.metaType().id() == QMetaType::QString) {
        const auto m = Money::parse(v.toString());
        if (!m)
            throw DbError(QStringLiteral("„%1“ არ არის თანხა").arg(v.toString()));
        return *m;
    }
    return Money::fromDoubleHalfEven(v.toDouble());
}

QDateTime NamedQuery::asDateTime(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return QDateTime();
    if (v.metaType().id() == QMetaType::QString) {
        QDateTime dt;
        if (!SnapshotColumn::parseIsoDateTime(v.toString(), &dt))
            throw DbError(QStringLiteral("„%1“ არ არის თარიღი").arg(v.toString()));
        return dt;
    }
    return v.toDateTime();
}

QString NamedQuery::displayText(int row, int field) const
{
    const QVariant v = valueAt(row, field);
    if (v.isNull())
        return QString();
    const bool isMoney = v.metaType() == QMetaType::fromType<Money>();
    switch (display(field)) {
    case Display::Money:
        return isMoney ? Formats::money(v.value<Money>()) : Formats::money(v.toDouble());
    case Display::UpToTwoDecimals:
        return Formats::upToTwoDecimals(isMoney ? v.value<Money>().toDouble() : v.toDouble());
    case Display::Date: return Formats::date(v.toDateTime());
    case Display::DateTime: return Formats::dateTime(v.toDateTime());
    case Display::Plain: break;
    }
    switch (v.metaType().id()) {
    case QMetaType::Double: return Formats::general(v.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? Formats::date(dt)
                                         : dt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }
    default:
        if (isMoney)
            return Formats::shortest(v.value<Money>());
        return v.toString();
    }
}

void NamedQuery::edit()
{
    requireWritable("edit");
    requireRow();
    if (m_state == State::Browse)
        m_state = State::Edit;
}

void NamedQuery::insert()
{
    requireWritable("insert");
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    if (m_state != State::Browse)
        setCurrent(m_current);  // posts or drops what is pending
    for (SnapshotColumn& c : m_columns)
        c.append(QVariant());
    ++m_rows;
    m_current = m_rows - 1;
    m_eof = false;
    m_state = State::Insert;
    m_changes.clear();
    Q_EMIT rowInserted(m_current);
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::setField(const QString& field, const QVariant& value)
{
    const int f = requireField(field);
    if (m_state != State::Edit && m_state != State::Insert)
        throw DbError(QStringLiteral("%1: ჩანაწერი არ არის რედაქტირების რეჟიმში").arg(m_name));
    if (f >= m_baseFields || tableColumn(f).isEmpty())
        throw DbError(QStringLiteral("%1: ველი „%2“ ვერ ჩაიწერება").arg(m_name, field));
    m_changes[f] = value;
    Q_EMIT rowChanged(m_current);
}

QString NamedQuery::tableColumn(int field) const
{
    if (field < 0 || field >= m_baseFields)
        return QString();
    const Schema::Column* c = schemaColumn(m_table, m_fieldNames[std::size_t(field)]);
    if (!c || c->type == Schema::ColumnType::AutoNumber)
        return QString();
    // Join results carry columns of other tables under their own names
    // (UPOVARI, tipi); only the table's own columns are written back.
    return QString::fromLatin1(c->name);
}

QVariant NamedQuery::sqlValue(int field, const QVariant& value) const
{
    const Schema::Column* c = schemaColumn(m_table, m_fieldNames[std::size_t(field)]);
    const QVariant nullText(QMetaType::fromType<QString>());
    if (value.isNull() || !c)
        return value.isNull() ? nullText : value;
    const bool isMoney = value.metaType() == QMetaType::fromType<Money>();
    switch (c->type) {
    case Schema::ColumnType::DateTime: {
        if (value.metaType().id() == QMetaType::QDate)
            return dateText(QDateTime(value.toDate(), QTime(0, 0)));
        if (value.metaType().id() == QMetaType::QDateTime)
            return value.toDateTime().isValid() ? QVariant(dateText(value.toDateTime())) : nullText;
        QDateTime dt;
        if (SnapshotColumn::parseDateTimeText(value.toString(), &dt))
            return dateText(dt);
        throw DbError(QStringLiteral("„%1“ არ არის თარიღი").arg(value.toString()));
    }
    case Schema::ColumnType::Money: {
        if (isMoney)
            return value.value<Money>().toSqlText();
        if (value.metaType().id() == QMetaType::QString) {
            const auto m = Money::parse(value.toString());
            if (!m)
                throw DbError(QStringLiteral("„%1“ არ არის თანხა").arg(value.toString()));
            return m->toSqlText();
        }
        return Money::fromDoubleHalfEven(value.toDouble()).toSqlText();
    }
    case Schema::ColumnType::Float: {
        if (isMoney)
            return value.value<Money>().toDouble();
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok)
            throw DbError(QStringLiteral("„%1“ არ არის რიცხვი").arg(value.toString()));
        return d;
    }
    case Schema::ColumnType::Integer:
    case Schema::ColumnType::AutoNumber: {
        bool ok = false;
        const qint64 i = value.toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("„%1“ არ არის მთელი რიცხვი").arg(value.toString()));
        return i;
    }
    case Schema::ColumnType::Text: return value.toString();
    }
    return value;
}

void NamedQuery::post()
{
    if (m_state == State::Insert)
        postInsert();
    else if (m_state == State::Edit)
        postEdit();
}

void NamedQuery::postEdit()
{
    if (m_changes.empty()) {
        m_state = State::Browse;
        return;
    }
    const int idField = fieldIndex(QStringLiteral("ID"));
    if (idField < 0 || idField >= m_baseFields)
        throw DbError(QStringLiteral("%1: ჩანაწერის გასაღები (ID) არ არის").arg(m_name));
    QSqlDatabase db = Connection::database();
    const bool pg = Connection::engineOf(db) == Engine::PostgreSQL;
    QStringList sets;
    QStringList checks;
    QList<QVariant> newValues;
    QList<QVariant> oldValues;
    for (const auto& [f, v] : m_changes) {
        const QString col = tableColumn(f);
        const Schema::Column* c = schemaColumn(m_table, col);
        const QVariant old = sqlValue(f, m_columns[std::size_t(f)].value(std::size_t(m_current)));
        sets << col + QStringLiteral(" = ?");
        newValues << sqlValue(f, v);
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
        throwSql(q);
    for (const QVariant& v : newValues)
        q.addBindValue(v);
    q.addBindValue(m_columns[std::size_t(idField)].value(std::size_t(m_current)));
    for (const QVariant& v : oldValues)
        q.addBindValue(v);
    if (!q.exec())
        throwSql(q);
    if (q.numRowsAffected() != 1)
        throw DbError(conflictText());
    for (const auto& [f, v] : m_changes)
        m_columns[std::size_t(f)].set(std::size_t(m_current), v);
    m_changes.clear();
    m_state = State::Browse;
    Q_EMIT rowChanged(m_current);
    Q_EMIT posted();
}

void NamedQuery::postInsert()
{
    QSqlDatabase db = Connection::database();
    const bool pg = Connection::engineOf(db) == Engine::PostgreSQL;
    QStringList cols;
    QStringList marks;
    QList<QVariant> values;
    for (const auto& [f, v] : m_changes) {
        cols << tableColumn(f);
        marks << QStringLiteral("?");
        values << sqlValue(f, v);
    }
    QString sql = cols.isEmpty()
                      ? QStringLiteral("insert into %1 default values").arg(m_table)
                      : QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(m_table, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (pg)
        sql += QStringLiteral(" returning ID");
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throwSql(q);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throwSql(q);
    QVariant id;
    if (pg) {
        if (q.next())
            id = q.value(0);
    } else {
        id = q.lastInsertId();
    }
    for (const auto& [f, v] : m_changes)
        m_columns[std::size_t(f)].set(std::size_t(m_current), v);
    const int idField = fieldIndex(QStringLiteral("ID"));
    if (idField >= 0 && idField < m_baseFields)
        m_columns[std::size_t(idField)].set(std::size_t(m_current), id);
    m_changes.clear();
    m_state = State::Browse;
    Q_EMIT rowChanged(m_current);
    Q_EMIT posted();
}

void NamedQuery::cancel()
{
    if (m_state == State::Insert) {
        const int row = m_current;
        Q_EMIT rowAboutToBeRemoved(row);
        for (SnapshotColumn& c : m_columns)
            c.remove(std::size_t(row));
        --m_rows;
        m_changes.clear();
        m_state = State::Browse;
        m_current = m_rows > 0 ? std::min(row, m_rows - 1) : -1;
        Q_EMIT rowRemoved(row);
        Q_EMIT currentChanged(m_current);
        return;
    }
    if (m_state == State::Edit) {
        m_changes.clear();
        m_state = State::Browse;
        Q_EMIT rowChanged(m_current);
    }
}

void NamedQuery::remove()
{
    requireWritable("delete");
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    requireRow();
    m_changes.clear();
    m_state = State::Browse;
    const int idField = fieldIndex(QStringLiteral("ID"));
    if (idField < 0 || idField >= m_baseFields)
        throw DbError(QStringLiteral("%1: ჩანაწერის გასაღები (ID) არ არის").arg(m_name));
    QSqlQuery q(Connection::database());
    if (!q.prepare(QStringLiteral("delete from %1 where ID = ?").arg(m_table)))
        throwSql(q);
    q.addBindValue(m_columns[std::size_t(idField)].value(std::size_t(m_current)));
    if (!q.exec())
        throwSql(q);
    if (q.numRowsAffected() != 1)
        throw DbError(conflictText());
    const int row = m_current;
    Q_EMIT rowAboutToBeRemoved(row);
    for (SnapshotColumn& c : m_columns)
        c.remove(std::size_t(row));
    --m_rows;
    m_current = m_rows > 0 ? std::min(row, m_rows - 1) : -1;
    m_eof = m_rows == 0;
    Q_EMIT rowRemoved(row);
    Q_EMIT currentChanged(m_current);
}
