#include "reports/receivingreport.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/likepattern.h"
#include "data/datamodule.h"
#include "reports/columnwidths.h"
#include "reports/reportfilters.h"
#include "reports/period.h"
#include "reports/exportpicture.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString PurchaseCaption = QStringLiteral("შესყიდვის ფასი:");
const QString SaleCaption = QStringLiteral("გასაყიდი ფასი:");

// The receiving filters drop surrounding blanks; an empty one matches all.
// A typed header matches only itself ("INV_1" is not "INV-1"); blank means all.
QString trimmedPattern(const QString& text)
{
    return LikePattern::exact(text.trimmed());
}

QString sumText(const QVariant& v)
{
    return v.isNull() ? QString() : Formats::fixedTwo(v.toDouble());
}

}  // namespace

ReceivingReport::ReceivingReport(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    FilterStrip filters(QStringLiteral("მიღების ფილტრი"), this);
    QGroupBox* group = filters.group();
    LabeledEdit2 = named(new QLineEdit(group), "LabeledEdit2");
    ComboBox5 = named(new QComboBox(group), "ComboBox5");
    FilterStrip::makePickBox(ComboBox5, 14);
    Edit11 = named(new QLineEdit(group), "Edit11");
    DateTimePicker4 = named(new QDateEdit(Clock::today(), group), "DateTimePicker4");
    DateTimePicker5 = named(new QDateEdit(Clock::today(), group), "DateTimePicker5");
    for (QDateEdit* d : {DateTimePicker4, DateTimePicker5})
        FilterStrip::makeDateBox(d);
    Button10 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button10");
    SpeedButton7 = named(new QToolButton(group), "SpeedButton7");
    FilterStrip::makeExportButton(SpeedButton7);
    Button11 = named(new QPushButton(group), "Button11");
    Button11->hide();
    filters.addLabelled(QStringLiteral("მომ. ს.ნ"), LabeledEdit2);
    filters.addLabelled(QStringLiteral("მომწოდებელი"), ComboBox5);
    filters.addLabelled(QStringLiteral("საბ. №"), Edit11);
    filters.finish({DateTimePicker4, DateTimePicker5, Button10}, SpeedButton7);
    layout->addWidget(group);

    DBGrid6 = named(new DBGrid(this), "DBGrid6");
    DBGrid6->bind(dm->migeba_new_S,
                  {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                   {QStringLiteral("raodenoba"), QStringLiteral("რაოდენობა")},
                   {QStringLiteral("asagebi"), QStringLiteral("ა.ფასი")},
                   {QStringLiteral("gasayidi"), QStringLiteral("გ.ფასი")},
                   {QStringLiteral("SASA"), QStringLiteral("შ.ფასი")},
                   {QStringLiteral("SGASA"), QStringLiteral("გ.ფასი")},
                   {QStringLiteral("momwFN"), QStringLiteral("მომწოდებელი")},
                   {QStringLiteral("sab_n"), QStringLiteral("საბ.ნ")},
                   {QStringLiteral("tarigi"), QStringLiteral("თარიღი")}});
    layout->addWidget(DBGrid6, 1);

    m_purchase = named(new QLabel(this), "sulasagebi");
    m_sale = named(new QLabel(this), "sulgasayidi");
    for (QLabel* l : {m_purchase, m_sale}) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    auto* totals = new QHBoxLayout();
    totals->addWidget(new QLabel(PurchaseCaption, this));
    totals->addWidget(m_purchase);
    totals->addSpacing(24);
    totals->addWidget(new QLabel(SaleCaption, this));
    totals->addWidget(m_sale);
    totals->addStretch(1);
    layout->addLayout(totals);

    connectHandler(Button11, &QPushButton::clicked, this, &ReceivingReport::Button11Click);
    connectHandler(Button10, &QPushButton::clicked, this, &ReceivingReport::Button10Click);
    connectHandler(SpeedButton7, &QToolButton::clicked, this, &ReceivingReport::SpeedButton7Click);
}

void ReceivingReport::Button11Click()
{
    const int w = DBGrid6->width();
    setColumnWidths(DBGrid6, {w - 850, 100, 100, 100, 100, 100, 100, 100, 100});
    LabeledEdit2->clear();
    ComboBox5->clear();
    ComboBox5->setEditText(QString());
    Edit11->clear();
    DateTimePicker4->setDate(Clock::today());
    DateTimePicker5->setDate(Clock::today());
    m_dm->momwodebeli->reopen();
    fillPickList(ComboBox5, m_dm->momwodebeli, QStringLiteral("momwodebeli"));
}

void ReceivingReport::Button10Click()
{
    const QString sn = trimmedPattern(LabeledEdit2->text());
    const QString fn = trimmedPattern(ComboBox5->currentText());
    const QString sab = trimmedPattern(Edit11->text());
    const QDate st = DateTimePicker4->date();
    const QDate en = DateTimePicker5->date();
    for (NamedQuery* q : {m_dm->migeba_new, m_dm->migeba_new_sum})
        q->reopen({{QStringLiteral("SN"), sn},
                   {QStringLiteral("FN"), fn},
                   {QStringLiteral("Sab"), sab},
                   {QStringLiteral("ST"), st},
                   {QStringLiteral("EN"), en}});
    m_purchase->setText(sumText(m_dm->migeba_new_sum->value(QStringLiteral("sulasagebi"))));
    m_sale->setText(sumText(m_dm->migeba_new_sum->value(QStringLiteral("sulgasayidi"))));
    fitColumns(DBGrid6);
    Period::tellIfReversed(st, en, this);
}

void ReceivingReport::SpeedButton7Click()
{
    EXCELLGO(QStringLiteral("მიღება"), QStringLiteral("R_migeba"), *DBGrid6->queryModel());
}
