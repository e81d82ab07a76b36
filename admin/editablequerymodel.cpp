#include "admin/editablequerymodel.h"
#include "shell/shared.h"
#include "shell/postorreread.h"
#include "data/datasource.h"
#include "data/namedquery.h"

EditableQueryModel::EditableQueryModel(DataSource* source, QVector<Column> columns, QObject* parent)
    : QueryModel(source, std::move(columns), parent)
{
}

void EditableQueryModel::setEditable(int column, Convert convert)
{
    m_convert.insert(column, std::move(convert));
}

Qt::ItemFlags EditableQueryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QueryModel::flags(index);
    if (index.isValid() && m_convert.contains(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant EditableQueryModel::data(const QModelIndex& index, int role) const
{
    // The editor starts from the text the cell shows.
    return QueryModel::data(index, role == Qt::EditRole ? int(Qt::DisplayRole) : role);
}

bool EditableQueryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_convert.contains(index.column()))
        return false;
    return guarded([&] {
        NamedQuery* q = dataSet();
        if (!q->isOpen() || index.row() >= q->rowCount())
            return;
        const QString typed = value.toString();
        const QString& field = columns().at(index.column()).field;
        if (q->recNo() != index.row()) {
            saveRow();
            q->moveTo(index.row());
        }
        if (q->state() == NamedQuery::State::Browse
            && q->displayText(index.row(), q->fieldIndex(field)) == typed)
            return;  // nothing changed: nothing to write
        const QVariant converted = m_convert.value(index.column())(typed);
        if (q->state() == NamedQuery::State::Browse)
            q->edit();
        q->setField(field, converted);
    });
}

void EditableQueryModel::setInsertDefault(const QString& field, const QVariant& value)
{
    m_insertDefaults.emplace_back(field, value);
}

bool EditableQueryModel::submit()
{
    return guarded([this] { saveRow(); });
}

void EditableQueryModel::saveRow()
{
    NamedQuery* q = dataSet();
    if (!q->isEditing() || !q->isModified())
        return;
    if (q->state() == NamedQuery::State::Insert)
        for (const auto& [field, value] : m_insertDefaults)
            if (q->isNull(field))
                q->setField(field, value);
    postOrReread(q, [this] { dropFailedRow(); });
}

void EditableQueryModel::dropFailedRow()
{
    NamedQuery* q = dataSet();
    if (q->state() == NamedQuery::State::Browse)
        return;
    // Reading the rows again drops the change (and a refused new row) and shows
    // what the other station wrote.
    const int row = q->recNo();
    q->reopen();
    q->moveTo(std::min(row, q->rowCount() - 1));
}
