#pragma once

#include "data/changefeed.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class NamedQuery;
class QAbstractItemView;
class QTableView;
class QWidget;

// Brings one screen up to date when the change feed reports a table it
// shows, at a moment when that is in nobody's way: the screen is shown (or
// follows while hidden, for a list it offers later), no grid row of it is
// being edited, no dialog or pop-up list stands over it and no transaction is
// open. Until then the changes wait and are read in one go; a burst of them
// reads once. The re-read itself keeps focus, selection and scroll position
// (see keepingView).
class FeedFollower : public QObject
{
    Q_OBJECT

public:
    using Reread = std::function<void(ChangeFeed::Tables)>;

    FeedFollower(QWidget* screen, ChangeFeed::Tables followed, Reread reread);

    // Follow also while the screen is not shown.
    void setWhileHidden(bool on) { m_whileHidden = on; }
    // A further reason of the screen's own to wait (an unposted edit).
    std::function<bool()> waitWhile;

    // The feed's report; only the followed tables count.
    void take(ChangeFeed::Tables tables);
    ChangeFeed::Tables pending() const { return m_pending; }
    bool mayRereadNow() const;

    // Whether a cell of the grid is being edited.
    static bool editingIn(const QAbstractItemView* view);
    // Whether any of the queries holds an unposted edit or insert.
    static bool editing(std::initializer_list<NamedQuery*> queries);

    // Runs `reread` and puts the grid's current row (by the ID of its query),
    // its scroll position and the focus back as they were.
    static void keepingView(QTableView* grid, const std::function<void()>& reread);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tryNow();

    QPointer<QWidget> m_screen;
    ChangeFeed::Tables m_followed;
    Reread m_reread;
    ChangeFeed::Tables m_pending;
    bool m_whileHidden = false;
    QTimer m_wait;
};
