#include "orders/shekveta.h"
#include "shell/dbgrid.h"
#include "shell/deletemark.h"
#include "shell/feedfollower.h"
#include "shell/forms.h"
#include "shell/inputerror.h"
#include "shell/messages.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "billing/billprintout.h"
#include "billing/dprint.h"
#include "office/spreadsheet.h"
#include "data/billtotal.h"
#include "data/datasource.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "orders/corrections.h"
#include "orders/settlement.h"
#include "orders/konsignaciapas.h"
#include "orders/tanxis_gadaxda_winaswar.h"
#include "orders/eraodenoba.h"
#include "orders/magidis_shecvla.h"
#include "orders/raodenobau.h"
#include "data/datamodule.h"
#include "data/storedvalues.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScrollBar>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

Tshekvetebi::Tshekvetebi(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("shekvetebi"));
    setWindowTitle(QStringLiteral("შეკვეთა"));
    setFont(timesBold(13));
    resize(1006, 658);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 0);

    Label1 = named(new QLabel(QStringLiteral("0"), this), "Label1");
    Label1->setFont(timesBold(48));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAlignment(Qt::AlignCenter);
    root->addWidget(Label1);

    TabControl1 = named(new QTabBar(this), "TabControl1");
    TabControl1->setShape(QTabBar::RoundedSouth);
    TabControl1->setExpanding(false);
    root->addWidget(TabControl1);

    Splitter1 = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
    root->addWidget(Splitter1, 1);

    // The menu side.
    Panel2 = named(new QWidget(Splitter1), "Panel2");
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    Panel3 = named(new QWidget(Panel2), "Panel3");
    auto* filters = new QHBoxLayout(Panel3);
    filters->setContentsMargins(0, 0, 0, 0);
    ComboBox1 = named(new QComboBox(Panel3), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setMinimumWidth(220);
    // The waiters' list is read at arm's length in a hurry: a large font, tall
    // rows and whole names, the list as wide as its longest name.
    ComboBox1->setFont(tahoma(19));
    ComboBox1->setItemDelegate(new QStyledItemDelegate(ComboBox1));
    ComboBox1->view()->setStyleSheet(QStringLiteral("QAbstractItemView::item { min-height: 34px; }"));
    ComboBox1->view()->setTextElideMode(Qt::ElideNone);
    const auto fitWaiterList = [this] {
        int widest = 0;
        for (int i = 0; i < ComboBox1->count(); ++i)
            widest = std::max(widest, ComboBox1->view()->fontMetrics().horizontalAdvance(ComboBox1->itemText(i)));
        ComboBox1->view()->setMinimumWidth(widest + 40);
    };
    connect(ComboBox1->model(), &QAbstractItemModel::rowsInserted, this, fitWaiterList);
    connect(ComboBox1->model(), &QAbstractItemModel::modelReset, this, fitWaiterList);
    Label2 = named(new QLabel(QStringLiteral("დასახელება"), Panel3), "Label2");
    Edit1 = named(new QLineEdit(Panel3), "Edit1");
    filters->addWidget(ComboBox1);
    filters->addWidget(Label2);
    filters->addWidget(Edit1, 1);
    left->addWidget(Panel3);
    DBGrid1 = named(new DBGrid(Panel2), "DBGrid1");
    DBGrid1->setShowGrid(true);
    left->addWidget(DBGrid1, 1);

    // The order side.
    auto* right = new QWidget(Splitter1);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    Panel6 = named(new QWidget(right), "Panel6");
    auto* bar = new QHBoxLayout(Panel6);
    bar->setContentsMargins(0, 0, 0, 0);
    CheckBox2 = named(new QCheckBox(Panel6), "CheckBox2");
    CheckBox2->setChecked(true);
    CheckBox1 = named(new QCheckBox(QStringLiteral("კონსიგნაცია"), Panel6), "CheckBox1");
    SpeedButton2 = named(new QToolButton(Panel6), "SpeedButton2");
    SpeedButton2->setFixedSize(40, 40);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    SpeedButton2->setToolTip(QStringLiteral("ბეჭდვა"));
    SpeedButton3 = named(new QToolButton(Panel6), "SpeedButton3");
    SpeedButton3->hide();
    SpeedButton1 = named(new QToolButton(Panel6), "SpeedButton1");
    SpeedButton1->setIcon(QIcon(deleteMark()));
    SpeedButton1->hide();
    bar->addWidget(CheckBox2);
    bar->addWidget(CheckBox1);
    bar->addStretch(1);
    bar->addWidget(SpeedButton2);
    rightLayout->addWidget(Panel6);

    DBGrid2 = named(new DBGrid(right), "DBGrid2");
    rightLayout->addWidget(DBGrid2, 1);

    auto* bottom = new QHBoxLayout();
    Panel7 = named(new QWidget(right), "Panel7");
    auto* totals = new QVBoxLayout(Panel7);
    totals->setContentsMargins(0, 0, 0, 0);
    DBText1 = named(new QLabel(Panel7), "DBText1");
    auto* totalLine = new QHBoxLayout();
    Label3 = named(new QLabel(QStringLiteral("0"), Panel7), "Label3");
    Label3->setFont(timesBold(24));
    DBText2 = named(new QLabel(Panel7), "DBText2");
    DBText2->setStyleSheet(QStringLiteral("color: blue;"));
    DBText2->setFont(timesBold(24));
    DBText2->setToolTip(QStringLiteral("წინასწარ გადახდილი თანხა"));
    totalLine->addWidget(Label3, 1);
    totalLine->addWidget(DBText2);
    totals->addWidget(DBText1);
    totals->addLayout(totalLine);
    bottom->addWidget(Panel7, 1);
    Button2 = named(new QPushButton(QStringLiteral("გადახდა"), right), "Button2");
    Button1 = named(new QPushButton(QStringLiteral("სუფრის ალაგება"), right), "Button1");
    Button2->setAutoDefault(false);
    Button1->setAutoDefault(false);
    bottom->addWidget(Button2);
    bottom->addWidget(Button1);
    rightLayout->addLayout(bottom);

    // The menu and the order's lines.
    DBGrid1->bind(dm->kerdzebi_s, {{QStringLiteral("Dasaxeleba"), QStringLiteral("დასახელება")},
                                   {QStringLiteral("gasayidi"), QStringLiteral("ფასი")},
                                   {QStringLiteral("raodenoba"), QStringLiteral("ნაშთი")}});
    DBGrid2->bind(dm->shekvetebi_s, {{QStringLiteral("Kerdzi_DAS"), QStringLiteral("დასახელება")},
                                     {QStringLiteral("Raodenoba"), QStringLiteral("რაოდენობა")},
                                     {QStringLiteral("sulfasi"), QStringLiteral("ფასი")},
                                     {QString(), QString()}});
    for (DBGrid* g : {DBGrid1, DBGrid2})
        g->setShowGrid(false);
    m_deleteMark = deleteMark();
    DBGrid2->drawColumnCell = [this](QPainter* p, const QRect& rect, int row, int column) {
        DBGrid2DrawColumnCell(p, rect, row, column);
    };

    connectHandler(Edit1, &QLineEdit::textChanged, this, &Tshekvetebi::Edit1Change);
    connectHandler(TabControl1, &QTabBar::currentChanged, this, &Tshekvetebi::Edit1Change);
    connect(DBGrid1, &DBGrid::cellDoubleClicked, this, [this] { DBGrid1DblClick(); });
    connectHandler(CheckBox2, &QCheckBox::clicked, this, &Tshekvetebi::CheckBox2Click);
    connectHandler(Splitter1, &QSplitter::splitterMoved, this, &Tshekvetebi::Splitter1Moved);
    connect(DBGrid2, &DBGrid::cellClicked, this, &Tshekvetebi::DBGrid2CellClick);
    connectHandler(Button1, &QPushButton::clicked, this, &Tshekvetebi::Button1Click);
    connectHandler(Button2, &QPushButton::clicked, this, &Tshekvetebi::Button2Click);
    connectHandler(SpeedButton2, &QToolButton::clicked, this, &Tshekvetebi::SpeedButton2Click);
    Label1->installEventFilter(this);
    // Enter on a menu row, or in the name filter on the row it found, orders
    // that dish as a double-click does.
    DBGrid1->installEventFilter(this);
    connect(Edit1, &QLineEdit::returnPressed, this, [this] {
        if (!Edit1->text().isEmpty())
            guarded([this] { DBGrid1DblClick(); });
    });
    // sum_shekvetebi writes the total line each time it reads its row; the labels
    // bound to the sums and the table's row follow their queries.
    connect(dm->sum_shekvetebi_S, &DataSource::reset, this, [this] {
        showPlainSum();
        if (m_dm->sum_shekvetebi->isOpen())
            writeTotalLine();
    });
    connect(dm->busytables_s, &DataSource::reset, this, &Tshekvetebi::showPrepaid);
    connect(dm->busytables_s, &DataSource::rowChanged, this, &Tshekvetebi::showPrepaid);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFixedWidth(300);
        StatusBar1->addWidget(panel);
    }
    root->addWidget(StatusBar1);
}

