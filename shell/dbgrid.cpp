#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "data/datasource.h"
#include "data/namedquery.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

namespace {

class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(DBGrid* grid)
        : QStyledItemDelegate(grid), m_grid(grid) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        if (const DBGrid::CellLook* look = m_grid->cellLook(index.column())) {
            opt.font = look->font;
            opt.fontMetrics = QFontMetrics(look->font);
        }
        return QStyledItemDelegate::sizeHint(opt, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        if (const DBGrid::CellLook* look = m_grid->cellLook(index.column())) {
            opt.font = look->font;
            opt.displayAlignment = look->alignment;
        }
        // A row in a state colour keeps it when selected, so that the state a
        // person just set shows at once; a frame marks the selection instead.
        bool framed = false;
        if (m_grid->rowBrush) {
            const QBrush brush = m_grid->rowBrush(index.row());
            if (brush.style() != Qt::NoBrush) {
                painter->fillRect(option.rect, brush);
                opt.backgroundBrush = brush;
                framed = opt.state & QStyle::State_Selected;
                opt.state &= ~QStyle::State_Selected;
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
        if (framed)
            drawSelectionFrame(painter, option, index);
    }

    // A band along the top and bottom of the selected row, closed at its ends.
    void drawSelectionFrame(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
    {
        const QRect r = option.rect;
        const QColor colour = option.palette.color(QPalette::Active, QPalette::Highlight);
        painter->save();
        painter->fillRect(QRect(r.left(), r.top(), r.width(), SelectionFrame), colour);
        painter->fillRect(QRect(r.left(), r.bottom() - SelectionFrame + 1, r.width(), SelectionFrame), colour);
        if (index.column() == 0)
            painter->fillRect(QRect(r.left(), r.top(), SelectionFrame, r.height()), colour);
        if (index.column() == index.model()->columnCount() - 1)
            painter->fillRect(QRect(r.right() - SelectionFrame + 1, r.top(), SelectionFrame, r.height()), colour);
        painter->restore();
    }

    static constexpr int SelectionFrame = 4;

private:
    DBGrid* m_grid;
};

// The column titles. The theme's section rule would draw every title in the
// application's font, so a header given a font of its own carries it in a rule
// of its own.
class GridHeader : public QHeaderView
{
public:
    explicit GridHeader(QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent)
    {
        setSectionsClickable(true);
        setHighlightSections(false);
        connect(this, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
            if (fitTitles && size < titleWidth(section))
                resizeSection(section, titleWidth(section));
        });
        connect(this, &QHeaderView::sectionCountChanged, this, [this] { keepTitlesWhole(); });
    }

    int titleWidth(int section) const { return sectionSizeFromContents(section).width(); }

    QFont titleFont(int section) const { return sectionFonts.value(section, font()); }

    // No column narrower than its title.
    void keepTitlesWhole()
    {
        if (!fitTitles)
            return;
        for (int s = 0; s < count(); ++s)
            if (!isSectionHidden(s) && sectionSize(s) < titleWidth(s))
                resizeSection(s, titleWidth(s));
    }

    bool fitTitles = false;
    QHash<int, QFont> sectionFonts;  // titles in a font of their own, centred

protected:
    QString title(int section) const
    {
        return model() ? model()->headerData(section, orientation(), Qt::DisplayRole).toString() : QString();
    }

    QSize sectionSizeFromContents(int section) const override
    {
        QSize size = QHeaderView::sectionSizeFromContents(section);
        const auto own = sectionFonts.constFind(section);
        if (own != sectionFonts.constEnd()) {
            // The style's margins around the title stay; only the text's width changes.
            const QString text = title(section);
            size.setWidth(size.width() - fontMetrics().horizontalAdvance(text)
                          + QFontMetrics(*own).horizontalAdvance(text));
        }
        return size;
    }

    void paintSection(QPainter* painter, const QRect& rect, int section) const override
    {
        const auto own = sectionFonts.constFind(section);
        if (own == sectionFonts.constEnd()) {
            QHeaderView::paintSection(painter, rect, section);
            return;
        }
        // The section's background and edges as the style draws them, then its
        // title in its own font (the style would take the header's).
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = section;
        painter->save();  // the style sheet's drawing leaves the painter changed
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
        painter->restore();
        painter->save();
        painter->setFont(*own);
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(rect, Qt::AlignCenter, title(section));
        painter->restore();
    }

    void changeEvent(QEvent* event) override
    {
        QHeaderView::changeEvent(event);
        if (event->type() == QEvent::FontChange && testAttribute(Qt::WA_SetFont)) {
            const QFont f = font();
            const QString size = f.pixelSize() > 0 ? QStringLiteral("%1px").arg(f.pixelSize())
                                                   : QStringLiteral("%1pt").arg(f.pointSizeF());
            const QString sheet = QStringLiteral("QHeaderView::section { font: %1 %2 \"%3\"; }")
                                      .arg(f.bold() ? QStringLiteral("bold") : QStringLiteral("normal"), size,
                                           f.family());
            if (styleSheet() != sheet)
                setStyleSheet(sheet);
            keepTitlesWhole();
        }
    }
};

}  // namespace

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalHeader(new GridHeader(this));
    verticalHeader()->hide();
    fitRowHeight();
    setItemDelegate(new GridDelegate(this));
    // A click on the current row leaves the query where it stands: a move would
    // post an edit or drop a new row not yet filled in.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        guarded([&] {
            if (m_model && index.isValid() && m_model->dataSet()->recNo() != index.row())
                m_model->dataSet()->moveTo(index.row());
            Q_EMIT cellClicked(index.column());
        });
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        guarded([&] {
            if (m_model && index.isValid() && m_model->dataSet()->recNo() != index.row())
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
    fitRowHeight();
}

void DBGrid::setRowsFitText(bool fit)
{
    m_rowsFitText = fit;
    verticalHeader()->setSectionResizeMode(fit ? QHeaderView::ResizeToContents : QHeaderView::Interactive);
    fitRowHeight();
}

void DBGrid::setTitlesFit(bool fit)
{
    auto* header = static_cast<GridHeader*>(horizontalHeader());
    header->fitTitles = fit;
    header->keepTitlesWhole();
}

void DBGrid::setTitleFont(int column, const QFont& font)
{
    auto* header = static_cast<GridHeader*>(horizontalHeader());
    header->sectionFonts.insert(column, font);
    header->keepTitlesWhole();
    header->viewport()->update();
}

QFont DBGrid::titleFont(int column) const
{
    return static_cast<GridHeader*>(horizontalHeader())->titleFont(column);
}

int DBGrid::titleWidth(int column) const
{
    return static_cast<GridHeader*>(horizontalHeader())->titleWidth(column);
}

int DBGrid::widestTitle(std::initializer_list<int> columns) const
{
    int widest = 0;
    for (int c : columns)
        widest = std::max(widest, titleWidth(c));
    return widest;
}

void DBGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitRowHeight();
}

void DBGrid::fitRowHeight()
{
    // Tall enough for the largest font a cell draws, the Georgian letters
    // (drawn from a fallback font) included.
    const QString sample = QStringLiteral("ჩახოხბილი Ágy");
    int height = QFontMetrics(font()).boundingRect(sample).height();
    height = std::max(height, QFontMetrics(font()).height());
    for (const CellLook& look : std::as_const(m_looks))
        height = std::max({height, QFontMetrics(look.font).height(), QFontMetrics(look.font).boundingRect(sample).height()});
    verticalHeader()->setMinimumSectionSize(height + 8);
    verticalHeader()->setDefaultSectionSize(height + 8);
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
