#pragma once

#include "data/engine.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <random>
#include <vector>

class TDM;
class TableSink;

// What a generation wrote and how long it took.
struct GenerationReport
{
    qint64 orderLines = 0;
    qint64 orders = 0;
    qint64 openLines = 0;
    qint64 deletions = 0;
    qint64 receipts = 0;
    qint64 credits = 0;
    double historySeconds = 0;  // the closed orders, deletions, receipts and credits
    double totalSeconds = 0;
    QString writer;
};

// Fills a new database with the life of a restaurant of 100 tables over two
// years: the menu of about 60 items with its kitchen routing, the waiters, some
// 300 orders a day of 6 to 10 lines, deletions, deliveries and credit, and
// today's open orders with lines waiting in the kitchen. Everything small goes
// through the named queries as the screens write it; the two years of closed
// orders go through batched prepared inserts that bind the very values the data
// layer binds (or through the named queries too when asked, much slower).
class HistoryGenerator
{
public:
    using Progress = std::function<void(const QString&)>;

    HistoryGenerator(TDM& dm, Engine engine, qint64 lines, bool viaDataLayer);
    ~HistoryGenerator();

    // The last day of the history, and the day its open orders belong to.
    static QDate lastDay();

    GenerationReport run(const QString& completeMarker, const Progress& progress);

private:
    struct Item
    {
        qint64 id = 0;
        QString name;
        QString type;
        double purchase = 0;
        double sale = 0;
        bool routed = false;  // its type has exactly one cook
    };

    void writeWaiters();
    void writeMenu();
    void writeRouting();
    void writeTables();
    void checkStoredForms();
    void writeHistory(const Progress& progress);
    void writeDay(const QDate& day, qint64 lineQuota, bool lastDay);
    void writeOrder(const QDate& day, int table);
    void writeDeliveries(const QDate& day);
    void clearTables();
    void writeOpenOrders();
    void setCounter(qint64 value);
    void finish(const QString& completeMarker);

    std::unique_ptr<TableSink> makeSink(const QString& table, const QStringList& columns, int rowsPerStatement);
    const Item& pickItem();
    int uniform(int low, int high);  // inclusive
    bool chance(double p);

    TDM& m_dm;
    Engine m_engine;
    qint64 m_lines;
    bool m_viaDataLayer;
    std::mt19937_64 m_random{20240601};

    std::vector<Item> m_items;
    std::discrete_distribution<int> m_itemPick;
    QStringList m_waiters;  // every waiter who ever served
    QStringList m_activeWaiters;
    std::vector<int> m_openTables;

    std::unique_ptr<TableSink> m_lineSink;
    std::unique_ptr<TableSink> m_delSink;
    std::unique_ptr<TableSink> m_receiptSink;
    std::unique_ptr<TableSink> m_creditSink;

    QDate m_day;  // the day being written, and its stored form
    QString m_dayText;
    qint64 m_order = 0;  // last order number handed out
    qint64 m_linesWritten = 0;
    qint64 m_openLines = 0;
    qint64 m_documents = 0;
    qint64 m_orders = 0;
};
