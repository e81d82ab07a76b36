#pragma once

#include <QString>

// `kelvora-db check`: the first thing a support call needs, in one line.
struct CheckResult
{
    bool reachable = false;
    // Reachable: "reachable: SQLite 3.40.1, /srv/restaurant/kelvora.db, 12 orders (57 lines)".
    // Not: "not reachable: " and the reason on one line.
    QString line;
};

// Opens the database of the data link file `udl` as the program does (the
// connection kavshiri) and reads the engine's version and the order count.
CheckResult checkDatabase(const QString& udl);
