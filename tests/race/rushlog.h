#pragma once

#include <QFile>
#include <QHash>
#include <QList>
#include <QString>

// The log of one rush station: one line per operation, tab-separated, written
// and flushed as soon as it is known, so that a station killed with -9 loses at
// most the operation it was in. A line reads
//   OP <tab> OUTCOME <tab> at=MILLISECONDS <tab> key=value ... [<tab> text=...]
// with OUTCOME "try" (about to start: the dish of an add, the lines of a bill),
// "ok", "refused" or "fault". An operation whose "try" has no outcome after it
// was cut short by a kill.
namespace RushLog {

struct Entry
{
    QString op;
    QString outcome;
    QHash<QString, QString> fields;
    QString text;  // the error text of a refusal or a fault

    qint64 number(const QString& key) const { return fields.value(key).toLongLong(); }
    double quantity(const QString& key) const { return fields.value(key).toDouble(); }
};

struct Counts
{
    int done = 0;
    int refused = 0;
    int faults = 0;
    int cut = 0;  // cut short by a kill
};

class Writer
{
public:
    explicit Writer(const QString& path);
    bool isOpen() const { return m_file.isOpen(); }
    void write(const QString& op, const QString& outcome, const QList<std::pair<QString, QString>>& fields,
               const QString& text = QString());

private:
    QFile m_file;
};

// Reads one station's log. A last line without its line end (the station was
// killed while writing it) is left out.
QList<Entry> read(const QString& path);

Counts count(const QList<Entry>& entries);

// How long the operations took (the "ms" of every outcome), and what the
// slowest of each kind took.
struct Times
{
    QList<qint64> all;             // milliseconds, in no order
    QHash<QString, qint64> worst;  // by operation
    void add(const QList<Entry>& entries);
    // The value at `fraction` (0.5, 0.99, 1) of the sorted times; 0 when none.
    qint64 percentile(double fraction) const;
};

}  // namespace RushLog
