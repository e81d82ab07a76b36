#include "shell/tabrows.h"

#include <QButtonGroup>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace {
constexpr int Gap = 2;
}

TabRows::TabRows(QTabWidget* tabs, const QFont& font, QWidget* parent)
    : QWidget(parent), m_tabs(tabs), m_group(new QButtonGroup(this))
{
    setObjectName(tabs->objectName() + QStringLiteral("Rows"));
    // The look of the theme's tabs, the chosen one filled.
    setStyleSheet(QStringLiteral(
        "QToolButton { background: #D3E6D9; color: #0F552E; padding: 6px 14px; border: none; }"
        "QToolButton:hover { background: #BCD9C5; }"
        "QToolButton:checked { background: #1E7B45; color: white; }"));
    m_group->setExclusive(true);
    for (int i = 0; i < tabs->count(); ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(tabs->widget(i)->objectName() + QStringLiteral("Tab"));
        b->setText(tabs->tabText(i));
        b->setFont(font);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        m_group->addButton(b, i);
        m_buttons.push_back(b);
    }
    tabs->tabBar()->hide();
    follow(tabs->currentIndex());
    connect(m_group, &QButtonGroup::idClicked, tabs, &QTabWidget::setCurrentIndex);
    connect(tabs, &QTabWidget::currentChanged, this, &TabRows::follow);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFixedHeight(arrange(QWIDGETSIZE_MAX, false));
}

int TabRows::arrange(int width, bool apply, int* rows) const
{
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    int count = m_buttons.empty() ? 0 : 1;
    for (QToolButton* b : m_buttons) {
        const QSize s = b->sizeHint();
        if (x > 0 && x + s.width() > width) {
            x = 0;
            y += rowHeight + Gap;
            rowHeight = 0;
            ++count;
        }
        if (apply)
            b->setGeometry(x, y, s.width(), s.height());
        x += s.width() + Gap;
        rowHeight = std::max(rowHeight, s.height());
    }
    if (rows)
        *rows = count;
    return y + rowHeight;
}

int TabRows::rowCount() const
{
    int rows = 0;
    arrange(width(), false, &rows);
    return rows;
}

int TabRows::heightForWidth(int width) const
{
    return arrange(width, false);
}

QSize TabRows::sizeHint() const
{
    int w = 0;
    for (QToolButton* b : m_buttons)
        w += b->sizeHint().width() + Gap;
    return {w, heightForWidth(width() > 0 ? width() : w)};
}

QSize TabRows::minimumSizeHint() const
{
    int w = 0;
    for (QToolButton* b : m_buttons)
        w = std::max(w, b->sizeHint().width());
    return {w, heightForWidth(width() > 0 ? width() : w)};
}

void TabRows::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int h = arrange(width(), true);
    if (h != height()) {
        setFixedHeight(h);
        updateGeometry();
    }
}

void TabRows::follow(int index)
{
    if (index >= 0 && index < int(m_buttons.size()))
        m_buttons[std::size_t(index)]->setChecked(true);
}
