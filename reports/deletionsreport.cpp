#include "reports/deletionsreport.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "reports/columnwidths.h"
#include "reports/reportfilters.h"
#include "reports/period.h"
#include "reports/exportpicture.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

DeletionsReport::DeletionsReport(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    FilterStrip filters(QStringLiteral("რეალიზაციის ფილტრი"), this);
    QGroupBox* group = filters.group();
    LabeledEdit6 = named(new QLineEdit(group), "LabeledEdit6");
    ComboBox9 = named(new QComboBox(group), "ComboBox9");
    FilterStrip::makePickBox(ComboBox9, 8);
    DateTimePicker6 = named(new QDateTimeEdit(Clock::now(), group), "DateTimePicker6");
    DateTimePicker7 = named(new QDateTimeEdit(Clock::now(), group), "DateTimePicker7");
    for (QDateTimeEdit* d : {DateTimePicker6, DateTimePicker7})
        FilterStrip::makeDateBox(d);
    Button16 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button16");
    SpeedButton5 = named(new QToolButton(group), "SpeedButton5");
    FilterStrip::makeExportButton(SpeedButton5);
    Button17 = named(new QPushButton(group), "Button17");
    Button17->hide();
    filters.addLabelled(QStringLiteral("შეკვეთის №"), LabeledEdit6);
    filters.addLabelled(QStringLiteral("მაგიდის №"), ComboBox9);
    filters.finish({DateTimePicker6, DateTimePicker7, Button16}, SpeedButton5);
    layout->addWidget(group);

    DBGrid9 = named(new DBGrid(this), "DBGrid9");
    DBGrid9->bind(dm->dels_s,
                  {{QStringLiteral("das"), QStringLiteral("დასახელება")},
                   {QStringLiteral("RAODENOBA"), QStringLiteral("რაოდენობა")},
                   {QStringLiteral("RAQNA"), QStringLiteral("ოპერაცია")},
                   {QStringLiteral("MAGIDA"), QStringLiteral("მაგიდა")},
                   {QStringLiteral("SHEKVETISN"), QStringLiteral("შეკვეთა")},
                   {QStringLiteral("TARIGI"), QStringLiteral("თარიღი")}});
    layout->addWidget(DBGrid9, 1);

    connectHandler(Button17, &QPushButton::clicked, this, &DeletionsReport::Button17Click);
    connectHandler(Button16, &QPushButton::clicked, this, &DeletionsReport::Button16Click);
    connectHandler(SpeedButton5, &QToolButton::clicked, this, &DeletionsReport::SpeedButton5Click);
}

void DeletionsReport::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    guarded([this] { TabSheet9Show(); });
}

void DeletionsReport::TabSheet9Show()
{
    Button17Click();
}

void DeletionsReport::Button17Click()
{
    const int w = DBGrid9->width();
    setColumnWidths(DBGrid9, {w - 650, 100, 100, 100, 100, 200});
    LabeledEdit6->clear();
    ComboBox9->clear();
    ComboBox9->setEditText(QString());
    const QDateTime now = Clock::now();
    DateTimePicker6->setDateTime(now.addDays(-1));
    DateTimePicker7->setDateTime(now.addDays(1));
    m_dm->Tables->reopen();
    fillPickList(ComboBox9, m_dm->Tables, QStringLiteral("TableNum"));
}

void DeletionsReport::Button16Click()
{
    // The log's entries carry their time of day: the end bound is the last
    // second of the end date, so that day is listed in full like every report.
    const QString end = DateTimePicker7->date().toString(Qt::ISODate) + QStringLiteral(" 23:59:59");
    m_dm->dELS->reopen({{QStringLiteral("MGD"), ifisstring(ComboBox9->currentText())},
                        {QStringLiteral("SHN"), ifisstring(LabeledEdit6->text())},
                        {QStringLiteral("ST"), DateTimePicker6->date()},
                        {QStringLiteral("EN"), end}});
    fitColumns(DBGrid9);
    Period::tellIfReversed(DateTimePicker6->date(), DateTimePicker7->date(), this);
}

void DeletionsReport::SpeedButton5Click()
{
    EXCELLGO(QStringLiteral("წაშლილები"), QStringLiteral("R_washlilebi"), *DBGrid9->queryModel());
}
