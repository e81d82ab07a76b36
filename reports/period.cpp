#include "reports/period.h"
#include "shell/messages.h"

const QString Period::EndsBeforeItStarts = QStringLiteral(
    "პერიოდის ბოლო თარიღი საწყისზე ადრეა, ამიტომ სია ცარიელია! შეცვალეთ თარიღები");

bool Period::tellIfReversed(const QDate& start, const QDate& end, QWidget* parent)
{
    if (!start.isValid() || !end.isValid() || end >= start)
        return false;
    Messages::show(EndsBeforeItStarts, parent);
    return true;
}
