#pragma once

#include "data/money.h"

#include <QList>
#include <QString>
#include <functional>

class Spreadsheet;

// The bill of a table, filled into a new workbook made from the bill template and
// printed twice. The order window gathers the order and sends the bill total to
// the fiscal printer driver; this fills the sheet, hands over the total, prints and
// closes the workbook without saving.
namespace BillPrintout {

inline const QString TemplateName = QStringLiteral("P_fiscal_printer.xls");
inline const QString PriceText = QStringLiteral("ფასი:");
inline const QString ServiceText = QStringLiteral("მომსახურება ");
inline const QString TotalText = QStringLiteral("სულ ფასი: ");
inline const QString OrderText = QStringLiteral("შეკვეთა ");
inline const QString ThanksText = QStringLiteral("მადლობთ რომ გვეწვიეთ! ");
// Under the total when the table paid in advance: what was paid and what is left.
inline const QString PrepaidText = QStringLiteral("წინასწარ გადახდილი:");
inline const QString DueText = QStringLiteral("გადასახდელი:");

// One line of the order (a row of `shekvet`).
struct Line
{
    qint64 Kerdzi_N = 0;   // menu item number
    QString Kerdzi_DAS;    // name
    double Raodenoba = 0;  // quantity
    double GFASI = 0;      // sale price
    double sulfasi = 0;    // line total
    qint64 USERNUM = 0;    // order number
};

struct Order
{
    QList<Line> lines;  // in the order the lines dataset holds them
    QString waiter;
    bool serviceApplied = false;
    double servicePercent = 0;  // the settings row's momsaxureoba
    Money prepaid;              // paid in advance for the table
};

// The bill's amounts in cents, as printed: the sum and the service add up to the
// total, which is the order's payable total (BillTotal::payable).
struct Totals
{
    Money sum;      // S, the lines' totals
    Money service;  // the service charge on S
    Money total;    // the bill total
    Money prepaid;  // paid in advance
    Money due;      // the total less the prepayment
};

// The template beside the program's executable.
QString templatePath();

// S, the service charge (percent of S when applied, else 0), the bill total and,
// after a prepayment, what is left to pay.
Totals totals(const Order& order);

// The formula of column J for sheet row `row` (counted from 1) with the divisor
// text read from A2: the price halved (divided) where column H is above zero, and
// an empty text where that is not above zero.
QString formulaJ(int row, const QString& divisor);

// The service caption of the footer: "მომსახურება 10%", or "მომსახურება 0%" without service.
QString serviceCaption(const Order& order);

// Fills a new workbook from `templatePath` with the order, hands the bill total to
// `registerTotal` (the fiscal driver exchange; the bill total, whatever was
// prepaid), prints the sheet twice, as two
// jobs, and closes the workbook without saving. True when all of that was done.
// Nothing is done for an order without lines or a missing template. Every error,
// the spreadsheet application's and `registerTotal`'s alike, ends the printout
// silently: false, and no message.
bool print(Spreadsheet& office, const QString& templatePath, const Order& order,
           const std::function<void(double billTotal)>& registerTotal);

}  // namespace BillPrintout
