#pragma once

#include "data/money.h"

#include <QDate>
#include <QString>
#include <QVariant>

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
    // What the summary shows. The four sums are sul_his_shek's, null when no
    // line has a value, derived from the listed lines themselves; the summary
    // shows the listed amounts' sums instead, which add up on the screen.
    struct Totals
    {
        QVariant quantity;     // SULRAODENOBA
        QVariant cost;         // SULAFASI
        QVariant withService;  // SULGFASI: lines of open tables (no rate) add nothing
        QVariant takings;      // SULGF
        int orders = 0;
        // The sums of the amounts as the grid lists them, each line in cents
        // (halves away from zero): the cost column, the price column (a line of
        // an open table at its price, no service yet) and the lines' prices
        // without service. Nothing listed: all three are empty.
        bool listed = false;
        Money listedCost;         // the sum of "თვით ღირ სულ"
        Money listedWithService;  // the sum of "სულ ფასი"
        Money listedTakings;      // the same lines without their service
        Money credit;             // each listed order once, with its whole client debt
        Money cash;               // the listed takings with service less the credit
        Money service;            // the listed takings with service less those without
    };

    explicit SalesSearch(TDM* dm)
        : m_dm(dm) {}

    // Reopens History_shekvetebi with the filter and derives the sums and the
    // distinct orders from its rows, in one scan of the period instead of three;
    // sul_his_shek and magidebis_raod are left closed with the same filter, so
    // whoever opens them reads the same figures. Then reads the credit of all
    // listed orders at once.
    Totals run(const Filter& filter);

private:
    TDM* m_dm;
};
