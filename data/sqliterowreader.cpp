#include "data/sqliterowreader.h"
#include "data/dberror.h"
#include "data/sqltext.h"

#include <QSqlDriver>
#include <memory>

sqlite3* SqliteRowReader::handle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

bool SqliteRowReader::read(QSqlDatabase& db, const SqlText& sqlText, Result* out)
{
    sqlite3* h = handle(db);
    if (!h)
        return false;
    const SqlText::Bound sql = sqlText.bound(SqlText::Marks::Question, true);
    const QByteArray text = sql.text.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK) {
        const QString engineText = QString::fromUtf8(sqlite3_errmsg(h));
        const QString fault = DbError::storageFaultText(sqlite3_errcode(h), QString(), engineText);
        throw DbError(fault.isEmpty() ? engineText : fault);
    }
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
        out->addColumn(name, storeFor(name, type));
    }
    int rows = 0;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st)) {
        for (int i = 0; i < n; ++i) {
            SnapshotColumn& c = out->columns[std::size_t(i)];
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
    out->rows = rows;
    return true;
}
