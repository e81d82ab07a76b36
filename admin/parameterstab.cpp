#include "admin/parameterstab.h"
#include "app/shell/dbgrid.h"
#include "app/shell/shared.h"
#include "app/shell/ui.h"
#include "data/formats.h"
#include "data/datamodule.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

ParametersTab::ParametersTab(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(0, 64);
    grid->setColumnStretch(1, 36);
    grid->setRowStretch(0, 30);
    grid->setRowStretch(1, 70);

    GroupBox1 = named(new QGroupBox(QStringLiteral("ოფიციანტები"), this), "GroupBox1");
    auto* waiters = new QVBoxLayout(GroupBox1);
    DBGrid1 = named(new DBGrid(GroupBox1), "DBGrid1");
    DBGrid1->bind(dm->oficianti_s, {{QStringLiteral("Oficianti"), QStringLiteral("სახელი გვარი")},
                                    {QStringLiteral("mdgomareoba"), QStringLiteral("მდგომარეობა")}});
    waiters->addWidget(DBGrid1, 1);
    auto* addRow = new QHBoxLayout();
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    Button4 = named(new QPushButton(QStringLiteral("დამატება"), GroupBox1), "Button4");
    addRow->addWidget(Edit1, 1);
    addRow->addWidget(Button4);
    waiters->addLayout(addRow);
    grid->addWidget(GroupBox1, 0, 0);

    GroupBox2 = named(new QGroupBox(QStringLiteral("პარამეტრები"), this), "GroupBox2");
    auto* settings = new QFormLayout(GroupBox2);
    magraod = named(new QLineEdit(GroupBox2), "magraod");
    mompr = named(new QLineEdit(GroupBox2), "mompr");
    Button5 = named(new QPushButton(QStringLiteral("Save"), GroupBox2), "Button5");
    settings->addRow(QStringLiteral("მაგიდების რაოდენობა"), magraod);
    settings->addRow(QStringLiteral("მომსახურეობის %"), mompr);
    settings->addRow(Button5);
    grid->addWidget(GroupBox2, 0, 1);

    GroupBox4 = named(new QGroupBox(QStringLiteral("Contacts"), this), "GroupBox4");
    auto* contacts = new QVBoxLayout(GroupBox4);
    auto* support = new QLineEdit(QStringLiteral("ტექნიკური მხარდაჭერა: Kelvora"), GroupBox4);
    support->setReadOnly(true);
    Edit12 = named(new QLineEdit(GroupBox4), "Edit12");
    Edit12->setEchoMode(QLineEdit::Password);
    SpeedButton13 = named(new QToolButton(GroupBox4), "SpeedButton13");
    SpeedButton13->setText(QStringLiteral("Reset"));
    SpeedButton3 = named(new QToolButton(GroupBox4), "SpeedButton3");
    SpeedButton3->setText(QStringLiteral("SOS"));
    contacts->addWidget(support);
    contacts->addWidget(Edit12);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(SpeedButton13);
    buttons->addWidget(SpeedButton3);
    contacts->addLayout(buttons);
    contacts->addStretch(1);
    grid->addWidget(GroupBox4, 1, 1);

    Panel4 = named(new QWidget(this), "Panel4");
    auto* catalogue = new QVBoxLayout(Panel4);
    DBGrid3 = named(new DBGrid(Panel4), "DBGrid3");
    DBGrid3->setFont(timesBold(16));
    DBGrid3->bind(dm->kerdzebi_s, {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                                   {QStringLiteral("tipi"), QStringLiteral("ტიპი")},
                                   {QStringLiteral("gasayidi"), QStringLiteral("ფასი")},
                                   {QStringLiteral("prioriteti"), QStringLiteral("პრიორიტეტი")}});
    catalogue->addWidget(DBGrid3, 1);
    auto* newItem = new QHBoxLayout();
    Edit9 = named(new QLineEdit(Panel4), "Edit9");
    ComboBox4 = named(new QComboBox(Panel4), "ComboBox4");
    ComboBox4->setEditable(true);
    Edit10 = named(new QLineEdit(Panel4), "Edit10");
    Button9 = named(new QPushButton(QStringLiteral("დამატება"), Panel4), "Button9");
    newItem->addWidget(Edit9, 2);
    newItem->addWidget(ComboBox4, 2);
    newItem->addWidget(Edit10, 1);
    newItem->addWidget(Button9);
    catalogue->addLayout(newItem);
    grid->addWidget(Panel4, 1, 0);

    Button6 = named(new QPushButton(this), "Button6");
    Button6->hide();
    connectHandler(Button6, &QPushButton::clicked, this, &ParametersTab::Button6Click);
}

void ParametersTab::Button6Click()
{
    Edit1->clear();
    QHeaderView* header = DBGrid1->horizontalHeader();
    header->resizeSection(0, DBGrid1->width() - 140);
    header->resizeSection(1, 100);
    m_dm->setting->close();
    m_dm->setting->open();
    magraod->setText(QString::number(m_dm->setting->asInteger(QStringLiteral("Tables"))));
    mompr->setText(Formats::general(m_dm->setting->asFloat(QStringLiteral("momsaxureoba"))));
}
