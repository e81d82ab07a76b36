#include "app/shell/dbgrid.h"
#include "app/shell/shared.h"
#include "data/datasource.h"
#include "data/namedquery.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(DBGrid* grid)
        : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        if (const DBGrid::CellLook* look = m_grid->cellLook(index.column())) {
            opt.font = look->font;
            opt.displayAlignment = look->alignment;
        }
        if (m_grid->rowBrush) {
            const QBrush brush = m_grid->rowBrush(index.row());
            if (brush.style() != Qt::NoBrush) {
                painter->fillRect(option.rect, brush);
                opt.backgroundBrush = brush;
            }
        }
        if (const DBGrid::CellLook* look = m_grid->cellLook(index.column())) {
            // initStyleOption would take the view's font back; draw with the column's own.
            QStyleOptionViewItem item(opt);
            initStyleOption(&item, index);
            item.font = look->font;
            item.displayAlignment = look->alignment;
            item.backgroundBrush = opt.backgroundBrush;
            const QWidget* w = option.widget;
            QStyle* style = w ? w->style() : QApplication::style();
            style->drawControl(QStyle::CE_ItemViewItem, &item, painter, w);
        } else {
            QStyledItemDelegate::paint(painter, opt, index);
        }
        if (m_grid->drawColumnCell) {
            painter->save();
            m_grid->drawColumnCell(painter, option.rect, index.row(), index.column());
            painter->restore();
        }
    }

private:
    DBGrid* m_grid;
};

}  // namespace

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setHighlightSections(false);
    setItemDelegate(new GridDelegate(this));
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        guarded([&] {
            if (m_model && index.isValid())
                m_model->dataSet()->moveTo(index.row());
            Q_EMIT cellClicked(index.column());
        });
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        guarded([&] {
            if (m_model && index.isValid())
                m_model->dataSet()->moveTo(index.row());
            Q_EMIT cellDoubleClicked(index.column());
        });
    });
}

void DBGrid::bind(DataSource* source, QVector<QueryModel::Column> columns)
{
    bind(new QueryModel(source, std::move(columns), this));
}

void DBGrid::bind(QueryModel* model)
{
    m_model = model;
    m_model->setParent(this);
    DataSource* source = model->source();
    setModel(m_model);
    connect(source, &DataSource::currentChanged, this, &DBGrid::followCurrent);
    connect(source, &DataSource::reset, this, [this] { followCurrent(m_model->dataSet()->recNo()); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && m_model->dataSet()->recNo() != current.row())
                    guarded([&] { m_model->dataSet()->moveTo(current.row()); });
            });
}

void DBGrid::setCellFont(int column, const QFont& font, Qt::Alignment alignment)
{
    m_looks.insert(column, CellLook{font, alignment});
}

const DBGrid::CellLook* DBGrid::cellLook(int column) const
{
    const auto it = m_looks.constFind(column);
    return it == m_looks.constEnd() ? nullptr : &it.value();
}

void DBGrid::setRowIndicator(bool shown)
{
    verticalHeader()->setVisible(shown);
}

void DBGrid::followCurrent(int row)
{
    if (!m_model)
        return;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex idx = m_model->index(row, std::max(0, currentIndex().column()));
    if (currentIndex().row() != row)
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
