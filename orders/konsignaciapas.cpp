#include "orders/konsignaciapas.h"
#include "shell/ui.h"
#include "shell/inputerror.h"
#include "data/formats.h"
#include "data/values.h"

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
    setFixedSize(463, 240);
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
    layout->addWidget(new QLabel(QStringLiteral("სახელი გვარი"), this), 3, 0);
    Edit1 = named(new QLineEdit(this), "Edit1");
    layout->addWidget(Edit1, 3, 1, 1, 2);
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setDefault(true);
    layout->addWidget(Button1, 4, 2);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

Money Tkonsignacia::askAmount(const QString& orderNumber, double sum, Money withService)
{
    Label5->setText(orderNumber);
    Label6->setText(Formats::general(sum));
    Label7->setText(Formats::shortest(withService));
    QDialog::exec();
    return amount();
}

Money Tkonsignacia::amount() const
{
    const QString shown = CheckBox1->isChecked() ? Label7->text() : Label6->text();
    // A label that does not read as an amount stops the credit; it never becomes 0.
    bool tooLarge = false;
    const std::optional<Money> value = Money::parse(shown, &tooLarge);
    if (!value)
        throw InputError(QString::fromUtf8(tooLarge ? Values::AmountTooLargeText : Values::NotAnAmountText).arg(shown));
    return *value;
}

void Tkonsignacia::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Edit1->clear();
    CheckBox1->setChecked(true);
    Edit1->setFocus();
}
