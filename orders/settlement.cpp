#include "orders/settlement.h"
#include "shell/inputerror.h"
#include "shell/shared.h"
#include "data/clock.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "billing/fiscalexchange.h"

#include <QCoreApplication>
#include <QHash>
#include <QElapsedTimer>
#include <QSysInfo>
#include <QThread>
#include <QSet>
#include <cmath>

const QString Settlement::LinesLeftOpenText =
    QStringLiteral("მაგიდაზე დაემატა ახალი კერძი! მაგიდა არ გასუფთავდა, გადაამოწმეთ შეკვეთა!!!");
const QString Settlement::BillChangedText =
    QStringLiteral("შეკვეთა შეიცვალა ანგარიშის დაბეჭდვის შემდეგ! მაგიდა არ გასუფთავდა, დაბეჭდეთ ანგარიში ხელახლა!!!");
const QString Settlement::OrderNotOnTableText =
    QStringLiteral("ეს შეკვეთა ამ მაგიდაზე აღარ არის (სხვა სადგურმა შეცვალა)! მაგიდა არ გასუფთავდა!!!");
const QString Settlement::FiscalUnknownText =
    QStringLiteral("ფისკალურმა პრინტერმა პასუხი არ დააბრუნა: უცნობია, გატარდა თუ არა თანხა %1! "
                   "შეამოწმეთ ფისკალური პრინტერი, სანამ თანხას ხელახლა გაატარებთ!!!");
const QString Settlement::FiscalNotRegisteredText =
    QStringLiteral("თანხა %1 ფისკალურ პრინტერზე არ გატარდა!!!");
const QString Settlement::FiscalNotRecordedText =
    QStringLiteral("თანხა %1 ფისკალურ პრინტერზე გატარდა, მაგრამ ბაზაში ვერ ჩაიწერა! "
                   "ხელახლა ნუ გაატარებთ!!!\n%2");
const QString Settlement::RegisteringElsewhereText =
    QStringLiteral("ამ მაგიდის ანგარიში ახლა სხვა სადგურზე ტარდება ფისკალურ პრინტერზე! "
                   "არაფერი გაიგზავნა, დაელოდეთ და სცადეთ ხელახლა!!!");

namespace {

const QString Busy = QStringLiteral("Busy");
const QString Usernum = QStringLiteral("USERNUM");
const QString Prepaid = QStringLiteral("GadaxdiliTanxa");
const QString Registered = QStringLiteral("FiskaluriTanxa");
const QString ClaimedBy = QStringLiteral("FiskaluriSadguri");
const QString ClaimedAt = QStringLiteral("FiskaluriDro");

NamedQuery* tableRow(TDM& dm, const QString& tableText)
{
    NamedQuery* table = dm.busytables;
    table->reopen({{QStringLiteral("TB"), tableText}});
    return table;
}

int tableNumber(const QString& tableText)
{
    bool isNumber = false;
    const int table = tableText.toInt(&isNumber);
    if (!isNumber)
        throw InputError(QStringLiteral("მაგიდის ნომერი არასწორია: %1").arg(tableText));
    return table;
}

bool holdsOrder(const NamedQuery* table, qint64 orderNumber)
{
    return !table->isEmpty() && table->asInteger(Busy) != 0 && table->asInteger(Usernum) == orderNumber;
}

}  // namespace

bool Settlement::savePrepayment(TDM& dm, const QString& tableText, const QString& amountText)
{
    const int tableNum = tableNumber(tableText);
    try {
        // Read and written under the row's lock, as one write transaction.
        Transaction tx;
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableNum);
        NamedQuery* table = tableRow(dm, tableText);
        if (table->rowCount() != 1)
            return false;
        const std::optional<Money> amount = Money::parseLocal(amountText);
        if (!amount)
            throw InputError(QStringLiteral("თანხა უნდა იყოს რიცხვი! შეიყვანეთ სწორი თანხა!!!"));
        if (amount->raw() < 0)
            throw InputError(QStringLiteral("წინასწარი თანხა უარყოფითი ვერ იქნება! შეიყვანეთ სწორი თანხა!!!"));
        table->edit();
        table->setField(Prepaid, QVariant::fromValue(*amount));
        table->post();
        tx.commit();
    } catch (...) {
        dm.busytables->rereadAfterRollback();
        throw;
    }
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

