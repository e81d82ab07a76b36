#pragma once

#include "data/datalink.h"
#include "data/engine.h"

#include <QString>

struct BenchOptions;

// The database of one engine that the benchmark fills and reads: an SQLite file
// in the benchmark's folder, or a database of its own on the PostgreSQL server.
// A data link file beside it points the program's connection at it.
class BenchDatabase
{
public:
    BenchDatabase(Engine engine, const BenchOptions& options);

    Engine engine() const { return m_engine; }
    const DataLink& link() const { return m_link; }
    QString udlPath() const { return m_udlPath; }
    QString where() const;  // the file, or host:port/database
    qint64 sizeBytes() const;

    // True when a finished generation of this size is there.
    bool isComplete() const;
    // Drops whatever is there and makes an empty database; writes the data link file.
    void recreate();
    void drop();
    // Points the program's connection kavshiri at this database.
    void useAsProgramConnection() const;
    // Points it at the same PostgreSQL database through the benchmark's proxy
    // listening on `port` of 127.0.0.1.
    void useThroughProxy(int port) const;

    // Written into Parametres.dawesebuleba as the last step of a generation.
    static QString completeMarker(qint64 lines);

private:
    DataLink adminLink() const;

    Engine m_engine;
    qint64 m_lines;
    DataLink m_link;
    QString m_udlPath;
};
