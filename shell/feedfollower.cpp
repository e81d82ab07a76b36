#include "shell/feedfollower.h"
#include "shell/dbgrid.h"
#include "data/dberror.h"
#include "data/namedquery.h"
#include "data/transaction.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTableView>
#include <QWidget>
#include <algorithm>

namespace {
// How often a screen that had to wait looks again (no database work).
constexpr int WaitMs = 150;
}  // namespace

FeedFollower::FeedFollower(QWidget* screen, ChangeFeed::Tables followed, Reread reread)
    : QObject(screen), m_screen(screen), m_followed(followed), m_reread(std::move(reread))
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(WaitMs);
    connect(&m_wait, &QTimer::timeout, this, &FeedFollower::tryNow);
    screen->installEventFilter(this);
}

void FeedFollower::take(ChangeFeed::Tables tables)
{
    tables &= m_followed;
    if (!tables)
        return;
    const bool first = !m_pending;
    m_pending |= tables;
    // Reports that arrive together are read once, after all of them.
    if (first)
        QTimer::singleShot(0, this, &FeedFollower::tryNow);
}

bool FeedFollower::mayRereadNow() const
{
    if (!m_screen)
        return false;
    if (!m_whileHidden && !m_screen->isVisible())
        return false;
    if (Transaction::inTransaction() || QApplication::activePopupWidget())
        return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_screen->window())
        return false;
    for (const QAbstractItemView* view : m_screen->findChildren<QAbstractItemView*>())
        if (editingIn(view))
            return false;
    if (waitWhile && waitWhile())
        return false;
    return true;
}

void FeedFollower::tryNow()
{
    if (!m_pending || !m_screen)
        return;
    if (!mayRereadNow()) {
        // A hidden screen reads when it is shown; otherwise look again soon.
        if (m_whileHidden || m_screen->isVisible())
            m_wait.start();
        return;
    }
    const ChangeFeed::Tables tables = m_pending;
    m_pending = {};
    try {
        m_reread(tables);
    } catch (const DbError&) {
        // The database is not reachable just now: the next action of the
        // person shows why, and the feed reports everything once it is back.
    }
}

bool FeedFollower::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_screen && event->type() == QEvent::Show && m_pending)
        QTimer::singleShot(0, this, &FeedFollower::tryNow);
    return QObject::eventFilter(watched, event);
}

bool FeedFollower::editingIn(const QAbstractItemView* view)
{
    // A cell's editor lives on the grid's viewport and has the focus while open.
    const QWidget* focused = QApplication::focusWidget();
    return focused && focused != view->viewport() && view->viewport()->isAncestorOf(focused);
}

bool FeedFollower::editing(std::initializer_list<NamedQuery*> queries)
{
    for (const NamedQuery* q : queries)
        if (q && q->isOpen() && q->state() != NamedQuery::State::Browse)
            return true;
    return false;
}

void FeedFollower::keepingView(QTableView* grid, const std::function<void()>& reread)
{
    QWidget* focused = QApplication::focusWidget();
    const int vertical = grid->verticalScrollBar()->value();
    const int horizontal = grid->horizontalScrollBar()->value();
    NamedQuery* query = nullptr;
    if (auto* dbGrid = qobject_cast<DBGrid*>(grid); dbGrid && dbGrid->queryModel())
        query = dbGrid->queryModel()->dataSet();
    QVariant id;
    int row = -1;
    if (query && query->isOpen() && !query->isEmpty()) {
        row = query->recNo();
        if (query->fieldIndex(QStringLiteral("ID")) >= 0)
            id = query->value(QStringLiteral("ID"));
    }
    const int column = grid->currentIndex().column();
    reread();
    if (query && query->isOpen() && !query->isEmpty()) {
        int found = -1;
        const int f = query->fieldIndex(QStringLiteral("ID"));
        for (int r = 0; !id.isNull() && f >= 0 && r < query->rowCount(); ++r)
            if (query->valueAt(r, f) == id) {
                found = r;
                break;
            }
        // A row that is gone leaves the current row where it was, as far as the list reaches.
        if (found < 0 && row >= 0)
            found = std::min(row, query->rowCount() - 1);
        if (found >= 0)
            query->moveTo(found);
        if (column >= 0 && grid->model())
            grid->setCurrentIndex(grid->model()->index(query->recNo(), column));
    }
    grid->verticalScrollBar()->setValue(vertical);
    grid->horizontalScrollBar()->setValue(horizontal);
    if (focused && QApplication::focusWidget() != focused && focused->isVisible())
        focused->setFocus(Qt::OtherFocusReason);
}
