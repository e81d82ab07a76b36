#include "orders/konsignaciapas.h"
#include "shell/ui.h"
#include "billing/billprintout.h"
#include "data/billtotal.h"
#include "data/formats.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tkonsignacia::Tkonsignacia(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("konsignacia"));
    setWindowTitle(QStringLiteral("კონსიგნაცია"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    // Taller than the bare dialog: the prepayment and what is due show too.
    setFixedSize(463, 300);
    setFont(tahoma(19));
    // Without a title bar the dialog draws its own edge, so it stands out from
    // the order window behind it.
    auto* edge = new QVBoxLayout(this);
    edge->setContentsMargins(0, 0, 0, 0);
    auto* frame = named(new QFrame(this), "Frame1");
    frame->setStyleSheet(QStringLiteral("#Frame1 { border: 3px solid #0F552E; }"));
    edge->addWidget(frame);
    auto* layout = new QGridLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("შეკვეთის №"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("თანხა"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("მომსახურეობა"), this), 0, 2);
    Label5 = named(new QLabel(this), "Label5");
    Label6 = named(new QLabel(this), "Label6");
    Label7 = named(new QLabel(this), "Label7");
    layout->addWidget(Label5, 1, 0);
    layout->addWidget(Label6, 1, 1);
    layout->addWidget(Label7, 1, 2);
    CheckBox1 = named(new QCheckBox(QStringLiteral("შევიდეს მომსახურეობის თანხა"), this), "CheckBox1");
    layout->addWidget(CheckBox1, 2, 0, 1, 3);
    Label8 = named(new QLabel(this), "Label8");
    Label9 = named(new QLabel(this), "Label9");
    QFont bold = Label9->font();
    bold.setBold(true);
    Label9->setFont(bold);
    layout->addWidget(new QLabel(BillPrintout::PrepaidText, this), 3, 0, 1, 2);
    layout->addWidget(Label8, 3, 2);
    layout->addWidget(new QLabel(BillPrintout::DueText, this), 4, 0, 1, 2);
    layout->addWidget(Label9, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("სახელი გვარი"), this), 5, 0);
    Edit1 = named(new QLineEdit(this), "Edit1");
    layout->addWidget(Edit1, 5, 1, 1, 2);
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setDefault(true);
    layout->addWidget(Button1, 6, 2);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(CheckBox1, &QCheckBox::toggled, this, &Tkonsignacia::showDue);
}

Money Tkonsignacia::askAmount(const QString& orderNumber, Money sum, Money withService, Money prepaid)
{
    m_sum = sum;
    m_withService = withService;
    m_prepaid = prepaid;
    Label5->setText(orderNumber);
    Label6->setText(Formats::fixedTwo(sum));
    Label7->setText(Formats::fixedTwo(withService));
    Label8->setText(Formats::fixedTwo(prepaid));
    showDue();
    QDialog::exec();
    return amount();
}

Money Tkonsignacia::amount() const
{
    return BillTotal::due(CheckBox1->isChecked() ? m_withService : m_sum, m_prepaid);
}

void Tkonsignacia::showDue()
{
    Label9->setText(Formats::fixedTwo(amount()));
}

void Tkonsignacia::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Edit1->clear();
    CheckBox1->setChecked(true);
    Edit1->setFocus();
}
