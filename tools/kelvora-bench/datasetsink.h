#pragma once

#include "tools/kelvora-bench/tablesink.h"

#include <functional>

class NamedQuery;

// Writes rows the way the screens do: insert on a named query, set the fields,
// post. The query is opened so that it lists no rows, and is reopened now and
// then so that its snapshot does not grow with everything written.
class DatasetSink : public TableSink
{
public:
    // `reopen` closes the query and opens it on an empty list.
    DatasetSink(NamedQuery* query, const QStringList& columns, std::function<void()> reopen);

    void flush() override {}

protected:
    void write(const QList<QVariant>& row) override;

private:
    NamedQuery* m_query;
    std::function<void()> m_reopen;
    int m_sinceReopen = 0;
};
