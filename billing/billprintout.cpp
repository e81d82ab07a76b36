#include "billing/billprintout.h"
#include "office/spreadsheet.h"
#include "data/billtotal.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "data/money.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr int FirstLineRow = 6;

QString cell(char column, int row)
{
    return QChar::fromLatin1(column) + QString::number(row);
}

// A field's text form as a sheet takes it when it is typed: the number it reads as.
QVariant asTyped(const QString& text)
{
    if (const auto number = Formats::parseNumber(text))
        return *number;
    return text;
}

// An amount written as a total, in cents: the template shows it with two decimals.
QString amountText(Money value)
{
    return Formats::shortest(value);
}

}  // namespace

QString BillPrintout::templatePath()
{
    return QDir(templateFolder()).filePath(TemplateName);
}

BillPrintout::Totals BillPrintout::totals(const Order& order)
{
    double sum = 0;
    for (const Line& line : order.lines)
        sum += line.sulfasi;
    Totals t;
    t.total = BillTotal::payable(sum, order.servicePercent, order.serviceApplied);
    t.service = BillTotal::serviceShown(sum, t.total);
    t.sum = t.total - t.service;
    t.prepaid = order.prepaid;
    t.due = BillTotal::due(t.total, order.prepaid);
    return t;
}

QString BillPrintout::formulaJ(int row, const QString& divisor)
{
    const QString r = QString::number(row);
    return QStringLiteral("=IF((IF(H") + r + QStringLiteral(">0,E") + r + QStringLiteral("/") + divisor + QStringLiteral(",E") + r + QStringLiteral("))>0,(IF(H") + r + QStringLiteral(">0,E") + r + QStringLiteral("/") + divisor + QStringLiteral(",E") + r + QStringLiteral(")),\"\")");
}

QString BillPrintout::serviceCaption(const Order& order)
{
    return ServiceText + (order.serviceApplied ? Formats::general(order.servicePercent) + QStringLiteral("%") : QStringLiteral("0%"));
}

bool BillPrintout::print(Spreadsheet& office, const QString& templatePath, const Order& order,
                         const std::function<void(double)>& registerTotal)
{
    if (order.lines.isEmpty() || !QFileInfo(templatePath).isFile())
        return false;
    try {
        // A new workbook from the template, its first sheet, the divisor text in A2.
        std::unique_ptr<Workbook> book = office.newWorkbook(templatePath);
        Worksheet& sheet = book->firstSheet();
        int row = FirstLineRow;
        const QString d = sheet.text(QStringLiteral("A2"));

        // The lines, each field in its text form: B to F of all lines in one
        // request, then the formulas of column J.
        qint64 orderNumber = 0;
        QList<QVariantList> fields;
        QStringList formulas;
        for (const Line& line : order.lines) {
            orderNumber = line.USERNUM;
            fields.append({asTyped(QString::number(line.Kerdzi_N)), line.Kerdzi_DAS,
                           asTyped(Formats::general(line.Raodenoba)), asTyped(Formats::general(line.GFASI)),
                           asTyped(Formats::fixedTwo(line.sulfasi))});
            formulas.append(formulaJ(row, d));
            ++row;
        }
        sheet.setValues(cell('B', FirstLineRow), fields);
        for (int i = 0; i < formulas.size(); ++i)
            sheet.setFormula(cell('J', FirstLineRow + i), formulas[i]);

        sheet.setValue(QStringLiteral("D3"), order.waiter);
        row += 2;
        const int R = row;

        const Totals t = totals(order);

        sheet.setValue(cell('C', R), PriceText);
        sheet.setValue(cell('C', R + 1), serviceCaption(order));
        sheet.setValue(cell('C', R + 2), TotalText);
        // A prepayment shows under the total with what is left to pay; the order
        // number and the thanks move down to make room.
        const bool prepaid = t.prepaid > Money();
        const int orderRow = prepaid ? R + 6 : R + 4;
        if (prepaid) {
            sheet.setValue(cell('C', R + 3), PrepaidText);
            sheet.setValue(cell('C', R + 4), DueText);
        }
        for (const char column : {'E', 'J'}) {
            sheet.setFormula(cell(column, R), amountText(t.sum));
            sheet.setFormula(cell(column, R + 1), amountText(t.service));
            sheet.setFormula(cell(column, R + 2), amountText(t.total));
            if (prepaid) {
                sheet.setFormula(cell(column, R + 3), amountText(t.prepaid));
                sheet.setFormula(cell(column, R + 4), amountText(t.due));
            }
            sheet.setValue(cell(column, orderRow), OrderText + QString::number(orderNumber));
        }
        sheet.setValue(cell('C', orderRow + 1), ThanksText);
        sheet.setBold(cell('C', R + 2), cell('J', orderRow));

        // The fiscal driver registers the total before the paper comes out.
        registerTotal(t.total.toDouble());

        book->print();
        book->print();
        book->close();
        return true;
    } catch (...) {
        // The printout fails silently; a workbook already made is closed unsaved as it goes.
        return false;
    }
}
