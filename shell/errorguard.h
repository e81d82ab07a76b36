#pragma once

#include <QObject>
#include <functional>
#include <type_traits>

// The one error guard of the program: what a user action throws (a database
// error, a text that is no number) ends that action, its text is shown in a
// message box and the program goes on. Rows already posted stay written.

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
