#include "stock/receivingtab.h"
#include "shell/pictures.h"
#include "shell/enterpresses.h"
#include "shell/droplist.h"
#include "shell/dbgrid.h"
#include "shell/deletemark.h"
#include "shell/messages.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/clock.h"
#include "data/datasource.h"
#include "data/formats.h"
#include "data/likepattern.h"
#include "data/schema.h"
#include "data/datamodule.h"
#include "stock/receiving.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString AllTypes = QStringLiteral("ყველა");
const QString SupplierFilter = QStringLiteral("მომწოდებლის ფილტრი");
const QColor TotalGrey(0x80, 0x80, 0x80);
constexpr int DeleteColumn = 7;

QHBoxLayout* row(QBoxLayout* parent)
{
    auto* r = new QHBoxLayout();
    parent->addLayout(r);
    return r;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    return new QLabel(text, parent);
}

}  // namespace

QPixmap ReceivingTab::recordMark()
{
    return picture(QStringLiteral("record"));
}

ReceivingTab::ReceivingTab(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);

    // The header strip: what makes a delivery document.
    auto* header = row(root);
    Edit7 = named(new QLineEdit(this), "Edit7");
    ComboBox3 = named(new QComboBox(this), "ComboBox3");
    ComboBox3->setEditable(true);
    ComboBox3->setInsertPolicy(QComboBox::NoInsert);
    ComboBox3->setMinimumWidth(260);
    readableDropDown(ComboBox3);
    Edit8 = named(new QLineEdit(this), "Edit8");
    Edit8->setMaxLength(Schema::findColumn(QStringLiteral("migeba"), QStringLiteral("sab_n"))->length);
    Edit7->setMaxLength(Schema::findColumn(QStringLiteral("migeba"), QStringLiteral("momwSN"))->length);
    CheckBox2 = named(new QCheckBox(QStringLiteral("კონსიგნაცია"), this), "CheckBox2");
    CheckBox2->setEnabled(false);
    DateTimePicker3 = named(new QDateTimeEdit(Clock::now(), this), "DateTimePicker3");
    DateTimePicker3->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateTimePicker3->setCalendarPopup(true);
    header->addWidget(caption(QStringLiteral("მომწოდებლის ს.ნ"), this));
    header->addWidget(Edit7, 1);
    header->addWidget(caption(QStringLiteral("მომწოდებლი"), this));
    header->addWidget(ComboBox3, 2);
    header->addWidget(caption(QStringLiteral("საბ.№"), this));
    header->addWidget(Edit8, 1);
    header->addWidget(CheckBox2);
    header->addWidget(DateTimePicker3);

    TabControl1 = named(new QTabBar(this), "TabControl1");
    TabControl1->setExpanding(false);
    TabControl1->setUsesScrollButtons(true);
    root->addWidget(TabControl1);

    m_splitter = named(new QSplitter(Qt::Horizontal, this), "Splitter2");
    m_splitter->setChildrenCollapsible(false);
    root->addWidget(m_splitter, 1);

    // Left: the items.
    m_itemPanel = named(new QWidget(m_splitter), "Panel8");
    auto* left = new QVBoxLayout(m_itemPanel);
    left->setContentsMargins(0, 0, 0, 0);
    auto* nameRow = row(left);
    nameRow->addWidget(caption(QStringLiteral("დასახელება"), m_itemPanel));
    m_itemName = named(new QLabel(m_itemPanel), "itemName");
    m_itemName->setFont(timesBold(24));
    m_itemName->setStyleSheet(QStringLiteral("color: #FF0000;"));
    m_itemName->setWordWrap(true);
    nameRow->addWidget(m_itemName, 1);
    auto* filterRow = row(left);
    Edit3 = named(new QLineEdit(m_itemPanel), "Edit3");
    CheckBox1 = named(new QCheckBox(SupplierFilter, m_itemPanel), "CheckBox1");
    filterRow->addWidget(Edit3, 1);
    filterRow->addWidget(CheckBox1);
    DBGrid4 = named(new DBGrid(m_itemPanel), "DBGrid4");
    DBGrid4->setShowGrid(true);
    left->addWidget(DBGrid4, 1);

    // Right: the entry of one line, the document's lines and totals.
    auto* right = new QWidget(m_splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    GroupBox6 = named(new QGroupBox(right), "GroupBox6");
    auto* entry = new QHBoxLayout(GroupBox6);
    Edit4 = named(new QLineEdit(GroupBox6), "Edit4");
    Edit5 = named(new QLineEdit(GroupBox6), "Edit5");
    Edit6 = named(new QLineEdit(GroupBox6), "Edit6");
    for (QLineEdit* e : {Edit4, Edit5, Edit6})
        e->setMinimumWidth(80);
    m_entryItemName = named(new QLabel(GroupBox6), "entryItemName");
    m_entryItemName->setFont(timesBold(16));
    m_entryItemName->setStyleSheet(QStringLiteral("color: #FF0000;"));
    m_entryItemName->setWordWrap(true);
    SpeedButton4 = named(new QToolButton(GroupBox6), "SpeedButton4");
    SpeedButton4->setIcon(QIcon(recordMark()));
    SpeedButton4->setIconSize(QSize(32, 32));
    SpeedButton4->setFixedSize(44, 44);
    SpeedButton4->setToolTip(QStringLiteral("ჩაწერა"));
    entry->addWidget(caption(QStringLiteral("რაოდენობა"), GroupBox6));
    entry->addWidget(Edit4, 1);
    entry->addWidget(m_entryItemName, 2);
    entry->addWidget(caption(QStringLiteral("შეს. ფასი"), GroupBox6));
    entry->addWidget(Edit5, 1);
    entry->addWidget(caption(QStringLiteral("გას. ფასი"), GroupBox6));
    entry->addWidget(Edit6, 1);
    entry->addWidget(SpeedButton4);
    GroupBox6->setEnabled(false);
    rightLayout->addWidget(GroupBox6);

    DBGrid5 = named(new DBGrid(right), "DBGrid5");
    DBGrid5->setShowGrid(true);
    DBGrid5->horizontalHeader()->setStretchLastSection(false);
    DBGrid5->horizontalHeader()->setMinimumSectionSize(24);  // the delete mark's 30 pixels
    rightLayout->addWidget(DBGrid5, 1);
    auto* totals = row(rightLayout);
    m_purchaseTotal = named(new QLabel(right), "purchaseTotal");
    m_saleTotal = named(new QLabel(right), "saleTotal");
    for (QLabel* l : {m_purchaseTotal, m_saleTotal})
        l->setFont(timesBold(18));
    totals->addWidget(caption(QStringLiteral("შესყიდვის ფასი"), right));
    totals->addWidget(m_purchaseTotal);
    totals->addSpacing(40);
    totals->addWidget(caption(QStringLiteral("გაყიდვის ფასი"), right));
    totals->addWidget(m_saleTotal);
    totals->addStretch(1);

    Button8 = named(new QPushButton(this), "Button8");
    Button8->hide();

    DBGrid4->bind(dm->kerdzebi2_S, {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                                    {QStringLiteral("gasayidi"), QStringLiteral("ფასი")},
                                    {QStringLiteral("raodenoba"), QStringLiteral("რაოდენობა")}});
    for (int c : {1, 2})
        DBGrid4->setCellFont(c, DBGrid4->font(), Qt::AlignCenter);
    DBGrid5->bind(dm->migeba_s, {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                                 {QStringLiteral("raodenoba"), QStringLiteral("რაოდენობა")},
                                 {QStringLiteral("asagebi"), QStringLiteral("შ.ფასი")},
                                 {QStringLiteral("gasayidi"), QStringLiteral("გ.ფასი")},
                                 {QStringLiteral("SASAG"), QStringLiteral("ს.შ.ფ")},
                                 {QStringLiteral("SGASA"), QStringLiteral("ს.გ.ფ")},
                                 {QStringLiteral("tarigi"), QStringLiteral("თარიღი")},
                                 {QString(), QString()}});
    m_deleteMark = deleteMark();
    DBGrid5->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid5DrawColumnCell(p, rect, row, column);
    };

    NumericKeyFilter::installHandler(Edit4, [this](QKeyEvent* key) { return Edit4KeyPress(key); });
    // The prices too: a typo there would otherwise roll the whole line back.
    NumericKeyFilter::install(Edit5);
    NumericKeyFilter::install(Edit6);

    connectHandler(Button8, &QPushButton::clicked, this, &ReceivingTab::Button8Click);
    connectHandler(DateTimePicker3, &QDateTimeEdit::dateTimeChanged, this, &ReceivingTab::DateTimePicker3Change);
    connectHandler(Edit7, &QLineEdit::textChanged, this, &ReceivingTab::Edit7Change);
    connectHandler(Edit8, &QLineEdit::textChanged, this, &ReceivingTab::Edit8Change);
    connectHandler(ComboBox3, &QComboBox::currentTextChanged, this, &ReceivingTab::ComboBox3Change);
    connectHandler(CheckBox2, &QCheckBox::toggled, this, &ReceivingTab::CheckBox2Change);
    connectHandler(Edit3, &QLineEdit::textChanged, this, &ReceivingTab::Edit3Change);
    connectHandler(CheckBox1, &QCheckBox::clicked, this, &ReceivingTab::Edit3Change);
    connectHandler(TabControl1, &QTabBar::currentChanged, this, &ReceivingTab::Edit3Change);
    connect(DBGrid4, &DBGrid::cellClicked, this, [this] { guarded([this] { DBGrid4CellClick(); }); });
    connectHandler(SpeedButton4, &QToolButton::clicked, this, &ReceivingTab::SpeedButton4Click);
    pressOnEnter({Edit4, Edit5, Edit6}, SpeedButton4);
    connect(DBGrid5, &DBGrid::cellClicked, this, [this](int column) {
        guarded([&] { DBGrid5CellClick(column); });
    });
    connect(dm->sul_migeba_s, &DataSource::reset, this, &ReceivingTab::showTotals);
}

