#pragma once

#include <QObject>

class DBGrid;
class EditableQueryModel;

// The standard keys of a grid edited in place: typing or F2 opens a cell,
// moving down past the last row appends an empty row, Ctrl+Delete deletes the
// current row after a yes/no question. A row whose write failed while the grid
// moved to another row is dropped and the rows are read again. Enter is passed
// on as keyTyped (the grid's own key handler).
class GridEditing : public QObject
{
    Q_OBJECT

public:
    // Binds the model to the grid; both stay owned by the grid.
    GridEditing(DBGrid* grid, EditableQueryModel* model);

    EditableQueryModel* model() const { return m_model; }

Q_SIGNALS:
    void keyTyped(QChar key);  // Enter arrives as '\r'

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DBGrid* m_grid;
    QObject* m_viewport;  // compared only: its events arrive while the grid is torn down too
    EditableQueryModel* m_model;
};
