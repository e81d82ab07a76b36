#pragma once

#include <QString>
#include <QStringList>

// `kelvora-db check`: the first thing a support call needs, in one line.
struct CheckResult
{
    bool reachable = false;
    // Reachable: "reachable: SQLite 3.40.1, /srv/restaurant/kelvora.db, 12 orders (57 lines)".
    // Not: "not reachable: " and the reason on one line.
    QString line;
    // PostgreSQL: one line per server of the data link file (see describeServer),
    // then warnings: a password file others may read, a standby that writes wait
    // for and that is gone, a replication slot no standby uses.
    QStringList details;
};

// Opens the database of the data link file `udl` as the program does (the
// connection kavshiri) and reads the engine's version and the order count.
CheckResult checkDatabase(const QString& udl);
