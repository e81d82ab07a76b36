#pragma once

#include "data/datalink.h"

#include <QString>
#include <optional>

// `kelvora-db standby`, run on the second machine: makes a new data folder a
// streaming standby of the primary that the data link file names (a base
// backup through the replication slot kelvora_standby, with the standby's
// settings written into it), optionally starts it and waits until it has
// caught up, and adds it to the data link file.
struct StandbyOptions
{
    QString udl;               // the data link file, naming the primary
    QString dataDir;           // new or empty: the standby's data folder
    DataLink::Server standby;  // this machine as the stations reach it
    bool start = false;        // start the standby's server from dataDir
    bool synchronous = false;  // every commit on the primary waits for the standby
};

// Prints its steps as it goes; returns the closing report. Throws ToolError
// (a data link file naming SQLite, a primary not ready, a folder in use) or DbError.
QString makeStandby(const StandbyOptions& options);

// `kelvora-db promote`, run when the primary is gone: promotes the standby
// (the one named, or the only one that answers) and says what the stations
// will do. Refuses while a primary still answers. Throws ToolError or DbError.
QString promoteStandby(const QString& udl, const std::optional<DataLink::Server>& which);
