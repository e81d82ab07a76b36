#include "orders/orderentry.h"
#include "shell/inputerror.h"
#include "shell/linestates.h"
#include "shell/shared.h"
#include "data/clock.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include <algorithm>

const QString OrderEntry::BadQuantityText =
    QStringLiteral("რაოდენობა უნდა იყოს რიცხვი! შეიყვანეთ სწორი რაოდენობა!!!");

int OrderEntry::gagzavnapovartan(TDM& dm, const QString& ganyofileba)
{
    NamedQuery* routes = dm.povrebis_uplebebi;
    routes->reopen({{QStringLiteral("GAN"), ganyofileba}});
    return LineState::kitchenFlag(routes->rowCount());
}

qint64 OrderEntry::nextOrderNumber(TDM& dm, qint64 counter)
{
    const qint64 next = counter + 1;
    NamedQuery* used = dm.query(QStringLiteral("shekvetis_nomrebi"));
    used->reopen({{QStringLiteral("USR"), next}, {QStringLiteral("USRT"), QString::number(next)}});
    const qint64 taken = used->asInteger(QStringLiteral("dakavebuli"));
    // A credit row's text that is no number counts for nothing.
    const qint64 highest = std::max({used->asInteger(QStringLiteral("xazebis_max")),
                                     used->asInteger(QStringLiteral("magidebis_max")),
                                     used->asString(QStringLiteral("nisiebis_max")).trimmed().toLongLong()});
    used->close();
    return taken > 0 ? highest + 1 : next;
}

OrderEntry::Result OrderEntry::addLine(TDM& dm, const QString& tableText, const QString& waiter,
                                       const QString& quantityText)
{
    // The quantity is read twice: as a number for the line and as a four-decimal
    // amount for the stock. Either failing refuses it before anything is written.
    const std::optional<double> quantity = Formats::parseNumber(quantityText);
    const std::optional<Money> stockQuantity = Money::parseLocal(quantityText);
    if (!quantity || !stockQuantity)
        throw InputError(BadQuantityText);
    // What rounds to nothing in the stock's four decimals, or less, is no order.
    if (stockQuantity->raw() <= 0)
        throw InputError(QStringLiteral("რაოდენობა ნულზე მეტი უნდა იყოს! შეიყვანეთ სწორი რაოდენობა!!!"));
    bool isNumber = false;
    const int table = tableText.toInt(&isNumber);
    if (!isNumber)
        throw InputError(QStringLiteral("მაგიდის ნომერი არასწორია: %1").arg(tableText));

    NamedQuery* menu = dm.kerdzebi;
    if (!menu->isOpen() || menu->isEmpty())
        throw InputError(QStringLiteral("აირჩიეთ კერძი"));
    const qint64 itemId = menu->asInteger(QStringLiteral("ID"));
    const QString itemName = menu->asString(QStringLiteral("Dasaxeleba"));
    const QVariant purchasePrice = menu->value(QStringLiteral("asagebi"));
    const QVariant salePrice = menu->value(QStringLiteral("gasayidi"));
    const QString type = menu->asString(QStringLiteral("tipi"));

    NamedQuery* setting = dm.setting;
    NamedQuery* occupancy = dm.busytables;
    NamedQuery* lines = dm.shekvet;
    Result result;
    // A dish for an order already open needs only the table's row locked (the
    // corrections, the move and the clearing lock it too), so a station held up
    // on one table or one dish does not hold up the others. Opening an order
    // takes the lock of order numbering first. Should the table be freed while
    // this station waited for its row, the add starts again as an opening.
    occupancy->reopen({{QStringLiteral("TB"), tableText}});
    bool opening = occupancy->isEmpty() || occupancy->asInteger(QStringLiteral("Busy")) == 0;
    for (int attempt = 0;; ++attempt) {
        try {
            Transaction tx;
            if (opening)
                tx.lockOrderNumbering();
            tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), table);
            occupancy->reopen({{QStringLiteral("TB"), tableText}});
            const bool busy = !occupancy->isEmpty() && occupancy->asInteger(QStringLiteral("Busy")) != 0;
            if (!busy && !opening && attempt == 0) {
                opening = true;
                continue;  // the transaction rolls back; nothing was written
            }
            if (!busy)
                setting->reopen();

            QString lineWaiter = waiter;
            if (busy) {
                result.orderNumber = occupancy->asInteger(QStringLiteral("USERNUM"));
                lineWaiter = occupancy->asString(QStringLiteral("OFICIANT"));
            } else {
                result.newOrder = true;
                result.orderNumber = nextOrderNumber(dm, setting->asInteger(QStringLiteral("inctb")));
                setting->edit();
                setting->setField(QStringLiteral("inctb"), result.orderNumber);
                setting->post();
                if (occupancy->isEmpty())
                    occupancy->insert();
                else
                    occupancy->edit();
                occupancy->setField(QStringLiteral("TableNum"), table);
                occupancy->setField(QStringLiteral("Busy"), 1);
                occupancy->setField(QStringLiteral("USERNUM"), result.orderNumber);
                occupancy->setField(QStringLiteral("OFICIANT"), waiter);
                // Nothing of the new order is registered with the fiscal printer yet,
                // whatever an order the row held before left there.
                occupancy->setField(QStringLiteral("FiskaluriTanxa"), QVariant::fromValue(Money()));
                occupancy->setField(QStringLiteral("FiskaluriSadguri"), QVariant());
                occupancy->setField(QStringLiteral("FiskaluriDro"), QVariant());
                occupancy->post();
            }

            result.kitchenFlag = gagzavnapovartan(dm, type);
            const QDateTime now = Clock::now();
            if (!lines->isOpen())
                lines->open();
            lines->insert();
            lines->setField(QStringLiteral("USERNUM"), result.orderNumber);
            lines->setField(QStringLiteral("TableNum"), table);
            lines->setField(QStringLiteral("Kerdzi_N"), itemId);
            lines->setField(QStringLiteral("Kerdzi_DAS"), itemName);
            lines->setField(QStringLiteral("AFASI"), purchasePrice);
            lines->setField(QStringLiteral("GFASI"), salePrice);
            lines->setField(QStringLiteral("Raodenoba"), *quantity);
            lines->setField(QStringLiteral("OFFICIANT"), lineWaiter);
            lines->setField(QStringLiteral("Tarigi"), short_dat(now));
            lines->setField(QStringLiteral("Starttime"), now);
            lines->setField(QStringLiteral("povari"), result.kitchenFlag);
            lines->setField(QStringLiteral("STATUSI"), result.kitchenFlag);
            lines->post();

            // The stock drops by the quantity, relative to what is stored now.
            dm.addToStock(itemId, -*stockQuantity);
            tx.commit();
            break;
        } catch (...) {
            // Nothing was written: read the counter, the table and the lines again so
            // that no window shows what the rollback undid.
            setting->close();
            occupancy->close();
            const bool linesShown = lines->isOpen();
            lines->close();
            try {
                setting->open();
                occupancy->open();
                if (linesShown)
                    lines->open();
            } catch (const DbError&) {
                // The database is out of reach; the first error is the one to show.
            }
            throw;
        }
    }
    // Later re-reads of the lines show this order.
    lines->setParam(QStringLiteral("USR"), result.orderNumber);
    return result;
}
