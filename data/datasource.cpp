#include "data/datasource.h"
#include "data/namedquery.h"

DataSource::DataSource(const QString& name, NamedQuery* dataSet, QObject* parent)
    : QObject(parent), m_dataSet(dataSet)
{
    setObjectName(name);
    auto pass = [this](auto signal) {
        return [this, signal](auto... args) {
            if (m_disabled > 0)
                return;
            (this->*signal)(args...);
            if (m_dataSet->isOpen())
                Q_EMIT dataChange();
        };
    };
    connect(dataSet, &NamedQuery::opened, this, pass(&DataSource::reset));
    connect(dataSet, &NamedQuery::closed, this, [this] {
        if (m_disabled == 0)
            Q_EMIT reset();
    });
    connect(dataSet, &NamedQuery::rowChanged, this, pass(&DataSource::rowChanged));
    connect(dataSet, &NamedQuery::rowInserted, this, pass(&DataSource::rowInserted));
    connect(dataSet, &NamedQuery::rowAboutToBeRemoved, this, [this](int row) {
        if (m_disabled == 0)
            Q_EMIT rowAboutToBeRemoved(row);
    });
    connect(dataSet, &NamedQuery::rowRemoved, this, pass(&DataSource::rowRemoved));
    connect(dataSet, &NamedQuery::currentChanged, this, pass(&DataSource::currentChanged));
}

void DataSource::disableControls()
{
    ++m_disabled;
}

void DataSource::enableControls()
{
    if (m_disabled == 0)
        return;
    if (--m_disabled == 0) {
        Q_EMIT reset();
        Q_EMIT currentChanged(m_dataSet->recNo());
        if (m_dataSet->isOpen())
            Q_EMIT dataChange();
    }
}