namespace {

// Every billed line still open must stand as the bill showed it: another
// station may have deleted it or changed its quantity after the printout.
// Returns the billed lines still open, which the clearing stamps.
QSet<qint64> requireAsBilled(TDM& dm, qint64 order, const QList<Settlement::BilledLine>& billed)
{
    NamedQuery* lines = dm.shekvet;
    lines->reopen({{QStringLiteral("USR"), order}});
    QHash<qint64, double> open;
    QSet<qint64> settled;
    for (lines->first(); !lines->eof(); lines->next()) {
        const qint64 id = lines->asInteger(QStringLiteral("ID"));
        if (lines->asInteger(QStringLiteral("STATUSI")) == 100)
            settled.insert(id);
        else
            open.insert(id, lines->asFloat(QStringLiteral("Raodenoba")));
    }
    for (const Settlement::BilledLine& line : billed) {
        if (settled.contains(line.id))
            continue;  // settled by an earlier clearing, as it stood then
        const auto it = open.constFind(line.id);
        if (it == open.constEnd() || std::abs(*it - line.quantity) > 1e-9)
            throw InputError(Settlement::BillChangedText);
    }
    QSet<qint64> stamped;
    for (const Settlement::BilledLine& line : billed)
        if (!settled.contains(line.id))
            stamped.insert(line.id);
    return stamped;
}

}  // namespace

int Settlement::clearTable(TDM& dm, const QString& tableText, const QString& orderNumber, double servicePercent,
                           const QList<BilledLine>& billed, const std::optional<Credit>& credit)
{
    const int tableNum = tableNumber(tableText);
    const qint64 order = orderNumber.toLongLong();
    int open = 0;
    try {
        Transaction tx;
        // The lock of order entry: no line joins the order between the count of
        // its open lines and the freeing of the table.
        tx.lockOrderNumbering();
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableNum);
        NamedQuery* table = tableRow(dm, tableText);
        if (table->isEmpty())
            throw DbError(QStringLiteral("მაგიდა № %1 ვერ მოიძებნა").arg(tableText));
        if (!holdsOrder(table, order))
            throw InputError(OrderNotOnTableText);

        const QSet<qint64> toStamp = requireAsBilled(dm, order, billed);
        if (credit)
            writeCredit(dm, orderNumber, credit->client, credit->amount.toDouble());

        // Only the lines that were on the bill, in one statement; a line stamped
        // by an earlier clearing keeps its rate. Exactly the billed lines still
        // open must change: a line deleted or settled since they were checked
        // leaves the bill wrong, and nothing of the clearing is written.
        if (!toStamp.isEmpty()) {
            QStringList ids;
            for (const qint64 id : toStamp)
                ids << QString::number(id);
            NamedStatement* stamp = dm.statement(QStringLiteral("shekvetis_xazis_gasuftaveba"));
            stamp->setParam(QStringLiteral("MOM"),
                            Formats::general(servicePercent).replace(Formats::decimalSeparator(), u'.'));
            stamp->setParam(QStringLiteral("user"), orderNumber);
            stamp->setParam(QStringLiteral("IDS"), ids.join(u','));
            if (stamp->execute() != toStamp.size())
                throw InputError(Settlement::BillChangedText);
        }

        NamedQuery* left = dm.query(QStringLiteral("shekvetis_gia_xazebi"));
        left->reopen({{QStringLiteral("USR"), order}});
        open = int(left->asInteger(QStringLiteral("gia")));
        left->close();

        if (open == 0) {
            table->edit();
            table->setField(Usernum, -1);
            table->setField(Busy, 0);
            table->setField(Prepaid, QVariant::fromValue(Money()));
            table->setField(Registered, QVariant::fromValue(Money()));
            table->setField(ClaimedBy, QVariant());
            table->setField(ClaimedAt, QVariant());
            table->post();
        }
        tx.commit();
    } catch (...) {
        dm.busytables->rereadAfterRollback();
        if (credit)
            dm.Nisia->rereadAfterRollback();
        throw;
    }
    return open;
}

Money Settlement::registeredAmount(TDM& dm, const QString& tableText, qint64 orderNumber)
{
    const NamedQuery* table = tableRow(dm, tableText);
    return holdsOrder(table, orderNumber) ? table->asMoney(Registered) : Money();
}

void Settlement::addRegistered(TDM& dm, const QString& tableText, qint64 orderNumber, Money amount)
{
    const int tableNum = tableNumber(tableText);
    try {
        Transaction tx;
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableNum);
        NamedQuery* table = tableRow(dm, tableText);
        if (!holdsOrder(table, orderNumber))
            return;
        // Read under the lock: the sum is the stored amount plus this sale.
        const Money sum = table->asMoney(Registered) + amount;
        table->edit();
        table->setField(Registered, QVariant::fromValue(sum));
        table->post();
        tx.commit();
    } catch (...) {
        dm.busytables->rereadAfterRollback();
        throw;
    }
}

