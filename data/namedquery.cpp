#include "data/namedquery.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <libpq-fe.h>
#include <memory>
#include <sqlite3.h>

namespace {

bool g_nativeReading = true;

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

SnapshotColumn::Store storeFor(const QString& name, int metaType)
{
    if (Schema::isDateTimeColumn(name))
        return SnapshotColumn::Store::DateTime;
    if (Schema::isMoneyColumn(name))
        return SnapshotColumn::Store::Money;
    switch (metaType) {
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

NamedQuery::Param::Param(const QString& name, const QDate& day)
    : name(name), value(day.toString(QStringLiteral("yyyy-MM-dd")))
{
}

void NamedQuery::reopen(std::initializer_list<Param> params)
{
    close();
    for (const Param& p : params)
        m_sql.setParam(p.name, p.value);
    open();
}

QString NamedQuery::param(const QString& name) const
{
    return m_sql.param(name);
}

void NamedQuery::setNativeReading(bool on)
{
    g_nativeReading = on;
}

bool NamedQuery::nativeReading()
{
    return g_nativeReading;
}

namespace {

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

PGconn* postgresHandle(const QSqlDatabase& db)
{
    // Qt names the handle's type after the struct behind the typedef.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    PGconn* c = *static_cast<PGconn* const*>(handle.data());
    // Texts are taken as UTF-8, as Qt's driver asks for them.
    if (!c || PQstatus(c) != CONNECTION_OK || qstrcmp(pg_encoding_to_char(PQclientEncoding(c)), "UTF8") != 0)
        return nullptr;
    return c;
}

}  // namespace

bool NamedQuery::readsNatively(const QSqlDatabase& db)
{
    if (!g_nativeReading || !db.isOpen())
        return false;
    return Connection::engineOf(db) == Engine::SQLite ? sqliteHandle(db) != nullptr : postgresHandle(db) != nullptr;
}

void NamedQuery::addResultField(const QString& name, SnapshotColumn::Store store)
{
    m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
    m_fieldNames.push_back(name);
    m_columns.emplace_back(store);
}

void NamedQuery::open()
{
    if (isOpen())
        return;
    Q_EMIT aboutToOpen();
    QSqlDatabase db = Connection::database();
    const Engine engine = Connection::engineOf(db);
    m_fieldNames.clear();
    m_fieldIndex.clear();
    m_columns.clear();
    m_baseFields = 0;
    m_rows = 0;
    bool read = false;
    if (g_nativeReading)
        read = engine == Engine::SQLite ? readSqlite(db) : readPostgres(db);
    if (!read)
        readWithQt(db, engine);

    m_baseFields = int(m_fieldNames.size());
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
    m_changes.clear();
    m_state = State::Browse;
    m_current = m_rows > 0 ? 0 : -1;
    m_eof = m_rows == 0;
    Q_EMIT opened();
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::readWithQt(QSqlDatabase& db, Engine engine)
{
    const SqlText::Bound sql = m_sql.bound(SqlText::Marks::Question, true);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // PostgreSQL hands every value over as text; keep numerics exact (money).
    if (engine == Engine::PostgreSQL)
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(sql.text))
        throwSql(q);
    for (const QVariant& v : sql.values)
        q.addBindValue(v);
    if (!q.exec())
        throwSql(q);

    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        addResultField(rec.fieldName(i), storeFor(rec.field(i).name(), rec.field(i).metaType().id()));
    int rows = 0;
    const int n = rec.count();
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            m_columns[std::size_t(i)].append(q.value(i));
        ++rows;
    }
    if (q.lastError().isValid())
        throwSql(q);
    m_rows = rows;
}

bool NamedQuery::readSqlite(QSqlDatabase& db)
{
    sqlite3* h = sqliteHandle(db);
    if (!h)
        return false;
    const SqlText::Bound sql = m_sql.bound(SqlText::Marks::Question, true);
    const QByteArray text = sql.text.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(h)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalize(st, sqlite3_finalize);
    for (int i = 0; i < sql.values.size(); ++i) {
        const QVariant& v = sql.values[i];
        const int rc = v.isNull() ? sqlite3_bind_null(st, i + 1) : [&] {
            const QByteArray bytes = v.toString().toUtf8();
            return sqlite3_bind_text(st, i + 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        }();
        if (rc != SQLITE_OK)
            throw DbError(QString::fromUtf8(sqlite3_errmsg(h)));
    }
    const int n = sqlite3_column_count(st);
    int rc = sqlite3_step(st);
    // Qt's driver types a column by its declared type, or by the first row's
    // value where nothing is declared; the stores follow the same rule.
    for (int i = 0; i < n; ++i) {
        QString name = QString::fromUtf8(sqlite3_column_name(st, i));
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0)
            name = name.mid(dot + 1);
        const char* declared = sqlite3_column_decltype(st, i);
        int type = QMetaType::UnknownType;
        if (declared && *declared) {
            const QByteArray d = QByteArray(declared).toLower();
            if (d == "integer" || d == "int")
                type = QMetaType::Int;
            else if (d == "double" || d == "float" || d == "real" || d.startsWith("numeric"))
                type = QMetaType::Double;
            else if (d == "blob")
                type = QMetaType::QByteArray;
            else if (d == "boolean" || d == "bool")
                type = QMetaType::Bool;
            else
                type = QMetaType::QString;
        } else if (rc == SQLITE_ROW) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER: type = QMetaType::LongLong; break;
            case SQLITE_FLOAT: type = QMetaType::Double; break;
            case SQLITE_BLOB: type = QMetaType::QByteArray; break;
            case SQLITE_TEXT: type = QMetaType::QString; break;
            default: break;
            }
        }
        addResultField(name, storeFor(name, type));
    }
    int rows = 0;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st)) {
        for (int i = 0; i < n; ++i) {
            SnapshotColumn& c = m_columns[std::size_t(i)];
            // Where a value does not fit its store as it comes, it goes in as the
            // QVariant Qt's driver would have made of it.
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL: c.appendNull(); break;
            case SQLITE_INTEGER: {
                const sqlite3_int64 v = sqlite3_column_int64(st, i);
                if (!c.appendInteger(v))
                    c.append(QVariant(qlonglong(v)));
                break;
            }
            case SQLITE_FLOAT: {
                const double v = sqlite3_column_double(st, i);
                if (!c.appendFloat(v))
                    c.append(QVariant(v));
                break;
            }
            case SQLITE_BLOB: {
                const void* b = sqlite3_column_blob(st, i);
                c.append(QVariant(QByteArray(static_cast<const char*>(b), sqlite3_column_bytes(st, i))));
                break;
            }
            default: {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                const int len = sqlite3_column_bytes(st, i);
                if (!c.appendUtf8(t, len))
                    c.append(QVariant(QString::fromUtf8(t, len)));
            }
            }
        }
        ++rows;
    }
    if (rc != SQLITE_DONE)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(h)));
    m_rows = rows;
    return true;
}

