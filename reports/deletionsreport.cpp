#include "reports/deletionsreport.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "reports/columnwidths.h"
#include "reports/period.h"
#include "reports/exportpicture.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

DeletionsReport::DeletionsReport(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
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
    LabeledEdit6 = named(new QLineEdit(group), "LabeledEdit6");
    ComboBox9 = named(new QComboBox(group), "ComboBox9");
    ComboBox9->setEditable(true);
    ComboBox9->setInsertPolicy(QComboBox::NoInsert);
    ComboBox9->setMinimumContentsLength(8);
    DateTimePicker6 = named(new QDateTimeEdit(Clock::now(), group), "DateTimePicker6");
    DateTimePicker7 = named(new QDateTimeEdit(Clock::now(), group), "DateTimePicker7");
    for (QDateTimeEdit* d : {DateTimePicker6, DateTimePicker7}) {
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setCalendarPopup(true);
    }
    Button16 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button16");
    SpeedButton5 = named(new QToolButton(group), "SpeedButton5");
    SpeedButton5->setIcon(exportPicture());
    SpeedButton5->setIconSize(QSize(32, 32));
    Button17 = named(new QPushButton(group), "Button17");
    Button17->hide();
    labelled(QStringLiteral("შეკვეთის №"), LabeledEdit6);
    labelled(QStringLiteral("მაგიდის №"), ComboBox9);
    filters->addWidget(DateTimePicker6, 0, Qt::AlignBottom);
    filters->addWidget(DateTimePicker7, 0, Qt::AlignBottom);
    filters->addWidget(Button16, 0, Qt::AlignBottom);
    filters->addStretch(1);
    filters->addWidget(SpeedButton5, 0, Qt::AlignBottom);
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
    const int num = m_dm->Tables->fieldIndex(QStringLiteral("TableNum"));
    for (int r = 0; r < m_dm->Tables->rowCount(); ++r)
        ComboBox9->addItem(m_dm->Tables->valueAt(r, num).toString());
    // Blank means every table: the filled list selects nothing.
    const QSignalBlocker quiet(ComboBox9);
    ComboBox9->setCurrentIndex(-1);
    ComboBox9->setEditText(QString());
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
