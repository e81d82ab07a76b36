#pragma once

#include <QAbstractItemView>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

// Helpers for driving the real windows on the offscreen platform.
namespace Screens {

// Runs `action` once the next modal dialog has started its own event loop;
// the action ends by closing it (or leaves it to be closed by what it clicks).
inline void whenModal(std::function<void()> action)
{
    QTimer::singleShot(0, [action = std::move(action)] { action(); });
}

// Clicks, or double-clicks, the cell of a grid.
inline void clickCell(QAbstractItemView* view, int row, int column, bool twice = false)
{
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    if (twice) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    }
}

// The texts a grid's column shows, from the first row to the last.
inline QStringList column(const QAbstractItemView* view, int col)
{
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, col).data().toString();
    return out;
}

// The row of a grid whose column shows `text`, or -1.
inline int rowOf(QAbstractItemView* view, int column, const QString& text)
{
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, column).data().toString() == text)
            return r;
    return -1;
}

}  // namespace Screens