void Tshekvetebi::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this] { FormShow(); });
}

double Tshekvetebi::servicePercent()
{
    if (!m_dm->setting->isOpen())
        m_dm->setting->open();
    return m_dm->setting->isEmpty() ? 0 : m_dm->setting->asFloat(QStringLiteral("momsaxureoba"));
}

void Tshekvetebi::FormShow()
{
    CheckBox1->setChecked(false);
    Splitter1Moved();
    {
        const QSignalBlocker quietEdit(Edit1);
        const QSignalBlocker quietTabs(TabControl1);
        Edit1->clear();
        TabControl1->setCurrentIndex(0);
    }
    const int half = width() / 2;
    Splitter1->setSizes({half, std::max(0, Splitter1->width() - half - Splitter1->handleWidth())});
    Splitter1Moved();
    CheckBox2->setText(QStringLiteral(" + %1%").arg(Formats::general(servicePercent())));
    Edit1Change();
    showPrepaid();
    // The waiter types the dish's name at once, on every opening.
    Edit1->setFocus(Qt::OtherFocusReason);
}

void Tshekvetebi::Edit1Change()
{
    const int tab = TabControl1->currentIndex();
    const QString type = tab <= 0 ? QStringLiteral("%") : TabControl1->tabText(tab);
    NamedQuery* menu = m_dm->kerdzebi;
    menu->reopen({{QStringLiteral("das"), Edit1->text() + QStringLiteral("%")},
                  {QStringLiteral("tp"), type}});
}

