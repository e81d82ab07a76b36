#pragma once

#include <QStyledItemDelegate>
#include <functional>

// The editor of a grid column with a pick list: a drop-down of the list's
// entries (free text allowed or not), or a plain text box while the list is empty.
class PickListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    PickListDelegate(std::function<QStringList()> items, bool freeText, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    std::function<QStringList()> m_items;
    bool m_freeText;
};
