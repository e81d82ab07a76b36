#pragma once

#include "data/datalink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A PostgreSQL cluster of a test's own, for a test that stops, freezes or
// replaces its server (the script's server is shared by the tests beside it):
// a temporary folder, a free port of 127.0.0.1, run as the postgres user when
// the test runs as root (the server refuses root).
class PrivateCluster
{
public:
    PrivateCluster();
    ~PrivateCluster();
    PrivateCluster(const PrivateCluster&) = delete;
    PrivateCluster& operator=(const PrivateCluster&) = delete;

    // initdb and start; false (with the tool's output as a warning) when either fails.
    bool create();
    bool start();
    bool stop(const QString& mode = QStringLiteral("fast"));

    // Link to the database `database` (made by the test) as the cluster's superuser.
    DataLink link(const QString& database = QStringLiteral("postgres")) const;
    int port() const { return m_port; }
    QString user() const { return m_user; }
    QString folder() const { return m_dir.path(); }

    // Runs a server program of PostgreSQL (as postgres when root).
    bool pg(const QString& program, const QStringList& args) const;

    // A port of 127.0.0.1 no one listens on now.
    static int freePort();
    // The folder of the newest PostgreSQL server programs.
    static QString programs();

private:
    QString data() const;

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_user;
    int m_port = 0;
    bool m_running = false;
};
