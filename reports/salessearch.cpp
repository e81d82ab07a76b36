#include "reports/salessearch.h"
#include "data/datamodule.h"
#include "reports/ordercredit.h"

#include <QSet>
#include <QVector>

namespace {

// A number of a snapshot cell: a float column holds doubles, read without the
// general conversion, which is most of the time of a long period.
inline double cellNumber(const QVariant& v)
{
    return v.metaType().id() == QMetaType::Double ? *static_cast<const double*>(v.constData()) : v.toDouble();
}

// An amount as a line of the grid shows it: in cents, halves away from zero.
Money inCents(double value)
{
    return Money::fromDoubleHalfEven(value).roundedHalfAwayFromZero(2);
}

}  // namespace

SalesSearch::Totals SalesSearch::run(const Filter& f)
{
    auto setFilter = [&f](NamedQuery* q) {
        q->setParam(QStringLiteral("USR"), f.usr);
        q->setParam(QStringLiteral("OF"), f.of);
        q->setParam(QStringLiteral("TB"), f.tb);
        q->setParam(QStringLiteral("ST"), f.st);
        q->setParam(QStringLiteral("EN"), f.en);
        q->setParam(QStringLiteral("das"), f.das);
    };
    for (NamedQuery* q : {m_dm->sul_his_shek, m_dm->magidebis_raod}) {
        q->close();
        setFilter(q);
    }
    NamedQuery* lines = m_dm->History_shekvetebi;
    lines->close();
    setFilter(lines);
    lines->open();

    // The sums as the engine forms them: each product in the same order of
    // operations, a line with an empty input left out of that sum, and no
    // value at all when no line counts.
    const int usernum = lines->fieldIndex(QStringLiteral("USERNUM"));
    const int afasi = lines->fieldIndex(QStringLiteral("AFASI"));
    const int gfasi = lines->fieldIndex(QStringLiteral("GFASI"));
    const int raodenoba = lines->fieldIndex(QStringLiteral("Raodenoba"));
    const int rate = lines->fieldIndex(QStringLiteral("momsaxureoba"));
    struct Sum
    {
        double value = 0;
        bool any = false;
        void add(double v)
        {
            value += v;
            any = true;
        }
        QVariant result() const { return any ? QVariant(value) : QVariant(); }
    } quantity, cost, withService, takings;
    Money listedCost, listedWithService, listedTakings;
    QVector<qint64> numbers;
    QSet<qint64> seen;
    for (int r = 0; r < lines->rowCount(); ++r) {
        const QVariant q = lines->valueAt(r, raodenoba);
        const QVariant a = lines->valueAt(r, afasi);
        const QVariant g = lines->valueAt(r, gfasi);
        const QVariant m = lines->valueAt(r, rate);
        {
            // The grid's columns: a missing input counts as nothing there.
            const double qd = q.isNull() ? 0.0 : cellNumber(q);
            const double ad = a.isNull() ? 0.0 : cellNumber(a);
            const double gd = g.isNull() ? 0.0 : cellNumber(g);
            const double md = m.isNull() ? 0.0 : cellNumber(m);
            listedCost += inCents(ad * qd);
            if (const auto line = TDM::lineWithService(qd, gd, md))
                listedWithService += line->roundedHalfAwayFromZero(2);
            else
                listedWithService += inCents(TDM::withServiceCharge(gd * qd, md));  // refused as too large
            listedTakings += inCents(gd * qd);
        }
        if (!q.isNull()) {
            const double qd = cellNumber(q);
            quantity.add(qd);
            if (!a.isNull())
                cost.add(cellNumber(a) * qd);
            if (!g.isNull()) {
                const double gq = cellNumber(g) * qd;
                takings.add(gq);
                if (!m.isNull())
                    withService.add(TDM::withServiceCharge(gq, cellNumber(m)));
            }
        }
        // An order's lines mostly follow each other: only a new number is looked up.
        const qint64 order = lines->valueAt(r, usernum).toLongLong();
        if ((numbers.isEmpty() || numbers.constLast() != order) && !seen.contains(order)) {
            seen.insert(order);
            numbers << order;
        }
    }

    // The credit of every listed order at once, each order with its whole debt.
    OrderCredit credit(m_dm->query(QStringLiteral("klientis_nisiebi")));
    credit.reload();

    Totals t;
    t.quantity = quantity.result();
    t.cost = cost.result();
    t.withService = withService.result();
    t.takings = takings.result();
    t.orders = int(numbers.size());
    t.credit = credit.total(numbers);
    t.listed = lines->rowCount() > 0;
    t.listedCost = listedCost;
    t.listedWithService = listedWithService;
    t.listedTakings = listedTakings;
    t.cash = listedWithService - t.credit;
    t.service = listedWithService - listedTakings;
    return t;
}
