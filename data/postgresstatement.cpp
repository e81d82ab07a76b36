#include "data/postgresstatement.h"
#include "data/dberror.h"
#include "data/postgresrowreader.h"

#include <QDateTime>
#include <cmath>
#include <memory>

namespace PostgresStatement {

QByteArray text(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isnan(d))
            return QByteArrayLiteral("NaN");
        if (std::isinf(d))
            return d > 0 ? QByteArrayLiteral("Infinity") : QByteArrayLiteral("-Infinity");
        return QString::number(d, 'g', QLocale::FloatingPointShortest).toLatin1();
    }
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    case QMetaType::QDate: return value.toDate().toString(Qt::ISODate).toLatin1();
    default: return value.toString().toUtf8();
    }
}

Params::Params(const QList<QVariant>& values)
{
    m_held.reserve(std::size_t(values.size()));
    m_pointers.reserve(std::size_t(values.size()));
    for (const QVariant& v : values) {
        if (v.isNull()) {
            m_pointers.push_back(nullptr);
        } else {
            m_held.push_back(text(v));
            m_pointers.push_back(m_held.back().constData());
        }
    }
}

namespace {

QVariant firstValueOf(const PGresult* r)
{
    if (PQntuples(r) < 1 || PQnfields(r) < 1 || PQgetisnull(r, 0, 0))
        return QVariant();
    const QByteArray v(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0));
    // As Qt's driver types them: int4 an int, int8 a long long.
    switch (PQftype(r, 0)) {
    case 20: return QVariant(v.toLongLong());
    case 21:
    case 23: return QVariant(v.toInt());
    default: return QVariant(QString::fromUtf8(v));
    }
}

}  // namespace

bool run(QSqlDatabase& db, const QString& sql, const QList<QVariant>& values, Outcome* out)
{
    PGconn* c = PostgresRowReader::handle(db);
    if (!c || PQtransactionStatus(c) == PQTRANS_ACTIVE)
        return false;
    const QByteArray statement = sql.toUtf8();
    const Params params(values);
    if (!PQsendQueryParams(c, statement.constData(), params.count(), nullptr, params.values(), nullptr, nullptr, 0))
        throw DbError(QString::fromUtf8(PQerrorMessage(c)).trimmed());
    Outcome outcome;
    QString error;
    // Every result is taken, so that the connection is free for the next
    // statement whatever happens here.
    while (PGresult* r = PQgetResult(c)) {
        const std::unique_ptr<PGresult, void (*)(PGresult*)> clear(r, PQclear);
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            outcome.changed = QByteArray(PQcmdTuples(r)).toInt();
            if (status == PGRES_TUPLES_OK && outcome.firstValue.isNull())
                outcome.firstValue = firstValueOf(r);
        } else if (error.isEmpty()) {
            error = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
            if (error.isEmpty())
                error = QString::fromUtf8(PQerrorMessage(c)).trimmed();
        }
    }
    if (!error.isEmpty())
        throw DbError(error);
    if (out)
        *out = outcome;
    return true;
}

}  // namespace PostgresStatement
