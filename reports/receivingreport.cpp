#include "reports/receivingreport.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "reports/columnwidths.h"
#include "reports/exportpicture.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString PurchaseCaption = QStringLiteral("შესყიდვის ფასი:");
const QString SaleCaption = QStringLiteral("გასაყიდი ფასი:");

// The receiving filters drop surrounding blanks; an empty one matches all.
QString trimmedPattern(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() ? QStringLiteral("%") : t;
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
    auto* group = new QGroupBox(QStringLiteral("მიღების ფილტრი"), this);
    auto* filters = new QHBoxLayout(group);
    auto labelled = [&](const QString& label, QWidget* w) {
        auto* form = new QFormLayout();
        form->setRowWrapPolicy(QFormLayout::WrapAllRows);
        form->addRow(label, w);
        filters->addLayout(form);
    };
    LabeledEdit2 = named(new QLineEdit(group), "LabeledEdit2");
    ComboBox5 = named(new QComboBox(group), "ComboBox5");
    ComboBox5->setEditable(true);
    ComboBox5->setInsertPolicy(QComboBox::NoInsert);
    ComboBox5->setMinimumContentsLength(14);
    Edit11 = named(new QLineEdit(group), "Edit11");
    DateTimePicker4 = named(new QDateEdit(Clock::today(), group), "DateTimePicker4");
    DateTimePicker5 = named(new QDateEdit(Clock::today(), group), "DateTimePicker5");
    for (QDateEdit* d : {DateTimePicker4, DateTimePicker5}) {
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setCalendarPopup(true);
    }
    Button10 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button10");
    SpeedButton7 = named(new QToolButton(group), "SpeedButton7");
    SpeedButton7->setIcon(exportPicture());
    SpeedButton7->setIconSize(QSize(32, 32));
    Button11 = named(new QPushButton(group), "Button11");
    Button11->hide();
    labelled(QStringLiteral("მომ. ს.ნ"), LabeledEdit2);
    labelled(QStringLiteral("მომწოდებელი"), ComboBox5);
    labelled(QStringLiteral("საბ. №"), Edit11);
    filters->addWidget(DateTimePicker4, 0, Qt::AlignBottom);
    filters->addWidget(DateTimePicker5, 0, Qt::AlignBottom);
    filters->addWidget(Button10, 0, Qt::AlignBottom);
    filters->addStretch(1);
    filters->addWidget(SpeedButton7, 0, Qt::AlignBottom);
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
    const int f = m_dm->momwodebeli->fieldIndex(QStringLiteral("momwodebeli"));
    for (int r = 0; r < m_dm->momwodebeli->rowCount(); ++r)
        ComboBox5->addItem(m_dm->momwodebeli->valueAt(r, f).toString());
    // Blank means every supplier: the filled list selects nothing.
    const QSignalBlocker quiet(ComboBox5);
    ComboBox5->setCurrentIndex(-1);
    ComboBox5->setEditText(QString());
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
}

void ReceivingReport::SpeedButton7Click()
{
    EXCELLGO(QStringLiteral("მიღება"), QStringLiteral("R_migeba"), *DBGrid6->queryModel());
}
