#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <type_traits>

class QTableView;

// Shared operations of the main window, used by every screen.

// A filter text as a `like` pattern: "%" when it is blank after trimming,
// otherwise the text unchanged, blanks included.
QString ifisstring(const QString& text);

// The same day at midnight.
QDateTime short_dat(const QDateTime& value);

// Spreads the grid's width (less 50) over its columns wider than `minwidth`;
// the others stay. Changes nothing when there is no room or nothing to widen.
void resizegrid(QTableView* grid, int minwidth);

// Runs one user action under the error guard: what it throws is shown in a
// message box; true when it ended without an error.
bool guarded(const std::function<void()>& action);

// Connects a control's signal to a handler under the error guard: whatever the
// handler throws is shown and the program goes on.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, Receiver* receiver, Handler handler)
{
    return QObject::connect(sender, signal, receiver, [receiver, handler](auto&&... args) {
        guarded([&] {
            // A handler takes the signal's arguments, or none of them.
            if constexpr (std::is_invocable_v<Handler, Receiver*, decltype(args)...>)
                std::invoke(handler, receiver, std::forward<decltype(args)>(args)...);
            else
                std::invoke(handler, receiver);
        });
    });
}
