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
    // Rows as tall as their wrapped text (the service screens, whose names are
    // read from across the kitchen); otherwise every row has the height of the
    // largest font its cells draw.
    void setRowsFitText(bool fit);
    // No column narrower than its whole title.
    void setTitlesFit(bool fit);
    // A column's title in a font of its own, centred (the others take the header's).
    void setTitleFont(int column, const QFont& font);
    QFont titleFont(int column) const;
    // The narrowest a column may be for its whole title in the header's font.
    int titleWidth(int column) const;
    int widestTitle(std::initializer_list<int> columns) const;
    struct CellLook
    {
        QFont font;
        Qt::Alignment alignment;
    };
    const CellLook* cellLook(int column) const;

Q_SIGNALS:
    void cellClicked(int column);
    void cellDoubleClicked(int column);

protected:
    void changeEvent(QEvent* event) override;

private:
    void followCurrent(int row);
    void fitRowHeight();
    void fitTitles();

    QueryModel* m_model = nullptr;
    QHash<int, CellLook> m_looks;
    bool m_rowsFitText = false;
};
