#include "orders/settlement.h"
#include "app/shell/inputerror.h"
#include "app/shell/shared.h"
#include "data/clock.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"

const QString Settlement::ClientWhois = QStringLiteral("კლიენტი");

namespace {

NamedQuery* tableRow(TDM& dm, const QString& tableText)
{
    NamedQuery* table = dm.busytables;
    table->reopen({{QStringLiteral("TB"), tableText}});
    return table;
}

}  // namespace

bool Settlement::savePrepayment(TDM& dm, const QString& tableText, const QString& amountText)
{
    NamedQuery* table = tableRow(dm, tableText);
    if (table->rowCount() != 1)
        return false;
    const std::optional<Money> amount = Money::parseLocal(amountText);
    if (!amount)
        throw InputError(QStringLiteral("თანხა უნდა იყოს რიცხვი! შეიყვანეთ სწორი თანხა!!!"));
    table->edit();
    table->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(*amount));
    table->post();
    return true;
}

void Settlement::writeCredit(TDM& dm, const QString& orderNumber, const QString& client, double amount)
{
    NamedQuery* ledger = dm.Nisia;
    if (!ledger->isOpen())
        ledger->open();
    ledger->insert();
    ledger->setField(QStringLiteral("FN"), client);
    ledger->setField(QStringLiteral("whois"), ClientWhois);
    ledger->setField(QStringLiteral("nisia"), amount);
    ledger->setField(QStringLiteral("USERNUM"), orderNumber);
    ledger->setField(QStringLiteral("tarigi"), short_dat(Clock::now()));
    ledger->post();
}

void Settlement::clearTable(TDM& dm, const QString& tableText, const QString& orderNumber, double servicePercent)
{
    try {
        Transaction tx;
        NamedQuery* table = tableRow(dm, tableText);
        if (table->isEmpty())
            throw DbError(QStringLiteral("მაგიდა № %1 ვერ მოიძებნა").arg(tableText));
        table->edit();
        table->setField(QStringLiteral("USERNUM"), -1);
        table->setField(QStringLiteral("Busy"), 0);
        table->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(Money()));
        table->post();
        NamedStatement* stamp = dm.shekvetebis_gasuftaveba;
        stamp->setParam(QStringLiteral("MOM"), Formats::general(servicePercent).replace(Formats::decimalSeparator(), u'.'));
        stamp->setParam(QStringLiteral("user"), orderNumber);
        stamp->execute();
        tx.commit();
    } catch (...) {
        try {
            tableRow(dm, tableText);
        } catch (const DbError&) {
            // The database is out of reach; the first error is the one to show.
        }
        throw;
    }
}
