#pragma once

#include "data/money.h"

#include <QDate>
#include <QString>

class TDM;

// The sales report's search without its screen: the lines, their sums, the
// listed orders and their credit, read for one set of filter values.
class SalesSearch
{
public:
    // The filter values as the queries take them (patterns already made).
    struct Filter
    {
        QString usr = QStringLiteral("%");
        QString of = QStringLiteral("%");
        QString tb = QStringLiteral("%");
        QString das = QStringLiteral("%");
        QDate st;
        QDate en;
    };
    // What the summary shows besides the sums of sul_his_shek.
    struct Totals
    {
        int orders = 0;
        Money credit;   // each listed order once, with its whole client debt
        Money cash;     // SULGFASI less the credit
        Money service;  // the service charged on the listed lines that carry a rate
    };

    explicit SalesSearch(TDM* dm) : m_dm(dm) {}

    // Reopens History_shekvetebi, sul_his_shek and magidebis_raod with the
    // filter, then reads the credit of all listed orders at once.
    Totals run(const Filter& filter);

private:
    TDM* m_dm;
};