QVariant Tshekvetebi::currentDish() const
{
    NamedQuery* menu = m_dm->kerdzebi;
    return menu->isOpen() && !menu->isEmpty() ? menu->value(QStringLiteral("ID")) : QVariant();
}

void Tshekvetebi::rereadMenu(const QVariant& dishId)
{
    const int scrolled = DBGrid1->verticalScrollBar()->value();
    Edit1Change();
    NamedQuery* menu = m_dm->kerdzebi;
    const int id = menu->fieldIndex(QStringLiteral("ID"));
    for (int r = 0; !dishId.isNull() && r < menu->rowCount(); ++r) {
        if (menu->valueAt(r, id) == dishId) {
            menu->moveTo(r);
            break;
        }
    }
    DBGrid1->verticalScrollBar()->setValue(scrolled);
    DBGrid1->scrollTo(DBGrid1->currentIndex());
}

void Tshekvetebi::DBGrid1DblClick()
{
    if (ComboBox1->currentText().size() < 2) {
        Messages::show(QStringLiteral("აირჩიეთ ოფიციანტი"), this);
        return;
    }
    // An empty menu has no dish to add.
    if (!m_dm->kerdzebi->isOpen() || m_dm->kerdzebi->isEmpty())
        return;
    forms().Raodenoba->exec();
}

void Tshekvetebi::CheckBox2Click()
{
    m_dm->sum_shekvetebi->reopen();
    writeTotalLine();
}

