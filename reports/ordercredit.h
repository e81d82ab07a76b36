#pragma once

#include "data/money.h"

#include <QHash>
#include <QString>
#include <QVector>

class NamedQuery;

// The credit of a set of orders, read in one pass over the client credit rows:
// each order counts once, with the nisia of its first client credit row (the
// lowest ID), or 0 when it has none. A supplier's consignment row that carries
// the same number as an order is a different document and never counts.
class OrderCredit
{
public:
    // `clientCredits` is the catalogue's klientis_nisiebi (the client rows by ID).
    explicit OrderCredit(NamedQuery* clientCredits);

    // Reads the client credit rows afresh.
    void reload();
    // The credit of one order (0 without a row).
    Money of(qint64 order) const;
    // The sum over the given orders, each number counted once.
    Money total(const QVector<qint64>& orders) const;

private:
    NamedQuery* m_query;
    QHash<QString, Money> m_first;  // ledger number -> nisia of its first client row
};
