#include "admin/parameterstab.h"
#include "admin/adminrules.h"
#include "admin/deletes.h"
#include "admin/editablequerymodel.h"
#include "admin/gridediting.h"
#include "admin/picklistdelegate.h"
#include "admin/starmaskstyle.h"
#include "shell/enterpresses.h"
#include "shell/droplist.h"
#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "shell/postorreread.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString WaiterNameTitle = QStringLiteral("სახელი გვარი");
const QString ItemNameTitle = QStringLiteral("დასახელება");
const QString ItemTypeTitle = QStringLiteral("ტიპი");

bool inside(const QWidget* w, const QWidget* container)
{
    return w && (w == container || container->isAncestorOf(w));
}

}  // namespace

ParametersTab::ParametersTab(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(0, 64);
    grid->setColumnStretch(1, 36);
    grid->setRowStretch(0, 30);
    grid->setRowStretch(1, 70);

    GroupBox1 = named(new QGroupBox(QStringLiteral("ოფიციანტები"), this), "GroupBox1");
    auto* waiters = new QVBoxLayout(GroupBox1);
    DBGrid1 = named(new DBGrid(GroupBox1), "DBGrid1");
    auto* waiterModel = new EditableQueryModel(
        dm->oficianti_s, {{QStringLiteral("Oficianti"), WaiterNameTitle},
                          {QStringLiteral("mdgomareoba"), QStringLiteral("მდგომარეობა")}});
    waiterModel->setEditable(0, [](const QString& typed) {
        AdminRules::requireName(typed, WaiterNameTitle);
        AdminRules::requireFits(typed, "OFICIANTI", "Oficianti", WaiterNameTitle);
        return QVariant(typed);
    });
    waiterModel->setEditable(1, [](const QString& typed) { return QVariant(typed); });
    m_waiters = new GridEditing(DBGrid1, waiterModel);
    DBGrid1->setItemDelegateForColumn(
        1, new PickListDelegate([] { return QStringList{AdminRules::ActiveState, AdminRules::PassiveState}; },
                                false, DBGrid1));
    connectHandler(m_waiters, &GridEditing::keyTyped, this, &ParametersTab::DBGrid1KeyPress);
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
    auto* support = new QLabel(AdminRules::SupportLine, GroupBox4);
    support->setWordWrap(true);
    support->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Edit12 = named(new QLineEdit(GroupBox4), "Edit12");
    Edit12->setEchoMode(QLineEdit::Password);
    auto* stars = new StarMaskStyle(QApplication::style()->name());
    stars->setParent(Edit12);
    Edit12->setStyle(stars);
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
    DBGrid3->horizontalHeader()->setFont(timesBold(15));
    auto* itemModel = new EditableQueryModel(dm->kerdzebi_s, {{QStringLiteral("Dasaxeleba"), ItemNameTitle},
                                                              {QStringLiteral("tipi"), ItemTypeTitle},
                                                              {QStringLiteral("gasayidi"), QStringLiteral("ფასი")},
                                                              {QStringLiteral("prioriteti"), QStringLiteral("პრიორიტეტი")}});
    itemModel->setEditable(0, [](const QString& typed) {
        AdminRules::requireName(typed, ItemNameTitle);
        AdminRules::requireFits(typed, "kerdzebi", "Dasaxeleba", ItemNameTitle);
        return QVariant(typed);
    });
    itemModel->setEditable(1, [](const QString& typed) {
        AdminRules::requireFits(typed, "kerdzebi", "tipi", ItemTypeTitle);
        return QVariant(typed);
    });
    itemModel->setEditable(2, [](const QString& typed) { return QVariant(AdminRules::price(typed)); });
    itemModel->setEditable(3, [](const QString& typed) { return AdminRules::priority(typed); });
    // An item added in the grid's empty last row can be received like any other.
    itemModel->setInsertDefault(QStringLiteral("momwodebeli"), AdminRules::NoSupplier);
    m_catalogue = new GridEditing(DBGrid3, itemModel);
    // The type column's pick list is the data module's, refilled after every saved item.
    DBGrid3->setItemDelegateForColumn(1, new PickListDelegate([dm] { return dm->typePickList(); }, true, DBGrid3));
    catalogue->addWidget(DBGrid3, 1);
    auto* newItem = new QHBoxLayout();
    Edit9 = named(new QLineEdit(Panel4), "Edit9");
    ComboBox4 = named(new QComboBox(Panel4), "ComboBox4");
    ComboBox4->setEditable(true);
    readableDropDown(ComboBox4);
    Edit10 = named(new QLineEdit(Panel4), "Edit10");
    NumericKeyFilter::install(Edit10);
    Edit9->setPlaceholderText(ItemNameTitle);
    ComboBox4->lineEdit()->setPlaceholderText(ItemTypeTitle);
    Edit10->setPlaceholderText(QStringLiteral("ფასი"));
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
    connectHandler(Button4, &QPushButton::clicked, this, &ParametersTab::Button4Click);
    connectHandler(Button5, &QPushButton::clicked, this, &ParametersTab::Button5Click);
    connectHandler(SpeedButton13, &QToolButton::clicked, this, &ParametersTab::SpeedButton13Click);
    connectHandler(SpeedButton3, &QToolButton::clicked, this, &ParametersTab::SpeedButton3Click);
    connectHandler(Edit12, &QLineEdit::textChanged, this, &ParametersTab::Edit12Change);
    connectHandler(Edit9, &QLineEdit::textChanged, this, &ParametersTab::Edit9Change);
    connectHandler(Button9, &QPushButton::clicked, this, &ParametersTab::Button9Click);
    pressOnEnter({Edit1}, Button4);
    pressOnEnter({Edit9, ComboBox4, Edit10}, Button9);
    // The grid is left when the focus goes anywhere outside it (its cell editors are inside).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (inside(old, DBGrid3) && !inside(now, DBGrid3))
            guarded([this] { DBGrid3Exit(); });
    });
}

