#include "reports/warehousereport.h"
#include "shell/droplist.h"
#include "shell/dbgrid.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/excellgo.h"
#include "data/datamodule.h"
#include "reports/columnwidths.h"
#include "reports/exportpicture.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

WarehouseReport::WarehouseReport(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("საწყობი"), this);
    auto* filters = new QHBoxLayout(group);
    auto labelled = [&](const QString& label, QWidget* w) {
        auto* form = new QFormLayout();
        form->setRowWrapPolicy(QFormLayout::WrapAllRows);
        form->addRow(label, w);
        filters->addLayout(form);
    };
    LabeledEdit3 = named(new QLineEdit(group), "LabeledEdit3");
    ComboBox1 = named(new QComboBox(group), "ComboBox1");
    ComboBox7 = named(new QComboBox(group), "ComboBox7");
    for (QComboBox* box : {ComboBox1, ComboBox7}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumContentsLength(14);
        readableDropDown(box);
    }
    Button12 = named(new QPushButton(QStringLiteral("ძებნა"), group), "Button12");
    SpeedButton8 = named(new QToolButton(group), "SpeedButton8");
    SpeedButton8->setIcon(exportPicture());
    SpeedButton8->setIconSize(QSize(32, 32));
    Button13 = named(new QPushButton(group), "Button13");
    Button13->hide();
    labelled(QStringLiteral("დასახელება"), LabeledEdit3);
    labelled(QStringLiteral("მომწოდებელი"), ComboBox1);
    labelled(QStringLiteral("ტიპი"), ComboBox7);
    filters->addWidget(Button12, 0, Qt::AlignBottom);
    filters->addStretch(1);
    filters->addWidget(SpeedButton8, 0, Qt::AlignBottom);
    layout->addWidget(group);

    DBGrid7 = named(new DBGrid(this), "DBGrid7");
    DBGrid7->bind(dm->kerdzebi2_S,
                  {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                   {QStringLiteral("asagebi"), QStringLiteral("შეს. ფასი")},
                   {QStringLiteral("gasayidi"), QStringLiteral("გას. ფასი")},
                   {QStringLiteral("tipi"), QStringLiteral("ტიპი")},
                   {QStringLiteral("raodenoba"), QStringLiteral("რაოდენობა")},
                   {QStringLiteral("momwodebeli"), QStringLiteral("მომწოდებელი")},
                   {QStringLiteral("sulgas"), QStringLiteral("სულ.გას")},
                   {QStringLiteral("sulshes"), QStringLiteral("სულ.შეს")}});
    DBGrid7->installEventFilter(this);
    layout->addWidget(DBGrid7, 1);

    connectHandler(Button13, &QPushButton::clicked, this, &WarehouseReport::Button13Click);
    connectHandler(Button12, &QPushButton::clicked, this, &WarehouseReport::Button12Click);
    connectHandler(LabeledEdit3, &QLineEdit::textChanged, this, &WarehouseReport::Button12Click);
    connectHandler(ComboBox1, &QComboBox::editTextChanged, this, &WarehouseReport::Button12Click);
    connectHandler(ComboBox7, &QComboBox::editTextChanged, this, &WarehouseReport::Button12Click);
    connectHandler(SpeedButton8, &QToolButton::clicked, this, &WarehouseReport::SpeedButton8Click);
}

void WarehouseReport::Button13Click()
{
    const int w = DBGrid7->width();
    setColumnWidths(DBGrid7, {w - 750, 100, 100, 100, 100, 100, 100, 100});
    {
        // The boxes are emptied before the list is read again, so the list never
        // shows a filter that the boxes no longer show.
        const QSignalBlocker name(LabeledEdit3);
        const QSignalBlocker supplier(ComboBox1);
        const QSignalBlocker type(ComboBox7);
        LabeledEdit3->clear();
        ComboBox1->clear();
        ComboBox1->setEditText(QString());
        ComboBox7->clear();
        ComboBox7->setEditText(QString());

        ComboBox7->addItem(QString());
        m_dm->GROUP_TYPE->reopen();
        const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
        for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
            ComboBox7->addItem(m_dm->GROUP_TYPE->valueAt(r, tipi).toString());
        m_dm->momwodebeli->reopen();
        const int mom = m_dm->momwodebeli->fieldIndex(QStringLiteral("momwodebeli"));
        for (int r = 0; r < m_dm->momwodebeli->rowCount(); ++r)
            ComboBox1->addItem(m_dm->momwodebeli->valueAt(r, mom).toString());
        // Blank means all: the filled lists select nothing.
        for (QComboBox* box : {ComboBox1, ComboBox7}) {
            box->setCurrentIndex(-1);
            box->setEditText(QString());
        }
    }
    Button12Click();
}

void WarehouseReport::Button12Click()
{
    m_dm->kerdzebi2->reopen({{QStringLiteral("das"), LabeledEdit3->text() + QStringLiteral("%")},
                             {QStringLiteral("tp"), ifisstring(ComboBox7->currentText())},
                             {QStringLiteral("mom"), ifisstring(ComboBox1->currentText())}});
    fitColumns(DBGrid7);
}

void WarehouseReport::postPending()
{
    NamedQuery* q = m_dm->kerdzebi2;
    if (q->isOpen() && (q->state() == NamedQuery::State::Edit || q->state() == NamedQuery::State::Insert))
        q->post();
}

void WarehouseReport::DBGrid7Exit()
{
    postPending();
}

void WarehouseReport::DBGrid7KeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        postPending();
}

bool WarehouseReport::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid7) {
        if (event->type() == QEvent::FocusOut)
            guarded([this] { DBGrid7Exit(); });
        else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            guarded([this, key] { DBGrid7KeyPress(key); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WarehouseReport::SpeedButton8Click()
{
    EXCELLGO(QStringLiteral("საწყობი"), QStringLiteral("R_sawyobi"), *DBGrid7->queryModel());
}
