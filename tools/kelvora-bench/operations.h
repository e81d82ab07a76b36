#pragma once

#include "data/engine.h"

#include <QDate>
#include <QString>
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
    QDate yearFirst;   // the twelve whole months before it
    QDate yearLast;
    QString cook;      // the cook with the most lines waiting

    // Reads the periods and the cook from the database.
    static BenchContext load(Engine engine, TDM* dm);
};

// One timed operation: what a screen does through the data layer, and the same
// SQL texts with the same values through a plain forward-only QSqlQuery that
// reads every value of every row and nothing more. Both return the rows read.
// A new operation is one more entry in operations().
struct Operation
{
    const char* name;
    const char* title;
    std::function<qint64(BenchContext&)> run;
    std::function<qint64(BenchContext&)> bare;
    // Targets at the full size of the history; PostgreSQL may take twice as long.
    std::optional<double> sqliteTargetMs;
    std::optional<double> peakTargetMb;
    double ratioTarget = 1.5;
};

const std::vector<Operation>& operations();
const Operation* findOperation(const QString& name);