void ParametersTab::load()
{
    m_dm->oficianti->reopen();
    Button6Click();
    m_dm->kerdzebi->reopen({{QStringLiteral("das"), "%"}, {QStringLiteral("tp"), "%"}});
    // Name and type share what the price and the priority leave; the priority
    // keeps room for its whole title, and the scroll bar is left room too.
    QHeaderView* header = DBGrid3->horizontalHeader();
    const int priority = std::max(header->sectionSizeHint(3), 40);
    const int w = DBGrid3->width() - 2 * DBGrid3->frameWidth() - DBGrid3->verticalScrollBar()->sizeHint().width();
    const int wide = std::max((w - 100 - priority) / 2, 60);
    header->resizeSection(0, wide);
    header->resizeSection(1, wide);
    header->resizeSection(2, 100);
    header->resizeSection(3, priority);
    {
        // The narrowing is the listing just opened: emptying the name box must not reread.
        const QSignalBlocker quiet(Edit9);
        Edit9->clear();
    }
    Edit10->clear();
    fillTypes();
}

void ParametersTab::fillTypes()
{
    ComboBox4->clear();
    m_dm->GROUP_TYPE->reopen();
    const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
    for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
        ComboBox4->addItem(m_dm->GROUP_TYPE->valueAt(r, tipi).toString());
    ComboBox4->setEditText(QString());
}

void ParametersTab::Button6Click()
{
    Edit1->clear();
    QHeaderView* header = DBGrid1->horizontalHeader();
    header->resizeSection(0, DBGrid1->width() - 140);
    header->resizeSection(1, 100);
    m_dm->setting->reopen();
    magraod->setText(QString::number(m_dm->setting->asInteger(QStringLiteral("Tables"))));
    mompr->setText(Formats::general(m_dm->setting->asFloat(QStringLiteral("momsaxureoba"))));
}

void ParametersTab::Button4Click()
{
    const QString name = Edit1->text();
    if (name.isEmpty())
        return;
    AdminRules::requireName(name, WaiterNameTitle);
    AdminRules::requireFits(name, "OFICIANTI", "Oficianti", WaiterNameTitle);
    NamedQuery* q = m_dm->oficianti;
    if (!q->isOpen())
        q->open();
    m_waiters->model()->saveRow();
    q->insert();
    q->setField(QStringLiteral("Oficianti"), name);
    q->setField(QStringLiteral("mdgomareoba"), AdminRules::ActiveState);
    // A refused row is not kept half-made: the list is read again.
    postOrReread(q, [q] { q->reopen(); });
    Messages::show(name + AdminRules::ActivatedSuffix, this);
    q->reopen();
    Edit1->clear();
}