QString ReceivingTab::itemName() const
{
    return m_itemName->text();
}

QString ReceivingTab::purchaseTotal() const
{
    return m_purchaseTotal->text();
}

QString ReceivingTab::saleTotal() const
{
    return m_saleTotal->text();
}

void ReceivingTab::showTotals()
{
    NamedQuery* sums = m_dm->sul_migeba;
    const bool shown = sums->isOpen() && !sums->isEmpty();
    m_purchaseTotal->setText(shown ? sums->displayText(0, sums->fieldIndex(QStringLiteral("ASAG"))) : QString());
    m_saleTotal->setText(shown ? sums->displayText(0, sums->fieldIndex(QStringLiteral("GASA"))) : QString());
}

void ReceivingTab::Button8Click()
{
    // 1-2. The entry group waits for an item; the item panel takes a third.
    GroupBox6->setEnabled(false);
    const int w = width();
    m_splitter->setSizes({w / 3, w / 3 * 2 - 13});

    // 3. Emptied fields run their change handlers as a clerk's edit would.
    for (QLineEdit* e : {Edit3, Edit4, Edit5, Edit6, Edit7, Edit8})
        e->clear();
    {
        // Emptying the supplier box leaves the supplier filter's caption alone.
        const QSignalBlocker quiet(ComboBox3);
        ComboBox3->clear();
        ComboBox3->setEditText(QString());
    }
    // The supplier filter follows its emptied box.
    CheckBox1->setChecked(false);
    CheckBox1->setText(SupplierFilter);

    // 4. The known suppliers.
    NamedQuery* suppliers = m_dm->momwodebeli;
    suppliers->reopen();
    {
        const QSignalBlocker quiet(ComboBox3);
        const int f = suppliers->fieldIndex(QStringLiteral("momwodebeli"));
        for (int r = 0; r < suppliers->rowCount(); ++r)
            ComboBox3->addItem(suppliers->valueAt(r, f).toString());
        ComboBox3->setEditText(QString());
    }

    // 5. The type strip; selecting its first tab lists the items.
    {
        const QSignalBlocker quiet(TabControl1);
        while (TabControl1->count() > 0)
            TabControl1->removeTab(0);
        m_dm->GROUP_TYPE->reopen();
        TabControl1->addTab(AllTypes);
        const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
        for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
            TabControl1->addTab(m_dm->GROUP_TYPE->valueAt(r, tipi).toString());
        TabControl1->setCurrentIndex(0);
    }
    Edit3Change();

    // 6. Column widths.
    const int w4 = DBGrid4->viewport()->width();
    // The price and stock columns never narrower than the stock column's title.
    const int narrow = std::max(70, DBGrid4->horizontalHeader()->sectionSizeHint(2));
    DBGrid4->setColumnWidth(0, std::max(100, w4 - 30 - 2 * narrow));
    DBGrid4->setColumnWidth(1, narrow);
    DBGrid4->setColumnWidth(2, narrow);
    const int w5 = DBGrid5->viewport()->width();
    DBGrid5->setColumnWidth(0, std::max(120, w5 - 670));
    for (int c = 1; c < DeleteColumn; ++c)
        DBGrid5->setColumnWidth(c, 100);
    DBGrid5->setColumnWidth(DeleteColumn, 30);

    // 7. Today's document.
    {
        const QSignalBlocker quiet(DateTimePicker3);
        DateTimePicker3->setDateTime(Clock::now());
    }
    DateTimePicker3Change();

    // 8.
    CheckBox2->setEnabled(false);
    CheckBox2->setChecked(false);
}