void Tshekvetebi::Splitter1Moved()
{
    QHeaderView* menu = DBGrid1->horizontalHeader();
    if (menu->count() >= 3) {
        menu->resizeSection(0, std::max(0, DBGrid1->width() - 190));
        menu->resizeSection(1, 80);
        menu->resizeSection(2, 80);
    }
    QHeaderView* lines = DBGrid2->horizontalHeader();
    if (lines->count() >= 4) {
        lines->resizeSection(0, std::max(0, DBGrid2->width() - 220));
        lines->resizeSection(1, 80);
        lines->resizeSection(2, 80);
        lines->resizeSection(3, 30);
    }
}

Money Tshekvetebi::totalAmount(double sum, double percent, bool withService)
{
    return BillTotal::payable(sum, percent, withService);
}

void Tshekvetebi::writeTotalLine()
{
    NamedQuery* sums = m_dm->sum_shekvetebi;
    const double s = (sums->isOpen() && !sums->isEmpty()) ? sums->asFloat(QStringLiteral("sulfasi")) : 0.0;
    const QString amount = Formats::fixedTwo(totalAmount(s, servicePercent(), CheckBox2->isChecked()));
    Label3->setText(QStringLiteral("სულ: ") + amount);
    Label3->setToolTip(amount);
}

void Tshekvetebi::showPlainSum()
{
    NamedQuery* sums = m_dm->sum_shekvetebi;
    const bool shown = sums->isOpen() && !sums->isEmpty() && !sums->isNull(QStringLiteral("sulfasi"));
    DBText1->setText(shown ? Formats::fixedTwo(sums->asFloat(QStringLiteral("sulfasi"))) : QString());
}

void Tshekvetebi::showPrepaid()
{
    NamedQuery* table = m_dm->busytables;
    const bool shown = table->isOpen() && !table->isEmpty() && !table->isNull(QStringLiteral("GadaxdiliTanxa"));
    DBText2->setText(shown ? Formats::fixedTwo(table->asMoney(QStringLiteral("GadaxdiliTanxa"))) : QString());
}