void ParametersTab::DBGrid1KeyPress(QChar key)
{
    if (key == u'\r' && m_dm->oficianti->isEditing() && m_dm->oficianti->isModified())
        m_waiters->model()->saveRow();
}

void ParametersTab::Button5Click()
{
    if (magraod->text().isEmpty() || mompr->text().isEmpty())
        return;
    // Both are read before anything is written: a refused one leaves the row as it was.
    const int tables = AdminRules::tableCount(magraod->text());
    const double percent = AdminRules::servicePercent(mompr->text());
    NamedQuery* s = m_dm->setting;
    if (!s->isOpen())
        s->open();
    s->edit();
    s->setField(QStringLiteral("Tables"), tables);
    s->setField(QStringLiteral("momsaxureoba"), percent);
    // Nobody may read unsaved values as the settings: a refused row is read again.
    postOrReread(s, [s] {
        s->cancel();
        s->reopen();
    });
    Messages::show(AdminRules::SavedText, this);
}

void ParametersTab::SpeedButton13Click()
{
    NamedQuery* s = m_dm->setting;
    {
        // Under the lock of order numbering, so that no order is drawn half-way.
        Transaction tx;
        tx.lockOrderNumbering();
        s->reopen();
        s->edit();
        try {
            s->setField(QStringLiteral("inctb"), 0);
            s->post();
        } catch (...) {
            s->cancel();
            throw;
        }
        tx.commit();
    }
    s->reopen();
    Messages::show(AdminRules::ResetText, this);
}

void ParametersTab::SpeedButton3Click()
{
    const QString program = AdminRules::findSupportProgram(AdminRules::supportSearchFolders());
    if (program.isEmpty()) {
        Messages::show(AdminRules::supportMissingText(), this);
        return;
    }
    // Opened by the desktop's handler for that file; its result is not ours to check.
    QDesktopServices::openUrl(QUrl::fromLocalFile(program));
}

void ParametersTab::Edit12Change()
{
    NamedQuery* s = m_dm->setting;
    if (!s->isOpen())
        s->open();
    if (Edit12->text() == s->asString(QStringLiteral("dawesebuleba")))
        forms().Del->exec();
}

void ParametersTab::Edit9Change()
{
    m_catalogue->model()->saveRow();
    m_dm->kerdzebi->reopen({{QStringLiteral("das"), Edit9->text() + QStringLiteral("%")}, {QStringLiteral("tp"), "%"}});
}

void ParametersTab::Button9Click()
{
    const QString name = Edit9->text();
    const QString type = ComboBox4->currentText();
    if (name.isEmpty() || Edit10->text().isEmpty() || type.isEmpty()) {
        Messages::show(AdminRules::CheckFieldsText, this);
        return;
    }
    // Every box is checked before anything is read or written.
    AdminRules::requireFits(name, "kerdzebi", "Dasaxeleba", ItemNameTitle);
    AdminRules::requireFits(type, "kerdzebi", "tipi", ItemTypeTitle);
    const double price = AdminRules::price(Edit10->text());

    NamedQuery* q = m_dm->kerdzebi;
    m_catalogue->model()->saveRow();
    // The name as typed is the pattern: "A%" finds every name beginning with "A".
    q->reopen({{QStringLiteral("das"), name}, {QStringLiteral("tp"), "%"}});
    if (!q->isEmpty()) {
        Messages::show(AdminRules::DuplicateNameText, this);
        return;
    }
    q->insert();
    q->setField(QStringLiteral("Dasaxeleba"), name);
    q->setField(QStringLiteral("tipi"), type);
    q->setField(QStringLiteral("gasayidi"), price);
    q->setField(QStringLiteral("momwodebeli"), AdminRules::NoSupplier);
    // No half-made row may wait in the grid to be saved later.
    postOrReread(q, [q] { q->reopen(); });
    Edit9->clear();
    Edit10->clear();
    ComboBox4->setEditText(QString());
    fillTypes();
}

void ParametersTab::DBGrid3Exit()
{
    if (m_dm->kerdzebi->isEditing() && m_dm->kerdzebi->isModified())
        m_catalogue->model()->saveRow();
}