void ReceivingTab::DateTimePicker3Change()
{
    const QString sn = Edit7->text();
    const QString fn = ComboBox3->currentText();
    const QString sab = Edit8->text();
    const bool documentNamed = !fn.isEmpty() && !sab.isEmpty();
    CheckBox2->setEnabled(documentNamed);
    if (!documentNamed)
        CheckBox2->setChecked(false);
    Receiving::reloadDocument(*m_dm, sn, fn, sab, DateTimePicker3->date());
}

void ReceivingTab::Edit7Change()
{
    DateTimePicker3Change();
}

void ReceivingTab::Edit8Change()
{
    DateTimePicker3Change();
}

void ReceivingTab::DBGrid5DrawColumnCell(QPainter* p, const QRect& rect, int row, int column)
{
    if (column == 4 || column == 5) {
        p->fillRect(rect, TotalGrey);
        p->setPen(palette().color(QPalette::Text));
        p->drawText(rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                    DBGrid5->model()->index(row, column).data().toString());
    } else if (column == DeleteColumn) {
        p->drawPixmap(rect, m_deleteMark);
    }
}

bool ReceivingTab::Edit4KeyPress(QKeyEvent* key)
{
    return NumericKeyFilter::keyPress(Edit4, key);
}

void ReceivingTab::ComboBox3Change()
{
    const QString supplier = ComboBox3->currentText();
    CheckBox1->setText(supplier.isEmpty() ? SupplierFilter : supplier);
    // No supplier to filter by: the filter is off, and the items all listed.
    if (supplier.isEmpty() && CheckBox1->isChecked()) {
        CheckBox1->setChecked(false);
        Edit3Change();
    }
    DateTimePicker3Change();
}