namespace {

// PostgreSQL type oids, as Qt's driver types them.
constexpr Oid BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, RegprocOid = 24, OidOid = 26, XidOid = 28,
              CidOid = 29, Float4Oid = 700, Float8Oid = 701, DateOid = 1082, TimestampOid = 1114,
              NumericOid = 1700;
// Types Qt's driver reads into something other than a text, and that are not
// read here: a query with one of them is read through Qt.
constexpr Oid OtherOids[] = {17 /* bytea */, 702, 703, 1083 /* time */, 1184 /* timestamptz */, 1266 /* timetz */};

int postgresMetaType(Oid type)
{
    switch (type) {
    case BoolOid: return QMetaType::Bool;
    case Int8Oid: return QMetaType::LongLong;
    case Int2Oid:
    case Int4Oid:
    case RegprocOid:
    case OidOid:
    case XidOid:
    case CidOid: return QMetaType::Int;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: return QMetaType::Double;
    case DateOid: return QMetaType::QDate;
    case TimestampOid: return QMetaType::QDateTime;
    default: return QMetaType::QString;
    }
}

// The value Qt's driver makes of a PostgreSQL text (numerics at high precision).
QVariant postgresValue(Oid type, const char* v, int len)
{
    const QByteArray bytes = QByteArray::fromRawData(v, len);
    switch (postgresMetaType(type)) {
    case QMetaType::Bool: return QVariant(v[0] == 't');
    case QMetaType::LongLong: return QVariant(bytes.toLongLong());
    case QMetaType::Int: return QVariant(bytes.toInt());
    case QMetaType::Double:
        if (type == NumericOid)
            return QVariant(QString::fromLatin1(v, len));
        return QVariant(QString::fromLatin1(v, len).toDouble());
    case QMetaType::QDate: return QVariant(QDate::fromString(QString::fromLatin1(v, len), Qt::ISODate));
    case QMetaType::QDateTime: return QVariant(QDateTime::fromString(QString::fromLatin1(v, len), Qt::ISODate));
    default: return QVariant(QString::fromUtf8(v, len));
    }
}

bool plainDecimal(const char* v, int len)
{
    const int i = len > 0 && v[0] == '-' ? 1 : 0;
    return i < len && v[i] >= '0' && v[i] <= '9';
}

}  // namespace

