#include "data/billtotal.h"

Money BillTotal::toCents(Money amount)
{
    return amount.roundedHalfAwayFromZero(2);
}

Money BillTotal::payable(double sum, double percent, bool withService)
{
    const double total = withService ? sum / 100.0 * percent + sum : sum;
    return toCents(Money::fromDoubleHalfEven(total));
}

Money BillTotal::serviceShown(double sum, Money payable)
{
    return payable - toCents(Money::fromDoubleHalfEven(sum));
}

Money BillTotal::due(Money payable, Money prepaid)
{
    const Money left = payable - prepaid;
    return left < Money() ? Money() : left;
}
