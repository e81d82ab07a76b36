#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QString>

// The floor of a rush: a few tables, dishes of three kitchen departments served
// by one cook and one drink that no cook serves, each with a large stock.
namespace RushFixture {

constexpr int Tables = 8;
extern const QString Cook;

using Stock = QMap<qint64, double>;  // menu item ID -> stock

// Fills a new database (made by Setup) and returns the stock of every item as
// the rush starts. Throws DbError.
Stock prepare(QSqlDatabase db);

// The start stock kept beside the logs for a checker run in another process.
bool saveStock(const Stock& stock, const QString& path);
Stock loadStock(const QString& path);

}  // namespace RushFixture