void ReceivingTab::CheckBox2Change()
{
    // The ledger holds a shorter document number than the receiving line.
    const int lineLength = Schema::findColumn(QStringLiteral("migeba"), QStringLiteral("sab_n"))->length;
    if (!CheckBox2->isChecked()) {
        Edit8->setMaxLength(lineLength);
        Edit8->setToolTip(QString());
        return;
    }
    const QString refused = Receiving::documentTooLong(Edit8->text());
    if (!refused.isEmpty()) {
        CheckBox2->setChecked(false);
        Messages::show(refused + QLatin1Char(' ') + QStringLiteral("შეამოკლეთ საბუთის № ან გამორთეთ კონსიგნაცია"),
                       this);
        return;
    }
    Edit8->setMaxLength(Receiving::ledgerNumberLength());
    Edit8->setToolTip(QStringLiteral("კონსიგნაციისას საბუთის № არაუმეტეს %1 სიმბოლოსი")
                          .arg(Receiving::ledgerNumberLength()));
}

void ReceivingTab::Edit3Change()
{
    const int tab = TabControl1->currentIndex();
    const QString tp = tab <= 0 ? QStringLiteral("%") : TabControl1->tabText(tab);
    // The supplier's whole name, as the items carry it.
    const QString mom = CheckBox1->isChecked() ? LikePattern::exact(ComboBox3->currentText()) : QStringLiteral("%");
    m_dm->kerdzebi2->reopen({{QStringLiteral("das"), Edit3->text() + QLatin1Char('%')},
                             {QStringLiteral("tp"), tp},
                             {QStringLiteral("mom"), mom}});
}

