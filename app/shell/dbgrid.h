#pragma once

#include "data/querymodel.h"

#include <QBrush>
#include <QHash>
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
    // Binds a model the caller made over its data source (one that edits in
    // place); the grid takes it over.
    void bind(QueryModel* model);
    QueryModel* queryModel() const { return m_model; }

    // The background of a whole row (state colours); an empty brush keeps the default.
    std::function<QBrush(int row)> rowBrush;
    // Drawn after the cell's usual drawing (pictures stretched over a cell).
    std::function<void(QPainter*, const QRect&, int row, int column)> drawColumnCell;

    void setRowIndicator(bool shown);
    // A column's own font and alignment (cells only; titles keep the header's).
    void setCellFont(int column, const QFont& font, Qt::Alignment alignment);
    struct CellLook
    {
        QFont font;
        Qt::Alignment alignment;
    };
    const CellLook* cellLook(int column) const;

Q_SIGNALS:
    void cellClicked(int column);
    void cellDoubleClicked(int column);

private:
    void followCurrent(int row);

    QueryModel* m_model = nullptr;
    QHash<int, CellLook> m_looks;
};