QString Settlement::stationName()
{
    return QStringLiteral("%1/%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
}

Settlement::Claim Settlement::claimRegistration(TDM& dm, const QString& tableText, qint64 orderNumber,
                                                Money billTotal)
{
    const int tableNum = tableNumber(tableText);
    Claim claim;
    try {
        Transaction tx;
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableNum);
        NamedQuery* table = tableRow(dm, tableText);
        if (!holdsOrder(table, orderNumber))
            return claim;
        // Whole seconds, as the column keeps them: the release knows its claim.
        QDateTime now = Clock::now();
        now = now.addMSecs(-now.time().msec());
        const QString holder = table->asString(ClaimedBy);
        const QDateTime since = table->asDateTime(ClaimedAt);
        // A claim is live for its lifetime either way of this station's clock,
        // so a station whose clock runs ahead cannot make it look old.
        if (!holder.isEmpty() && since.isValid() && std::abs(since.secsTo(now)) < ClaimLifetime.count())
            throw InputError(RegisteringElsewhereText);
        // Read under the lock: what is due is what no station has registered.
        claim.due = billTotal - table->asMoney(Registered);
        if (claim.due <= Money()) {
            claim.due = Money();
            return claim;
        }
        claim.since = now;
        table->edit();
        table->setField(ClaimedBy, stationName());
        table->setField(ClaimedAt, now);
        table->post();
        tx.commit();
    } catch (...) {
        dm.busytables->rereadAfterRollback();
        throw;
    }
    return claim;
}

void Settlement::releaseRegistration(TDM& dm, const QString& tableText, qint64 orderNumber, const Claim& claim,
                                     Money registered, Money billTotal)
{
    const int tableNum = tableNumber(tableText);
    try {
        Transaction tx;
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableNum);
        NamedQuery* table = tableRow(dm, tableText);
        if (!holdsOrder(table, orderNumber))
            return;
        const bool ours = table->asString(ClaimedBy) == stationName() && table->asDateTime(ClaimedAt) == claim.since;
        table->edit();
        if (registered > Money()) {
            const Money stored = table->asMoney(Registered);
            Money sum = stored + registered;
            if (sum > billTotal)
                sum = std::max(stored, billTotal);
            table->setField(Registered, QVariant::fromValue(sum));
        }
        if (ours) {
            table->setField(ClaimedBy, QVariant());
            table->setField(ClaimedAt, QVariant());
        }
        table->post();
        tx.commit();
    } catch (...) {
        dm.busytables->rereadAfterRollback();
        throw;
    }
}

QString Settlement::registerSale(TDM& dm, const QString& tableText, qint64 orderNumber, Money billTotal,
                                 const FiscalSend& send)
{
    const Claim claim = claimRegistration(dm, tableText, orderNumber, billTotal);
    if (claim.due <= Money())
        return QString();
    QElapsedTimer sinceClaim;
    sinceClaim.start();
    const QString dueText = Formats::fixedTwo(claim.due);
    QString status;
    try {
        send(claim.due.toDouble(), status);
    } catch (...) {
        // Nothing reached the driver (its paths could not be read): the claim goes.
        try {
            releaseRegistration(dm, tableText, orderNumber, claim, Money(), billTotal);
        } catch (const DbError&) {
            // The claim ages out; the first error is the one to show.
        }
        throw;
    }
    // A sale the driver took without answering counts as registered: registering
    // it again could put it on the fiscal day twice.
    const bool unknown = status == QLatin1String(FiscalExchange::StatusUnknown);
    const bool registered = unknown || status == QLatin1String(FiscalExchange::SuccessCode);
    // A sale registered must be kept before the claim ages out, or another
    // station would register it again: a lock another station holds for a
    // while is waited out, within the claim's lifetime.
    for (;;) {
        try {
            releaseRegistration(dm, tableText, orderNumber, claim, registered ? claim.due : Money(), billTotal);
            break;
        } catch (const DbError& e) {
            const bool held = e.text() == DbError::heldByAnotherStationText() || e.text() == DbError::databaseHeldText();
            if (registered && held && sinceClaim.elapsed() < 1000 * (ClaimLifetime.count() - 5)) {
                QThread::msleep(200);
                continue;
            }
            if (registered)
                return FiscalNotRecordedText.arg(dueText, e.text());
            throw;
        }
    }
    if (!registered)
        return FiscalNotRegisteredText.arg(dueText);  // surely not sent, or the driver refused it
    return unknown ? FiscalUnknownText.arg(dueText) : QString();
}
