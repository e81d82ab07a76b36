#pragma once

#include "data/querymodel.h"

#include <QBrush>
#include <QTableView>
#include <functional>

class DataSource;

// A data-bound grid: shows a query through its data source, keeps its selection
// on the query's current row and makes a clicked row the current row before it
// reports the click. Read-only; screens add their own cell drawing.
class DBGrid : public QTableView
{
    Q_OBJECT

public:
    explicit DBGrid(QWidget* parent = nullptr);

    void bind(DataSource* source, QVector<QueryModel::Column> columns);
    QueryModel* queryModel() const { return m_model; }
    DataSource* dataSource() const;

    // The background of a whole row (state colours); an empty brush keeps the default.
    std::function<QBrush(int row)> rowBrush;
    // Drawn after the cell's usual drawing (pictures stretched over a cell).
    std::function<void(QPainter*, const QRect&, int row, int column)> drawColumnCell;

    void setRowIndicator(bool shown);

Q_SIGNALS:
    void cellClicked(int column);
    void cellDoubleClicked(int column);

private:
    void followCurrent(int row);

    QueryModel* m_model = nullptr;
};