bool Tshekvetebi::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            guarded([this] { DBGrid1DblClick(); });
            return true;
        }
    }
    if (watched == Label1 && event->type() == QEvent::MouseButtonDblClick) {
        guarded([this] { Label1DblClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tshekvetebi::DBGrid2CellClick(int column)
{
    NamedQuery* lines = m_dm->shekvet;
    const bool hasLine = lines->isOpen() && !lines->isEmpty();
    if (column == 1 && hasLine) {
        TEditRaoden* dialog = forms().EditRaoden;
        dialog->Edit1->setText(Formats::general(lines->asFloat(QStringLiteral("Raodenoba"))));
        dialog->exec();
    } else if (column == 3 && hasLine
               && Messages::ask(QStringLiteral("ნამდვილად გსურთ ამ ჩანაწერის წაშლა?"), this)) {
        // The prepaid amount goes to the fiscal driver first, as far as the order
        // has not registered it yet; its outcome does not stop the deletion.
        NamedQuery* table = m_dm->busytables;
        table->reopen({{QStringLiteral("TB"), Label1->text()}});
        const Money prepaid = table->isEmpty() ? Money() : table->asMoney(QStringLiteral("GadaxdiliTanxa"));
        const qint64 orderNumber = table->isEmpty() ? 0 : table->asInteger(QStringLiteral("USERNUM"));
        const QString fiscalMessage = registerSale(prepaid, orderNumber);
        if (!fiscalMessage.isEmpty())
            Messages::show(fiscalMessage, this);
        if (Corrections::deleteLine(*m_dm, Label1->text()))
            Q_EMIT occupancyChanged();
    }
    // A changed or deleted line took or gave back stock: the menu shows it.
    if ((column == 1 || column == 3) && hasLine)
        rereadMenu(currentDish());
    // Whatever the column: the total line follows the order as stored.
    NamedQuery* table = m_dm->busytables;
    table->reopen({{QStringLiteral("TB"), Label1->text()}});
    NamedQuery* sums = m_dm->sum_shekvetebi;
    sums->reopen({{QStringLiteral("USR"), table->isEmpty() ? 0 : table->asInteger(QStringLiteral("USERNUM"))}});
    writeTotalLine();
}

void Tshekvetebi::DBGrid2DrawColumnCell(QPainter* p, const QRect& rect, int, int column)
{
    if (column == 3)
        p->drawPixmap(rect, m_deleteMark);
}

void Tshekvetebi::loadTypeTabs()
{
    while (TabControl1->count() > 0)
        TabControl1->removeTab(0);
    m_dm->GROUP_TYPE->reopen();
    TabControl1->addTab(QStringLiteral("ყველა"));
    const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
    // PostgreSQL returns the groups in no set order: sort them by their
    // characters' codes, the order SQLite gives, so every station shows the same.
    QStringList types;
    for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
        types << m_dm->GROUP_TYPE->valueAt(r, tipi).toString();
    std::sort(types.begin(), types.end());
    for (const QString& type : std::as_const(types))
        TabControl1->addTab(type);
}

void Tshekvetebi::loadWaiters()
{
    m_dm->oficianti->reopen();
    ComboBox1->clear();
    const int name = m_dm->oficianti->fieldIndex(QStringLiteral("Oficianti"));
    const int state = m_dm->oficianti->fieldIndex(QStringLiteral("mdgomareoba"));
    for (int r = 0; r < m_dm->oficianti->rowCount(); ++r)
        if (m_dm->oficianti->valueAt(r, state).toString() == StoredValues::ActiveWaiter)
            ComboBox1->addItem(m_dm->oficianti->valueAt(r, name).toString());
}

void Tshekvetebi::followWaiters()
{
    const QString chosen = ComboBox1->currentText();
    const bool choosing = ComboBox1->isEnabled();
    const QSignalBlocker quiet(ComboBox1);
    loadWaiters();
    if (!choosing) {
        // A busy table's waiter, shown in the disabled box.
        ComboBox1->setEditText(chosen);
        return;
    }
    const int at = ComboBox1->findText(chosen);
    ComboBox1->setCurrentIndex(at >= 0 ? at : (ComboBox1->count() > 0 ? 0 : -1));
}

void Tshekvetebi::followChanges(ChangeFeed::Tables tables)
{
    if (tables & (ChangeFeed::Shekvetebi | ChangeFeed::Busytable)) {
        NamedQuery* table = m_dm->busytables;
        table->reopen({{QStringLiteral("TB"), Label1->text()}});
        showPrepaid();
        if (m_dm->shekvet->isOpen())
            FeedFollower::keepingView(DBGrid2, [this] { m_dm->shekvet->refresh(); });
        NamedQuery* sums = m_dm->sum_shekvetebi;
        sums->reopen({{QStringLiteral("USR"), table->isEmpty() ? 0 : table->asInteger(QStringLiteral("USERNUM"))}});
        showPlainSum();
        writeTotalLine();
    }
    // A line added or changed anywhere took or gave back stock.
    if (tables & (ChangeFeed::Kerdzebi | ChangeFeed::Shekvetebi)) {
        if (m_dm->kerdzebi->isOpen()) {
            const QVariant dish = currentDish();
            FeedFollower::keepingView(DBGrid1, [this, &dish] { rereadMenu(dish); });
        }
    }
}

void Tshekvetebi::openTable(const QString& table)
{
    Label3->setText(QStringLiteral("0"));
    Label1->setText(table);

    NamedQuery* occupancy = m_dm->busytables;
    occupancy->reopen({{QStringLiteral("TB"), table}});

    m_dm->sum_shekvetebi->close();
    ComboBox1->setEnabled(false);
    m_dm->shekvet->close();
    const bool isBusy = !occupancy->isEmpty() && occupancy->asInteger(QStringLiteral("Busy")) == 1;
    if (isBusy) {
        ComboBox1->setEditText(occupancy->asString(QStringLiteral("OFICIANT")));
        m_dm->shekvet->setParam(QStringLiteral("USR"), occupancy->asInteger(QStringLiteral("USERNUM")));
    } else {
        ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
        ComboBox1->setEnabled(true);
        m_dm->shekvet->setParam(QStringLiteral("USR"), qint64(-1));
    }
    m_dm->shekvet->open();
    exec();
}

void Tshekvetebi::Label1DblClick()
{
    Tmagidisshecvla* dialog = forms().magidisshecvla;
    dialog->ComboBox1->clear();
    dialog->ComboBox1->addItems(Corrections::freeTables(*m_dm));
    NamedQuery* table = m_dm->busytables;
    table->reopen({{QStringLiteral("TB"), Label1->text()}});
    if (table->isEmpty() || table->asInteger(QStringLiteral("Busy")) != 1)
        return;  // the table has no open order
    dialog->Label4->setText(Label1->text());
    dialog->Label5->setText(table->asString(QStringLiteral("USERNUM")));
    dialog->ComboBox1->setCurrentIndex(-1);
    dialog->exec();
}

void Tshekvetebi::Button2Click()
{
    forms().TANXIS_GADAXDA->exec();
}

void Tshekvetebi::sufris_alageba_shekvetebis_gasuftaveba(const QString& user, double momsaxureoba)
{
    Settlement::clearTable(*m_dm, Label1->text(), user, momsaxureoba, shownLines());
}

void Tshekvetebi::Button1Click()
{
    NamedQuery* lines = m_dm->shekvet;
    if (!lines->isOpen() || lines->isEmpty())
        return;
    if (!Messages::ask(QStringLiteral("ნამდვილად გსურთ სუფრის ალაგება?"), this))
        return;
    // What the window shows now is what the waiter clears; a dish another station
    // adds meanwhile is not on this bill.
    const QList<Settlement::BilledLine> shown = shownLines();
    NamedQuery* table = m_dm->busytables;
    table->reopen({{QStringLiteral("TB"), Label1->text()}});
    const qint64 usernum = table->isEmpty() ? 0 : table->asInteger(QStringLiteral("USERNUM"));
    const QString orderNumber = QString::number(usernum);
    const Money prepaid = table->isEmpty() ? Money() : table->asMoney(QStringLiteral("GadaxdiliTanxa"));

    // The credit is chosen first and written with the clearing, in one piece: the
    // client owes the bill less what the table paid in advance.
    std::optional<Settlement::Credit> credit;
    if (CheckBox1->isChecked()) {
        double s = 0;
        const int quantity = lines->fieldIndex(QStringLiteral("Raodenoba"));
        const int price = lines->fieldIndex(QStringLiteral("GFASI"));
        for (int r = 0; r < lines->rowCount(); ++r)
            s += lines->valueAt(r, quantity).toDouble() * lines->valueAt(r, price).toDouble();
        Tkonsignacia* dialog = forms().konsignacia;
        const double percent = servicePercent();
        const Money amount = dialog->askAmount(orderNumber, totalAmount(s, percent, false),
                                               totalAmount(s, percent, true), prepaid);
        credit = Settlement::Credit{dialog->Edit1->text(), amount};
    }

    const QList<Settlement::BilledLine> printed = printBill();

    if (usernum > 0) {
        const int open = Settlement::clearTable(*m_dm, Label1->text(), orderNumber,
                                                CheckBox2->isChecked() ? servicePercent() : 0.0,
                                                printed.isEmpty() ? shown : printed, credit);
        if (open == 0) {
            reject();
        } else {
            // The table stays busy with the dish added meanwhile: show the order as stored.
            lines->reopen();
            m_dm->sum_shekvetebi->reopen({{QStringLiteral("USR"), usernum}});
            writeTotalLine();
            Messages::show(Settlement::LinesLeftOpenText, this);
        }
    } else if (credit) {
        Settlement::writeCredit(*m_dm, orderNumber, credit->client, credit->amount.toDouble());
    }
    Q_EMIT occupancyChanged();
}

bool Tshekvetebi::DPrint(double amount, QString& status)
{
    if (!m_fiscalTiming)
        return ::DPrint(*m_dm, amount, status, this);
    FiscalExchange exchange(*m_fiscalTiming);
    exchange.setWindow(this);
    return exchange.DPrint(*m_dm, amount, status);
}

QString Tshekvetebi::registerSale(Money amount, qint64 orderNumber)
{
    try {
        return Settlement::registerSale(*m_dm, Label1->text(), orderNumber, amount,
                                        [this](double due, QString& status) { DPrint(due, status); });
    } catch (const InputError& e) {
        return e.text();  // another station is registering this bill: nothing was sent
    }
}

void Tshekvetebi::SpeedButton2Click()
{
    printBill();
}

QList<Settlement::BilledLine> Tshekvetebi::shownLines() const
{
    const NamedQuery* lines = m_dm->shekvet;
    QList<Settlement::BilledLine> shown;
    if (!lines->isOpen())
        return shown;
    const int id = lines->fieldIndex(QStringLiteral("ID"));
    const int quantity = lines->fieldIndex(QStringLiteral("Raodenoba"));
    for (int r = 0; r < lines->rowCount(); ++r)
        shown.append({lines->valueAt(r, id).toLongLong(), lines->valueAt(r, quantity).toDouble()});
    return shown;
}

QList<Settlement::BilledLine> Tshekvetebi::printBill()
{
    const QString templatePath = BillPrintout::templatePath();
    NamedQuery* lines = m_dm->shekvet;
    QList<Settlement::BilledLine> billed;
    if (!QFileInfo(templatePath).isFile() || !lines->isOpen() || lines->isEmpty())
        return billed;
    // The line grid stays still while its dataset is walked; it is released
    // however the printout ends, the dataset standing on its last line.
    DataSource* grid = m_dm->shekvetebi_s;
    QString fiscalMessage;
    {
        grid->disableControls();
        const auto release = qScopeGuard([grid] { grid->enableControls(); });
        try {
            BillPrintout::Order order;
            for (lines->first(); !lines->eof(); lines->next()) {
                BillPrintout::Line line;
                line.Kerdzi_N = lines->asInteger(QStringLiteral("Kerdzi_N"));
                line.Kerdzi_DAS = lines->asString(QStringLiteral("Kerdzi_DAS"));
                line.Raodenoba = lines->asFloat(QStringLiteral("Raodenoba"));
                line.GFASI = lines->asFloat(QStringLiteral("GFASI"));
                line.sulfasi = lines->asFloat(QStringLiteral("sulfasi"));
                line.USERNUM = lines->asInteger(QStringLiteral("USERNUM"));
                order.lines.append(line);
                billed.append({lines->asInteger(QStringLiteral("ID")), line.Raodenoba});
            }
            order.waiter = ComboBox1->currentText();
            order.serviceApplied = CheckBox2->isChecked();
            order.servicePercent = servicePercent();
            NamedQuery* table = m_dm->busytables;
            table->reopen({{QStringLiteral("TB"), Label1->text()}});
            if (!table->isEmpty() && table->asInteger(QStringLiteral("USERNUM")) == order.lines.last().USERNUM)
                order.prepaid = table->asMoney(QStringLiteral("GadaxdiliTanxa"));
            const qint64 orderNumber = order.lines.last().USERNUM;
            // Any failure of the office ends the printout without a word: the bill
            // is a courtesy, the order stays as it is. The fiscal printer's outcome
            // is told once the paper is out.
            BillPrintout::print(spreadsheetApplication(), templatePath, order,
                                [this, orderNumber, &fiscalMessage](double billTotal) {
                                    try {
                                        fiscalMessage = registerSale(Money::fromDoubleHalfEven(billTotal), orderNumber);
                                    } catch (const DbError& e) {
                                        // The paper still comes out; the waiter learns why no sale was made.
                                        fiscalMessage = e.text();
                                    }
                                });
        } catch (const std::exception&) {
        }
    }
    if (!fiscalMessage.isEmpty())
        Messages::show(fiscalMessage, this);
    return billed;
}
