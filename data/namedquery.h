#pragma once

#include "data/engine.h"
#include "data/money.h"
#include "data/rowwriter.h"
#include "data/snapshotcolumn.h"
#include "data/sqltext.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <vector>

// A query of the catalogue with dataset behaviour: named text parameters kept
// across close and open, a static snapshot read when it is opened with a current
// row, computed and lookup fields, and editing of the current row written back to
// its one table by ID with an optimistic check on the values read.
class NamedQuery : public QObject
{
    Q_OBJECT

public:
    enum class State { Inactive,
                       Browse,
                       Edit,
                       Insert };
    enum class Display { Plain,
                         Money,
                         UpToTwoDecimals,
                         FixedTwo,
                         Date,
                         DateTime };
    using Compute = std::function<QVariant(const NamedQuery&, int row)>;

    // `table` names the table that edits are written back to; empty for a query
    // that is only read (sums, groupings).
    NamedQuery(const QString& name, const QString& sql, const QString& table, QObject* parent = nullptr);
    ~NamedQuery() override;

    const QString& name() const { return m_name; }
    const QString& sql() const { return m_sql.original(); }
    const QString& table() const { return m_table; }

    // Parameters: text, by name without regard to case.
    void setParam(const QString& name, const QString& value);
    void setParam(const QString& name, qint64 value);
    void setParam(const QString& name, const QDate& day);  // "YYYY-MM-DD"
    QString param(const QString& name) const;
    // The text with its parameters as it is sent to the engine (for the benchmark's bare run).
    const SqlText& sqlText() const { return m_sql; }

    // One named parameter of a re-run; the value in the form setParam gives it.
    struct Param
    {
        Param(const QString& name, const QString& value)
            : name(name), value(value) {}
        Param(const QString& name, const char* value)
            : name(name), value(QString::fromUtf8(value)) {}
        Param(const QString& name, qint64 value)
            : name(name), value(QString::number(value)) {}
        Param(const QString& name, int value)
            : name(name), value(QString::number(value)) {}
        Param(const QString& name, const QDate& day);
        QString name;
        QString value;
    };

    // The values of every parameter as they stand, for a query re-run with
    // other values for a while: restoreParams sets them all back (reopen then
    // reads with them).
    QList<Param> saveParams() const;
    void restoreParams(const QList<Param>& saved);

    void open();     // does nothing when already open
    void close();    // drops the snapshot and any unposted change
    void refresh();  // reads the rows again, keeping the position
    // Re-runs the query the way every screen does: close, set the given
    // parameters (the others keep their values), open.
    void reopen(std::initializer_list<Param> params = {});
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    // A change of the current row or a new row not yet posted.
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    // After a write that was rolled back: an open query drops what it holds
    // unposted and reads its rows again, so it shows what the database holds and
    // not what was undone. A read that fails (the database out of reach) is let
    // be: the error of the write is the one to show.
    void rereadAfterRollback();

    // Rows and the current row.
    int rowCount() const { return m_rows; }
    bool isEmpty() const { return m_rows == 0; }
    int recNo() const { return m_current; }  // -1 when there is no row
    void first();
    void last();
    void next();  // past the last row sets eof
    void prior();
    bool eof() const { return m_eof; }
    void moveTo(int row);

    // Fields: the result columns, then the computed and lookup fields.
    int fieldCount() const { return int(m_fieldNames.size()); }
    const QString& fieldName(int index) const { return m_fieldNames[std::size_t(index)]; }
    int fieldIndex(const QString& name) const;  // -1 when unknown
    void addComputedField(const QString& name, Compute compute, Display display = Display::Plain);
    void setDisplay(const QString& field, Display display);
    Display display(int field) const;

    // Values of the current row; reading from a closed query or an unknown field
    // throws, and a query without rows reads empty values.
    QVariant value(const QString& field) const;
    bool isNull(const QString& field) const;
    QString asString(const QString& field) const;      // empty value: ""
    qint64 asInteger(const QString& field) const;      // empty value: 0
    double asFloat(const QString& field) const;        // empty value: 0
    Money asMoney(const QString& field) const;         // empty value: 0
    QDateTime asDateTime(const QString& field) const;  // empty value: the null date-time

    // Values of any row (no current-row move); for grids and computed fields.
    QVariant valueAt(int row, int field) const;
    QString displayText(int row, int field) const;

    // Editing, written back to `table()` on post.
    void edit();
    void insert();  // a new empty row after the others, made current
    void setField(const QString& field, const QVariant& value);
    void post();
    void cancel();
    void remove();  // deletes the current row from the table and the snapshot
    bool isModified() const { return !m_changes.empty(); }

Q_SIGNALS:
    void aboutToOpen();
    void opened();
    void closed();
    void currentChanged(int row);
    void rowChanged(int row);  // a posted edit, or a field of the current row changed
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);  // the row is still in the snapshot
    void rowRemoved(int row);
    void posted();

private:
    struct ComputedField
    {
        Compute compute;
    };

    int requireField(const QString& field) const;
    void requireRow() const;
    void requireWritable(const char* what) const;
    QString tableColumn(int field) const;  // the table's spelling, or empty
    int requireIdField() const;
    void postInsert();
    void postEdit();
    // The posted values (and an inserted row's new ID) become the snapshot's.
    void keepPosted(const std::optional<QVariant>& newId);
    void setCurrent(int row);
    void putInKeyOrder();

    QString m_name;
    SqlText m_sql;
    QString m_table;
    RowWriter m_writer;
    State m_state = State::Inactive;

    std::vector<QString> m_fieldNames;
    QHash<QString, int> m_fieldIndex;  // lower-case name -> index
    int m_baseFields = 0;
    std::vector<SnapshotColumn> m_columns;
    std::vector<std::pair<QString, ComputedField>> m_computedDefs;
    std::map<int, Display> m_display;
    QHash<QString, Display> m_displayByName;
    int m_rows = 0;
    int m_current = -1;
    bool m_eof = true;

    std::map<int, QVariant> m_changes;  // field -> new value, while editing or inserting
};
