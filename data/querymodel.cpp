#include "data/querymodel.h"
#include "data/datasource.h"
#include "data/namedquery.h"

QueryModel::QueryModel(DataSource* source, QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_source(source), m_columns(std::move(columns))
{
    m_rows = (source->controlsDisabled() || !dataSet()->isOpen()) ? 0 : dataSet()->rowCount();
    connect(source, &DataSource::reset, this, &QueryModel::onReset);
    connect(source, &DataSource::rowChanged, this, [this](int row) {
        if (row >= 0 && row < m_rows)
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(source, &DataSource::rowInserted, this, [this](int row) {
        if (row < 0 || row > m_rows || dataSet()->rowCount() != m_rows + 1) {
            onReset();
            return;
        }
        beginInsertRows({}, row, row);
        m_rows = dataSet()->rowCount();
        endInsertRows();
    });
    // Views read the neighbours of a removed row before and after it goes, so
    // the removal is announced while the row is still in the query.
    connect(source, &DataSource::rowAboutToBeRemoved, this, [this](int row) {
        if (row < 0 || row >= m_rows || dataSet()->rowCount() != m_rows)
            return;
        beginRemoveRows({}, row, row);
        m_removing = row;
    });
    connect(source, &DataSource::rowRemoved, this, [this](int row) {
        const bool announced = m_removing == row;
        m_removing = -1;
        if (announced && dataSet()->rowCount() == m_rows - 1) {
            m_rows = dataSet()->rowCount();
            endRemoveRows();
            return;
        }
        if (announced) {
            // Not what was announced: finish the removal, then show it all anew.
            m_rows = std::max(0, m_rows - 1);
            endRemoveRows();
        }
        onReset();
    });
}

NamedQuery* QueryModel::dataSet() const
{
    return m_source->dataSet();
}

void QueryModel::onReset()
{
    beginResetModel();
    m_rows = dataSet()->isOpen() ? dataSet()->rowCount() : 0;
    endResetModel();
}

int QueryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int QueryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant QueryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns.size())
        return {};
    const NamedQuery* q = dataSet();
    if (!q->isOpen() || index.row() >= q->rowCount())
        return {};
    const QString& field = m_columns[index.column()].field;
    if (field.isEmpty())
        return {};
    const int f = q->fieldIndex(field);
    if (f < 0)
        return {};
    if (role == Qt::DisplayRole)
        return q->displayText(index.row(), f);
    if (role == Qt::UserRole)
        return q->valueAt(index.row(), f);
    return {};
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns.size())
        return m_columns[section].title;
    return {};
}
