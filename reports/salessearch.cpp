#include "reports/salessearch.h"
#include "data/tdm.h"
#include "reports/ordercredit.h"

#include <QVector>

namespace {

Money moneyOf(const QVariant& v)
{
    return v.isNull() ? Money() : Money::fromDoubleHalfEven(v.toDouble());
}

}  // namespace

SalesSearch::Totals SalesSearch::run(const Filter& f)
{
    auto reopen = [&f](NamedQuery* q) {
        q->reopen({{QStringLiteral("USR"), f.usr},
                   {QStringLiteral("OF"), f.of},
                   {QStringLiteral("TB"), f.tb},
                   {QStringLiteral("ST"), f.st},
                   {QStringLiteral("EN"), f.en},
                   {QStringLiteral("das"), f.das}});
    };
    reopen(m_dm->History_shekvetebi);
    reopen(m_dm->sul_his_shek);
    reopen(m_dm->magidebis_raod);

    // The credit of every listed order at once, each order with its whole debt.
    NamedQuery* orders = m_dm->magidebis_raod;
    QVector<qint64> numbers;
    numbers.reserve(orders->rowCount());
    const int usernum = orders->fieldIndex(QStringLiteral("USERNUM"));
    for (int r = 0; r < orders->rowCount(); ++r)
        numbers << orders->valueAt(r, usernum).toLongLong();
    OrderCredit credit(m_dm->query(QStringLiteral("klientis_nisiebi")));
    credit.reload();

    // The service is what the lines with a rate were charged on top of their
    // price; lines of open tables (no rate yet) are left out of both sides.
    NamedQuery* lines = m_dm->History_shekvetebi;
    const int gfasi = lines->fieldIndex(QStringLiteral("GFASI"));
    const int raodenoba = lines->fieldIndex(QStringLiteral("Raodenoba"));
    const int rate = lines->fieldIndex(QStringLiteral("momsaxureoba"));
    double ratedTakings = 0;
    for (int r = 0; r < lines->rowCount(); ++r)
        if (!lines->valueAt(r, rate).isNull())
            ratedTakings += lines->valueAt(r, gfasi).toDouble() * lines->valueAt(r, raodenoba).toDouble();

    const Money withService = moneyOf(m_dm->sul_his_shek->value(QStringLiteral("SULGFASI")));
    Totals t;
    t.orders = orders->rowCount();
    t.credit = credit.total(numbers);
    t.cash = withService - t.credit;
    t.service = withService - Money::fromDoubleHalfEven(ratedTakings);
    return t;
}
