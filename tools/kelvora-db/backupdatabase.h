#pragma once

#include "data/datalink.h"

#include <QString>

// `kelvora-db backup`: a consistent copy of an SQLite database made with the
// engine's online backup, so stations may go on working meanwhile. The copy is
// written beside `target` and renamed over it only when complete and checked;
// an existing target is replaced only with `force`. A PostgreSQL database is
// refused (pg_dump is its backup). Throws ToolError. Returns a line for the user.
QString backupDatabase(const DataLink& link, const QString& target, bool force);
