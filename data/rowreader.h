#pragma once

#include "data/snapshotcolumn.h"

#include <QSqlDatabase>
#include <QString>
#include <vector>

class SqlText;

// Reads the rows of a query into a snapshot. There is one reader per way of
// reading: through Qt's driver, and through each engine's own client library,
// which gives the same values several times faster.
class RowReader
{
public:
    // The result columns in order, their stores and the number of rows read.
    struct Result
    {
        std::vector<QString> names;
        std::vector<SnapshotColumn> columns;
        int rows = 0;

        void addColumn(const QString& name, SnapshotColumn::Store store);
        void clear();
    };

    virtual ~RowReader() = default;

    // Reads every row of `sql` with the parameter values it holds. Returns false,
    // with `out` empty, when this reader cannot read this query on `db`; throws
    // DbError with the engine's text when the engine refuses it.
    virtual bool read(QSqlDatabase& db, const SqlText& sql, Result* out) = 0;

    // Reads natively where the connection allows it, through Qt's driver otherwise.
    static Result readAll(QSqlDatabase& db, const SqlText& sql);

    // Off, every query reads through Qt's driver; for comparing the two.
    static void setNativeReading(bool on);
    // Whether queries on `db` are read natively now.
    static bool readsNatively(const QSqlDatabase& db);

protected:
    // The store of a result column: by the column's name where the schema says
    // it is a date-time or an amount, else by the type the driver gives it.
    static SnapshotColumn::Store storeFor(const QString& name, int metaType);
};