bool NamedQuery::readPostgres(QSqlDatabase& db)
{
    PGconn* c = postgresHandle(db);
    // The connection must be free: a query of Qt's driver may still be handing
    // over its rows.
    if (!c || PQtransactionStatus(c) == PQTRANS_ACTIVE)
        return false;
    const SqlText::Bound sql = m_sql.bound(SqlText::Marks::Numbered, true);
    const QByteArray text = sql.text.toUtf8();
    std::vector<QByteArray> held;
    held.reserve(std::size_t(sql.values.size()));
    std::vector<const char*> params;
    for (const QVariant& v : sql.values) {
        if (v.isNull()) {
            params.push_back(nullptr);
        } else {
            held.push_back(v.toString().toUtf8());
            params.push_back(held.back().constData());
        }
    }
    if (!PQsendQueryParams(c, text.constData(), int(params.size()), nullptr, params.data(), nullptr, nullptr, 0))
        throw DbError(QString::fromUtf8(PQerrorMessage(c)).trimmed());
    PQsetSingleRowMode(c);

    bool described = false;
    bool other = false;
    std::vector<Oid> types;
    int rows = 0;
    QString error;
    // Every result is taken, so that the connection is free for the next query
    // whatever happens here.
    while (PGresult* r = PQgetResult(c)) {
        const std::unique_ptr<PGresult, void (*)(PGresult*)> clear(r, PQclear);
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            if (status != PGRES_COMMAND_OK && error.isEmpty())
                error = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
            continue;
        }
        if (!described) {
            described = true;
            const int n = PQnfields(r);
            for (int i = 0; i < n; ++i) {
                const Oid type = PQftype(r, i);
                if (std::find(std::begin(OtherOids), std::end(OtherOids), type) != std::end(OtherOids))
                    other = true;
                types.push_back(type);
                const QString name = QString::fromUtf8(PQfname(r, i));
                addResultField(name, storeFor(name, postgresMetaType(type)));
            }
        }
        if (other || !error.isEmpty())
            continue;
        const int n = int(types.size());
        const int tuples = PQntuples(r);
        for (int t = 0; t < tuples; ++t) {
            for (int i = 0; i < n; ++i) {
                SnapshotColumn& col = m_columns[std::size_t(i)];
                if (PQgetisnull(r, t, i)) {
                    col.appendNull();
                    continue;
                }
                const char* v = PQgetvalue(r, t, i);
                const int len = PQgetlength(r, t, i);
                const Oid type = types[std::size_t(i)];
                bool done = false;
                switch (col.store()) {
                case SnapshotColumn::Store::Integer:
                    if (type != BoolOid && type != XidOid && type != CidOid) {
                        std::int64_t x = 0;
                        const auto [end, ec] = std::from_chars(v, v + len, x);
                        done = ec == std::errc() && end == v + len && col.appendInteger(x);
                    }
                    break;
                case SnapshotColumn::Store::Float:
                    if (plainDecimal(v, len)) {
                        double x = 0;
                        const auto [end, ec] = std::from_chars(v, v + len, x);
                        done = ec == std::errc() && end == v + len && col.appendFloat(x);
                    }
                    break;
                case SnapshotColumn::Store::Money:
                    // Qt hands a numeric over as its text; any other type goes the long way.
                    done = type == NumericOid && col.appendUtf8(v, len);
                    break;
                case SnapshotColumn::Store::Text:
                case SnapshotColumn::Store::DateTime: done = col.appendUtf8(v, len); break;
                case SnapshotColumn::Store::Variant: break;
                }
                if (!done)
                    col.append(postgresValue(type, v, len));
            }
            ++rows;
        }
    }
    if (!error.isEmpty())
        throw DbError(error);
    if (other) {
        m_fieldNames.clear();
        m_fieldIndex.clear();
        m_columns.clear();
        return false;
    }
    m_rows = rows;
    return true;
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
