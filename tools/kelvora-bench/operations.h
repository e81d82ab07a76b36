#pragma once

#include "data/engine.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

class TDM;

// What the operations work on: the program's data module on the connection
// kavshiri, and the periods and names taken from the generated history.
struct BenchContext
{
    Engine engine = Engine::SQLite;
    TDM* dm = nullptr;
    QDate lastDay;     // the day of the open orders
    QDate monthFirst;  // the last whole month before it
    QDate monthLast;
    QDate yearFirst;  // the twelve whole months before it
    QDate yearLast;
    QString cook;       // the cook with the most lines waiting
    QString waiter;     // the waiter with the most lines on the waiter screen
    int busyTable = 0;  // the busy table with the most lines today
    // What adding dishes changes, to be put back afterwards.
    qint64 lastLineId = 0;
    qint64 dishId = 0;
    QVariant dishStock;

    // Reads the periods and the cook from the database.
    static BenchContext load(Engine engine, TDM* dm);
};

// One timed operation: what a screen does through the data layer, and the same
// SQL texts with the same values through a plain forward-only QSqlQuery that
// reads every value of every row and nothing more. Both return the rows read.
// An operation that writes has no bare counterpart. A new operation is one
// more entry in operations().
struct Operation
{
    const char* name;
    const char* title;
    std::function<qint64(BenchContext&)> run;
    std::function<qint64(BenchContext&)> bare;  // may be empty
    // Targets at the full size of the history; PostgreSQL may take twice as long.
    std::optional<double> sqliteTargetMs;
    std::optional<double> peakTargetMb;
    double ratioTarget = 1.5;
    // The quick operations of a station's day run many times, for a stable
    // median and a 95th percentile: at least this many timed runs.
    int minRuns = 0;
    // Made ready before the warm-up, untimed (the screen's state beforehand).
    std::function<void(BenchContext&)> prepare = {};
    // Run after the timed runs: undoes what the operation wrote, so that the
    // next operation and the next run find the database as generated.
    std::function<void(BenchContext&)> finish = {};
    // A station's writing action: the statements one run sends are counted
    // (PostgreSQL: round trips seen on the wire by the benchmark's proxy;
    // SQLite: statements begun), against this target.
    std::optional<int> statementTarget = {};
    // Made ready before each run, untimed and not counted (a new order to clear).
    std::function<void(BenchContext&)> beforeEach = {};
};

const std::vector<Operation>& operations();
const Operation* findOperation(const QString& name);
