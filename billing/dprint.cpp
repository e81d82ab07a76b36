#include "billing/dprint.h"
#include "billing/fiscalexchange.h"

bool DPrint(TDM& dm, double amount, QString& status, QWidget* window)
{
    FiscalExchange exchange;
    exchange.setWindow(window);
    return exchange.DPrint(dm, amount, status);
}
