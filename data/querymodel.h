#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

class DataSource;
class NamedQuery;

// A grid's view of a query through its data source: one row per snapshot row,
// one column per grid column (a field with its title, or an empty field for a
// column the grid draws itself).
class QueryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString field;  // empty: no field (a picture column)
        QString title;
    };

    QueryModel(DataSource* source, QVector<Column> columns, QObject* parent = nullptr);

    DataSource* source() const { return m_source; }
    NamedQuery* dataSet() const;
    const QVector<Column>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void onReset();

    DataSource* m_source;
    QVector<Column> m_columns;
    int m_rows = 0;       // what the view was last told
    int m_removing = -1;  // the row between beginRemoveRows and endRemoveRows
};