void ReceivingTab::pickItem(qint64 id, const QString& name)
{
    m_item = id;
    m_itemName->setText(name);
    m_entryItemName->setText(name);
}

void ReceivingTab::DBGrid4CellClick()
{
    NamedQuery* items = m_dm->kerdzebi2;
    if (!items->isOpen() || items->isEmpty())
        return;
    GroupBox6->setEnabled(true);
    pickItem(items->asInteger(QStringLiteral("ID")), items->asString(QStringLiteral("Dasaxeleba")));
    // In the system's number format, so that the offered prices record as they stand.
    auto price = [items](const char* field) {
        const QString f = QLatin1String(field);
        return items->isNull(f) ? QString() : Formats::general(items->asFloat(f));
    };
    Edit5->setText(price("asagebi"));
    Edit6->setText(price("gasayidi"));
    Edit4->clear();
    Edit4->setFocus();
    Edit4->selectAll();
}

void ReceivingTab::SpeedButton4Click()
{
    ReceivedLine line;
    line.item = m_item;
    line.quantity = Edit4->text();
    line.purchasePrice = Edit5->text();
    line.salePrice = Edit6->text();
    line.supplierNumber = Edit7->text();
    line.supplier = ComboBox3->currentText();
    line.document = Edit8->text();
    line.day = DateTimePicker3->date();
    line.consignment = CheckBox2->isChecked();
    Receiving::record(*m_dm, line);
    // The same item stays picked: the next line for it needs only new numbers.
    Edit5->clear();
    Edit6->clear();
    Edit4->clear();
}

void ReceivingTab::DBGrid5CellClick(int column)
{
    NamedQuery* lines = m_dm->migeba_old;
    if (column != DeleteColumn || !lines->isOpen() || lines->isEmpty())
        return;
    const QDate day = DateTimePicker3->date();
    const QString supplier = lines->asString(QStringLiteral("momwFN"));
    const QString document = lines->asString(QStringLiteral("sab_n"));
    const QString item = lines->asString(QStringLiteral("Dasaxeleba"));
    const QString quantity = Formats::general(lines->asFloat(QStringLiteral("raodenoba")));
    const int ledgerRows = Receiving::ledgerRows(*m_dm, supplier, document, day);
    Receiving::deleteCurrentLine(*m_dm, day);
    // What was deleted, then the ledger rows the document has, as the system tells them.
    Messages::show(Receiving::deletedLineText(item, quantity, supplier, document) + QLatin1Char('\n')
                       + QStringLiteral("%1 - %2 - %3").arg(ledgerRows).arg(supplier, document),
                   this);
}
