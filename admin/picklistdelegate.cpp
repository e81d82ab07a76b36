#include "admin/picklistdelegate.h"
#include "shell/droplist.h"

#include <QComboBox>

PickListDelegate::PickListDelegate(std::function<QStringList()> items, bool freeText, QObject* parent)
    : QStyledItemDelegate(parent), m_items(std::move(items)), m_freeText(freeText)
{
}

QWidget* PickListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    const QStringList items = m_items();
    if (items.isEmpty())
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("PickList"));
    box->setEditable(m_freeText);
    box->addItems(items);
    readableDropDown(box);
    return box;
}

void PickListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        const QString text = index.data(Qt::EditRole).toString();
        if (box->isEditable())
            box->setEditText(text);
        else
            box->setCurrentIndex(box->findText(text));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void PickListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        if (box->currentIndex() >= 0 || box->isEditable())
            model->setData(index, box->currentText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
