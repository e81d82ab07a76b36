#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QString>

// The floor of a rush: a few tables, dishes of three kitchen departments served
// by one cook and one drink that no cook serves, each with a large stock; one
// table more where dishes are only added and the bill registered with the
// fiscal printer (so its registered amount can never rightly pass its bill),
// and one goods item that is only received, on consignment, never sold.
namespace RushFixture {

constexpr int Tables = 8;
constexpr int PrintTable = Tables + 1;
extern const QString Cook;
extern const QString ReceivedItem;  // the name of the item only received
extern const QString Supplier;      // who delivers it

using Stock = QMap<qint64, double>;  // menu item ID -> stock

// Fills a new database (made by Setup) and returns the stock of every item as
// the rush starts. With `fiscalFolder` the fiscal driver's command and answer
// files are set there. Throws DbError.
Stock prepare(QSqlDatabase db, const QString& fiscalFolder = QString());

// The start stock kept beside the logs for a checker run in another process.
bool saveStock(const Stock& stock, const QString& path);
Stock loadStock(const QString& path);

}  // namespace RushFixture
