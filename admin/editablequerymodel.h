#pragma once

#include "data/querymodel.h"

#include <QHash>
#include <functional>

// A grid's view of a query that is edited in place: a typed cell puts the row
// into editing, and the row is written when it is saved (Enter, leaving the
// row or the grid). Only the fields typed are written, each with the check that
// nobody changed it since it was read; the other columns (an item's stock) are
// never written back from the snapshot.
class EditableQueryModel : public QueryModel
{
    Q_OBJECT

public:
    // Turns the typed text into the value written; throws InputError to refuse it.
    using Convert = std::function<QVariant(const QString& typed)>;

    EditableQueryModel(DataSource* source, QVector<Column> columns, QObject* parent = nullptr);

    // Makes a column editable.
    void setEditable(int column, Convert convert);
    // A value a new row gets when it is written, unless one was typed for it.
    void setInsertDefault(const QString& field, const QVariant& value);

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Enter in a cell, or leaving the row with a cell open: the row is saved.
    bool submit() override;

    // Writes the row being edited or inserted when it has changes. A refused
    // write (another station changed the row meanwhile, or the engine refused
    // it) drops the change and reads the rows again, then throws on.
    void saveRow();
    // After a move to another row failed to write the row left: drop the change
    // and read the rows again.
    void dropFailedRow();

private:
    QHash<int, Convert> m_convert;
    std::vector<std::pair<QString, QVariant>> m_insertDefaults;
};
