#pragma once

#include "data/datalink.h"
#include "data/engine.h"
#include "data/setup.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh database for one test, on either engine: SQLite in a temporary folder,
// or a new database on the PostgreSQL server that the test script started
// (KELVORA_TEST_PGHOST/PGPORT/PGUSER). A missing server fails the test.
// The program's connection kavshiri is pointed at it through a kavshiri.udl
// written into the temporary folder.
class TestDb
{
public:
    // For initTestCase_data(): one global row per engine ("sqlite", "postgres").
    static void addEngineRows();
    // The engine of the running global row.
    static Engine currentEngine();

    explicit TestDb(Engine engine, const Setup::Settings& settings = {});
    ~TestDb();

    Engine engine() const { return m_engine; }
    const DataLink& link() const { return m_link; }
    QString folder() const { return m_dir.path(); }
    QString udlPath() const;

    // A further connection to the same database, as a second station would have.
    QSqlDatabase openStation(const QString& connectionName) const;
    // Runs one SQL text on a station's connection; fails the test on error.
    static void exec(QSqlDatabase db, const QString& sql);
    static QVariant scalar(QSqlDatabase db, const QString& sql);

private:
    Engine m_engine;
    QTemporaryDir m_dir;
    DataLink m_link;
    QString m_pgDatabase;
};
