#include "data/postgresrowreader.h"
#include "data/dberror.h"
#include "data/postgresstatement.h"
#include "data/sqltext.h"

#include <QDateTime>
#include <QSqlDriver>
#include <algorithm>
#include <charconv>
#include <memory>

PGconn* PostgresRowReader::handle(const QSqlDatabase& db)
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

bool PostgresRowReader::read(QSqlDatabase& db, const SqlText& sqlText, Result* out)
{
    PGconn* c = handle(db);
    // The connection must be free: a query of Qt's driver may still be handing
    // over its rows.
    if (!c || PQtransactionStatus(c) == PQTRANS_ACTIVE)
        return false;
    const SqlText::Bound sql = sqlText.bound(SqlText::Marks::Numbered, true);
    const QByteArray text = sql.text.toUtf8();
    const PostgresStatement::Params params(sql.values);
    if (!PQsendQueryParams(c, text.constData(), params.count(), nullptr, params.values(), nullptr, nullptr, 0))
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
                out->addColumn(name, storeFor(name, postgresMetaType(type)));
            }
        }
        if (other || !error.isEmpty())
            continue;
        const int n = int(types.size());
        const int tuples = PQntuples(r);
        for (int t = 0; t < tuples; ++t) {
            for (int i = 0; i < n; ++i) {
                SnapshotColumn& col = out->columns[std::size_t(i)];
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
        out->clear();
        return false;
    }
    out->rows = rows;
    return true;
}
