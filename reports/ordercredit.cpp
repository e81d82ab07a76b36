#include "reports/ordercredit.h"
#include "data/namedquery.h"

#include <QSet>

OrderCredit::OrderCredit(NamedQuery* clientCredits)
    : m_query(clientCredits) {}

void OrderCredit::reload()
{
    m_first.clear();
    m_query->reopen();
    const int number = m_query->fieldIndex(QStringLiteral("USERNUM"));
    const int nisia = m_query->fieldIndex(QStringLiteral("nisia"));
    // The rows come by ID, so the first row seen for a number is its first row.
    for (int r = 0; r < m_query->rowCount(); ++r) {
        const QString key = m_query->valueAt(r, number).toString();
        if (m_first.contains(key))
            continue;
        const QVariant v = m_query->valueAt(r, nisia);
        m_first.insert(key, v.isNull() ? Money() : Money::fromDoubleHalfEven(v.toDouble()));
    }
}

Money OrderCredit::of(qint64 order) const
{
    return m_first.value(QString::number(order));
}

Money OrderCredit::total(const QVector<qint64>& orders) const
{
    Money sum;
    QSet<qint64> seen;
    for (qint64 order : orders)
        if (!seen.contains(order)) {
            seen.insert(order);
            sum += of(order);
        }
    return sum;
}
