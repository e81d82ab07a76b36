#pragma once

#include "tests/race/rushfixture.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What must hold in the database after any rush, however the stations'
// operations interleaved or were cut short by a kill: checked by SQL on the
// tables and against the stations' logs. Each broken invariant names the rows
// that break it.
namespace Invariants {

struct Violation
{
    QString invariant;
    QStringList rows;
};

// The names of the invariants, in the order they are checked.
QStringList names();

// Checks every invariant on `db`, with the stock as the rush started and the
// logs of all stations that ran on it; `journalPath`, when given, is the fiscal
// driver simulator's journal of what it registered. Throws DbError when a
// check cannot run.
QList<Violation> check(QSqlDatabase db, const RushFixture::Stock& startStock, const QStringList& logPaths,
                       const QString& journalPath = QString());

// The violations as a report, the rows of each (at most `rowsEach`) indented below it.
QString describe(const QList<Violation>& violations, int rowsEach = 20);

}  // namespace Invariants
