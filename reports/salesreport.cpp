#include "reports/salesreport.h"
#include "app/shell/dbgrid.h"
#include "app/shell/shared.h"
#include "reports/excellgo.h"
#include "app/shell/ui.h"
#include "data/clock.h"
#include "data/datamodule.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

SalesReport::SalesReport(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("რეალიზაციის ფილტრი"), this);
    auto* filters = new QHBoxLayout(group);
    auto labelled = [&](const QString& label, QWidget* w) {
        auto* form = new QFormLayout();
        form->setRowWrapPolicy(QFormLayout::WrapAllRows);
        form->addRow(label, w);
        filters->addLayout(form);
    };
    LabeledEdit1 = named(new QLineEdit(group), "LabeledEdit1");
    mycom = named(new QComboBox(group), "mycom");
    mycom->setEditable(true);
    ComboBox2 = named(new QComboBox(group), "ComboBox2");
    ComboBox2->setEditable(true);
    ComboBox6 = named(new QComboBox(group), "ComboBox6");
    ComboBox6->setEditable(true);
    DateTimePicker1 = named(new QDateEdit(Clock::today(), group), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(Clock::today(), group), "DateTimePicker2");
    for (QDateEdit* d : {DateTimePicker1, DateTimePicker2}) {
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setCalendarPopup(true);
    }
    Button7 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button7");
    SpeedButton6 = named(new QToolButton(group), "SpeedButton6");
    labelled(QStringLiteral("შეკვეთის №"), LabeledEdit1);
    labelled(QStringLiteral("ოფიციანტი"), mycom);
    labelled(QStringLiteral("მაგიდის №"), ComboBox2);
    labelled(QStringLiteral("დასახელება"), ComboBox6);
    filters->addWidget(DateTimePicker1);
    filters->addWidget(DateTimePicker2);
    filters->addWidget(Button7);
    filters->addStretch(1);
    filters->addWidget(SpeedButton6);
    layout->addWidget(group);

    DBGrid2 = named(new DBGrid(this), "DBGrid2");
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
    connectHandler(SpeedButton6, &QToolButton::clicked, this, &SalesReport::SpeedButton6Click);
}

void SalesReport::SpeedButton6Click()
{
    EXCELLGO(QStringLiteral("რეალიზაცია"), QStringLiteral("R_realizacia"), *DBGrid2->queryModel());
}
