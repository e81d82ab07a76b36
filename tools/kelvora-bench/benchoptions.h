#pragma once

#include "data/engine.h"

#include <QString>
#include <QStringList>
#include <vector>

class QCoreApplication;

// What one run of the benchmark does, read from the command line.
struct BenchOptions
{
    std::vector<Engine> engines;

    qint64 lines = 2000000;  // order lines of the generated history
    QString folder;          // where the SQLite file and the data link files live
    bool keep = false;       // leave the generated databases in place
    bool reuse = false;      // use a database of the same size left by an earlier run
    bool generateOnly = false;
    bool viaDataLayer = false;  // write the history row by row through the named queries

    int runs = 5;
    int warmups = 1;
    bool inProcess = false;  // run every operation in this process instead of one child each
    QStringList only;        // operations to run; empty runs all
    bool qtReader = false;   // the data layer reads through QSqlQuery only
    double rtt = 0;          // PostgreSQL: the writing actions also timed through a proxy of this round trip (ms)

    QString pgHost;
    int pgPort = 5432;
    QString pgUser;
    QString pgPassword;
    QString pgDatabase;  // empty: a name made from the size

    // Internal: run one operation and print its figures for the parent process.
    QString childOperation;
    Engine childEngine = Engine::SQLite;

    // Parses the arguments of `app`; prints help or an error and exits when asked to.
    static BenchOptions parse(const QCoreApplication& app);
};

QString engineName(Engine engine);
