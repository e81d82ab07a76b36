#include "reports/salesreport.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "reports/columnwidths.h"
#include "reports/reportfilters.h"
#include "reports/period.h"
#include "reports/exportpicture.h"
#include "reports/salessearch.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString OrderCountCaption = QStringLiteral("მაგიდის რაოდენ:");
const QString CreditCaption = QStringLiteral("კონსიგნაცია:");
const QString CashCaption = QStringLiteral("cash:");
const QString ServiceCaption = QStringLiteral("=");

}  // namespace

SalesReport::SalesReport(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    FilterStrip filters(QStringLiteral("რეალიზაციის ფილტრი"), this);
    QGroupBox* group = filters.group();
    LabeledEdit1 = named(new QLineEdit(group), "LabeledEdit1");
    mycom = named(new QComboBox(group), "mycom");
    ComboBox2 = named(new QComboBox(group), "ComboBox2");
    ComboBox6 = named(new QComboBox(group), "ComboBox6");
    for (QComboBox* box : {mycom, ComboBox2, ComboBox6})
        FilterStrip::makePickBox(box, 10);
    DateTimePicker1 = named(new QDateEdit(Clock::today(), group), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(Clock::today(), group), "DateTimePicker2");
    for (QDateEdit* d : {DateTimePicker1, DateTimePicker2})
        FilterStrip::makeDateBox(d);
    Button7 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button7");
    SpeedButton6 = named(new QToolButton(group), "SpeedButton6");
    FilterStrip::makeExportButton(SpeedButton6);
    filters.addLabelled(QStringLiteral("შეკვეთის №"), LabeledEdit1);
    filters.addLabelled(QStringLiteral("ოფიციანტი"), mycom);
    filters.addLabelled(QStringLiteral("მაგიდის №"), ComboBox2);
    filters.addLabelled(QStringLiteral("დასახელება"), ComboBox6);
    filters.finish({DateTimePicker1, DateTimePicker2, Button7}, SpeedButton6);
    layout->addWidget(group);

    DBGrid2 = named(new DBGrid(this), "DBGrid2");
    // A month's search lists tens of thousands of lines: the columns are fitted
    // to their headers and the texts of the first rows, not of every row.
    DBGrid2->verticalHeader()->setResizeContentsPrecision(100);
    DBGrid2->bind(dm->History_shekvetebi_S,
                  {{QStringLiteral("USERNUM"), QStringLiteral("შეკვეთის №")},
                   {QStringLiteral("Kerdzi_DAS"), QStringLiteral("კერძი")},
                   {QStringLiteral("OFFICIANT"), QStringLiteral("ოფიციანტი")},
                   {QStringLiteral("TableNum"), QStringLiteral("მაგიდა")},
                   {QStringLiteral("nashti"), QStringLiteral("ნაშთი")},
                   {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
                   {QStringLiteral("assulfasi"), QStringLiteral("თვით ღირ სულ")},
                   {QStringLiteral("sulfasi"), QStringLiteral("სულ ფასი")},
                   {QStringLiteral("Tarigi"), QStringLiteral("თარიღი")}});
    layout->addWidget(DBGrid2, 1);

    // The summary in two rows: quantities and cost with the credit at the right;
    // the order count and takings with the cash at the right.
    auto value = [this](const char* name) {
        auto* l = named(new QLabel(this), name);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        return l;
    };
    m_sulRaodenoba = value("SULRAODENOBA");
    m_sulAfasi = value("SULAFASI");
    m_sulGfasi = value("SULGFASI");
    m_sulGf = value("SULGF");
    m_sulGf->setToolTip(QStringLiteral("რეალიზებული თანხა მომსახურეობის გამოკლებით"));
    m_orderCount = value("orderCountLabel");
    m_credit = value("creditLabel");
    m_cash = value("cashLabel");
    m_service = value("serviceLabel");
    auto* first = new QHBoxLayout();
    first->addWidget(new QLabel(QStringLiteral("სულ რაოდენობა:"), this));
    first->addWidget(m_sulRaodenoba);
    first->addSpacing(24);
    first->addWidget(new QLabel(QStringLiteral("სულ თვითღირებულება:"), this));
    first->addWidget(m_sulAfasi);
    first->addStretch(1);
    first->addWidget(m_credit);
    auto* second = new QHBoxLayout();
    second->addWidget(m_orderCount);
    second->addSpacing(24);
    second->addWidget(new QLabel(QStringLiteral("სულ რეალიზებული:"), this));
    second->addWidget(m_sulGfasi);
    second->addSpacing(16);
    second->addWidget(m_sulGf);
    second->addSpacing(16);
    second->addWidget(m_service);
    second->addStretch(1);
    second->addWidget(m_cash);
    layout->addLayout(first);
    layout->addLayout(second);

    // Before the first search.
    m_orderCount->setText(OrderCountCaption);
    m_service->setText(QStringLiteral("0"));

    connectHandler(Button7, &QPushButton::clicked, this, &SalesReport::Button7Click);
    connectHandler(ComboBox6, &QComboBox::editTextChanged, this, &SalesReport::ComboBox6Change);
    connectHandler(SpeedButton6, &QToolButton::clicked, this, &SalesReport::SpeedButton6Click);
}

void SalesReport::fillWaiters()
{
    mycom->clear();
    fillPickList(mycom, m_dm->oficianti, QStringLiteral("Oficianti"));
}

void SalesReport::followWaiters()
{
    const QString chosen = mycom->currentText();
    fillWaiters();
    if (chosen.isEmpty())
        return;
    const QSignalBlocker quiet(mycom);
    const int at = mycom->findText(chosen);
    if (at >= 0)
        mycom->setCurrentIndex(at);
    mycom->setEditText(chosen);
}

void SalesReport::fillTables()
{
    ComboBox2->clear();
    ComboBox6->clear();
    m_dm->Tables->reopen();
    fillPickList(ComboBox2, m_dm->Tables, QStringLiteral("TableNum"));
    showBlank(ComboBox6);
}

void SalesReport::showToday()
{
    DateTimePicker1->setDate(Clock::today());
    DateTimePicker2->setDate(Clock::today());
    const int wide = (DBGrid2->width() - 750) / 2;
    setColumnWidths(DBGrid2, {100, wide, wide, 100, 100, 100, 100, 100, 100});
}

void SalesReport::Button7Click()
{
    SalesSearch::Filter filter;
    filter.usr = ifisstring(LabeledEdit1->text());
    filter.of = ifisstring(mycom->currentText());
    filter.tb = ifisstring(ComboBox2->currentText());
    filter.st = DateTimePicker1->date();
    filter.en = DateTimePicker2->date();
    filter.das = ifisstring(ComboBox6->currentText());
    m_totals = SalesSearch(m_dm).run(filter);
    showTotals();
    fitColumns(DBGrid2);
    Period::tellIfReversed(filter.st, filter.en, this);
}

void SalesReport::showTotals()
{
    const QVariant& quantity = m_totals.quantity;
    m_sulRaodenoba->setText(quantity.isNull() ? QString() : Formats::general(quantity.toDouble()));
    // The amounts are the sums of what the grid lists, blank when it lists nothing.
    const auto listed = [this](Money amount) { return m_totals.listed ? Formats::fixedTwo(amount) : QString(); };
    m_sulAfasi->setText(listed(m_totals.listedCost));
    m_sulGfasi->setText(listed(m_totals.listedWithService));
    m_sulGf->setText(listed(m_totals.listedTakings));
    m_orderCount->setText(OrderCountCaption + QString::number(m_totals.orders));
    m_credit->setText(CreditCaption + Formats::fixedTwo(m_totals.credit));
    m_cash->setText(CashCaption + Formats::fixedTwo(m_totals.cash));
    m_service->setText(ServiceCaption + Formats::fixedTwo(m_totals.service));
}

void SalesReport::ComboBox6Change()
{
    const QString typed = ComboBox6->currentText();
    m_dm->kerdzebi->reopen({{QStringLiteral("das"), typed + QStringLiteral("%")}, {QStringLiteral("tp"), "%"}});
    if (m_dm->kerdzebi->isEmpty())
        return;
    m_dm->kerdzebi->first();
    const QString name = m_dm->kerdzebi->asString(QStringLiteral("Dasaxeleba"));
    if (ComboBox6->findText(name, Qt::MatchExactly) >= 0)
        return;
    // Adding to an empty list would select the new entry and replace what is typed.
    const QSignalBlocker quiet(ComboBox6);
    const int cursor = ComboBox6->lineEdit()->cursorPosition();
    ComboBox6->addItem(name);
    ComboBox6->setEditText(typed);
    ComboBox6->lineEdit()->setCursorPosition(cursor);
}

void SalesReport::SpeedButton6Click()
{
    EXCELLGO(QStringLiteral("რეალიზაცია"), QStringLiteral("R_realizacia"), *DBGrid2->queryModel());
}
