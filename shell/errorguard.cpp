#include "shell/errorguard.h"
#include "shell/inputerror.h"
#include "shell/messages.h"
#include "data/dberror.h"

#include <exception>

bool guarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const DbError& e) {
        Messages::error(e.text());
    } catch (const InputError& e) {
        Messages::show(e.text());
    } catch (const std::exception& e) {
        Messages::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
