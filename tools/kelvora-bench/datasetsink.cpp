#include "tools/kelvora-bench/datasetsink.h"
#include "data/namedquery.h"

DatasetSink::DatasetSink(NamedQuery* query, const QStringList& columns, std::function<void()> reopen)
    : TableSink(query->table(), columns), m_query(query), m_reopen(std::move(reopen))
{
    m_reopen();
}

void DatasetSink::write(const QList<QVariant>& row)
{
    if (++m_sinceReopen == 1000) {
        m_reopen();
        m_sinceReopen = 0;
    }
    m_query->insert();
    for (qsizetype i = 0; i < row.size(); ++i)
        if (!row[i].isNull())
            m_query->setField(columns()[i], row[i]);
    m_query->post();
}
