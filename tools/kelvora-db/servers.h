#pragma once

#include "data/datalink.h"

#include <QList>
#include <QString>
#include <QStringList>

// What each PostgreSQL server of a data link file is now: reachable or not,
// primary or standby, how far a standby is behind, whether the link to it is
// encrypted. Read by check, standby and promote; nothing is written.
struct ServerState
{
    DataLink::Server server;
    bool reachable = false;
    QString error;  // why not, on one line
    bool primary = false;
    bool encrypted = false;
    QString tls;  // the TLS version of an encrypted link
    QString lsn;  // primary: its WAL position now; standby: what it has replayed
    // Standby: what it has received but not replayed, and how far behind the
    // primary it is (bytes; seconds since the last transaction it replayed).
    qint64 bytesBehind = -1;
    double secondsBehind = -1;
    // Primary: synchronous_standby_names, the standbys streaming from it
    // ("name state sync_state") and its replication slots no standby uses.
    QString synchronousNames;
    QStringList streaming;
    QStringList idleSlots;

    QString address() const;
};

// Every server of `link`, the primary's WAL position read before the
// standbys', so a standby's distance is measured against it.
QList<ServerState> probeServers(const DataLink& link);

// The one line that `check` prints for a server.
QString describeServer(const ServerState& state);

// The replication slot and application name a standby made by kelvora-db uses.
inline constexpr const char* StandbyName = "kelvora_standby";
