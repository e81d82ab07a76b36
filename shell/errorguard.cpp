#include "shell/errorguard.h"
#include "shell/inputerror.h"
#include "shell/messages.h"
#include "data/connection.h"
#include "data/dberror.h"

#include <exception>
#include <optional>

bool guarded(const std::function<void()>& action)
{
    // A guard reached outside any event (a handler called on its own) is an
    // action of its own.
    std::optional<Connection::Action> own;
    if (!Connection::Action::running())
        own.emplace();
    try {
        action();
        return true;
    } catch (const DbError& e) {
        const bool linkLoss = e.text() == DbError::linkLostText();
        if (!linkLoss || Connection::Action::firstLinkLossTold())
            Messages::error(e.text());
    } catch (const InputError& e) {
        Messages::show(e.text());
    } catch (const std::exception& e) {
        Messages::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
