#include "app/kelvorau.h"
#include "admin/parameterstab.h"
#include "admin/deletes.h"
#include "shell/dbgrid.h"
#include "shell/feedfollower.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "shell/shared.h"
#include "shell/tabrows.h"
#include "shell/ui.h"
#include "data/clock.h"
#include "data/changefeed.h"
#include "data/connection.h"
#include "data/datalink.h"
#include "data/namedquery.h"
#include "data/dberror.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "kitchen/cooktab.h"
#include "kitchen/coock_menu_u.h"
#include "kitchen/waitertab.h"
#include "orders/eraodenoba.h"
#include "orders/konsignaciapas.h"
#include "orders/magidis_shecvla.h"
#include "orders/raodenobau.h"
#include "orders/shekveta.h"
#include "orders/tanxis_gadaxda_winaswar.h"
#include "reports/deletionsreport.h"
#include "reports/receivingreport.h"
#include "reports/salesreport.h"
#include "reports/warehousereport.h"
#include "stock/credittab.h"
#include "stock/receivingtab.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QWidget* sheet(QTabWidget* pages, const char* name, const QString& caption)
{
    auto* w = new QWidget(pages);
    w->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    pages->addTab(w, caption);
    return w;
}

template <typename T>
T* fill(QWidget* sheet, T* content)
{
    sheet->layout()->addWidget(content);
    return content;
}

}  // namespace

TKelvora::TKelvora()
{
    setObjectName(QStringLiteral("Kelvora"));
    setWindowTitle(QStringLiteral("Kelvora"));
    resize(1067, 540);
    setFont(tahoma(13));

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->tabBar()->setFont(timesBold(21));
    PageControl1->tabBar()->setExpanding(false);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(PageControl1, 1);
    setCentralWidget(central);

    databaseUnreachable = named(new QFrame(central), "databaseUnreachable");
    databaseUnreachable->setStyleSheet(QStringLiteral("#databaseUnreachable { background: #B3261E; }"
                                                      "#databaseUnreachable QLabel { color: white; }"));
    auto* banner = new QHBoxLayout(databaseUnreachable);
    databaseUnreachableText = named(new QLabel(databaseUnreachable), "databaseUnreachableText");
    databaseUnreachableText->setFont(timesBold(21));
    databaseUnreachableText->setWordWrap(true);
    databaseUnreachableText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    retryDatabase = named(new QPushButton(QStringLiteral("თავიდან ცდა"), databaseUnreachable), "retryDatabase");
    retryDatabase->setFont(timesBold(21));
    banner->addWidget(databaseUnreachableText, 1);
    banner->addWidget(retryDatabase);
    databaseUnreachable->hide();
    column->insertWidget(0, databaseUnreachable);
    connect(retryDatabase, &QPushButton::clicked, this, &TKelvora::retryStartUp);
    TabSheet1 = sheet(PageControl1, "TabSheet1", QStringLiteral("შეკვეთა"));
    TabSheet5 = sheet(PageControl1, "TabSheet5", QStringLiteral("მიღება"));
    tabsheet2 = sheet(PageControl1, "tabsheet2", QStringLiteral("რეპორტები"));
    TabSheet3 = sheet(PageControl1, "TabSheet3", QStringLiteral("პარამეტრები"));
    TabSheet10 = sheet(PageControl1, "TabSheet10", QStringLiteral("პოვარი"));
    TabSheet11 = sheet(PageControl1, "TabSheet11", QStringLiteral("ოფიციანტი"));

    PageControl2 = named(new QTabWidget(tabsheet2), "PageControl2");
    PageControl2->setTabPosition(QTabWidget::South);
    tabsheet2->layout()->addWidget(PageControl2);
    TabSheet4 = sheet(PageControl2, "TabSheet4", QStringLiteral("რეალიზაცია"));
    TabSheet6 = sheet(PageControl2, "TabSheet6", QStringLiteral("მიღება"));
    TabSheet7 = sheet(PageControl2, "TabSheet7", QStringLiteral("საწყობი"));
    TabSheet8 = sheet(PageControl2, "TabSheet8", QStringLiteral("კონსიგნაცია"));
    TabSheet9 = sheet(PageControl2, "TabSheet9", QStringLiteral("წაშლები"));
    // Both rows of tabs wrap on a narrow window instead of scrolling.
    m_tabRows = new TabRows(PageControl1, timesBold(21), central);
    column->addWidget(m_tabRows);
    tabsheet2->layout()->addWidget(new TabRows(PageControl2, font(), tabsheet2));

    // Running from start-up; what a tick does belongs to the cook tab.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->start();

    feed = new ChangeFeed(this);
    feed->setObjectName(QStringLiteral("feed"));
}

TKelvora* TKelvora::createWindows()
{
    Forms& f = forms();
    auto* main = new TKelvora();
    f.Kelvora = main;
    f.DM = new TDM(main);
    main->buildTabs(f.DM);
    f.shekvetebi = new Tshekvetebi(f.DM, main);
    f.Raodenoba = new TRaodenoba(f.DM, main);
    f.magidisshecvla = new Tmagidisshecvla(f.DM, main);
    f.EditRaoden = new TEditRaoden(f.DM, main);
    f.konsignacia = new Tkonsignacia(main);
    f.Del = new TDel(f.DM, main);
    f.coock_menu = new Tcoock_menu(main);
    f.TANXIS_GADAXDA = new TTANXIS_GADAXDA(f.DM, main);
    main->connectOccupancy();
    main->connectFeed();
    return main;
}

void TKelvora::connectOccupancy()
{
    // Every window that takes, clears or moves a table presses the floor plan's
    // "Refresh"; once closing has disconnected that button, nothing is redrawn.
    const Forms& f = forms();
    connect(f.shekvetebi, &Tshekvetebi::occupancyChanged, floorPlan->Button2, &QPushButton::click);
    connect(f.Raodenoba, &TRaodenoba::occupancyChanged, floorPlan->Button2, &QPushButton::click);
    connect(f.magidisshecvla, &Tmagidisshecvla::occupancyChanged, floorPlan->Button2, &QPushButton::click);
}

void TKelvora::connectFeed()
{
    using F = ChangeFeed;
    Tshekvetebi* order = forms().shekvetebi;
    auto follow = [this](QWidget* screen, F::Tables tables, FeedFollower::Reread reread) {
        auto* follower = new FeedFollower(screen, tables, std::move(reread));
        connect(feed, &ChangeFeed::changed, follower, &FeedFollower::take);
        return follower;
    };
    TDM* dm = m_dm;
    follow(floorPlan, F::Busytable | F::Parametres, [this](F::Tables t) { floorPlan->followChanges(t); })
        ->waitWhile = [dm] { return FeedFollower::editing({dm->busytables, dm->Tables, dm->setting}); };
    follow(order, F::Busytable | F::Shekvetebi | F::Kerdzebi, [order](F::Tables t) { order->followChanges(t); })
        ->waitWhile = [dm] {
        return FeedFollower::editing({dm->busytables, dm->shekvet, dm->sum_shekvetebi, dm->kerdzebi});
    };
    follow(cook, F::Shekvetebi | F::Uplebebi, [this](F::Tables t) { cook->followChanges(t); })
        ->waitWhile = [dm] { return FeedFollower::editing({dm->Povari_left, dm->povari_right}); };
    follow(waiter, F::Shekvetebi, [this](F::Tables t) { waiter->followChanges(t); })
        ->waitWhile = [dm] { return FeedFollower::editing({dm->Opicianti}); };

    // A waiter added or changed anywhere: the order window's list, the sales
    // filter and the parameters tab's grid, shown or not, unless a waiter is
    // being edited there.
    FeedFollower* waiters = follow(order, F::Oficianti, [this, order](F::Tables) {
        FeedFollower::keepingView(parameters->DBGrid1, [order] { order->followWaiters(); });
        sales->followWaiters();
    });
    waiters->setWhileHidden(true);
    waiters->waitWhile = [this] {
        return FeedFollower::editing({m_dm->oficianti}) || FeedFollower::editingIn(parameters->DBGrid1);
    };
}

void TKelvora::startFeed()
{
    feed->start(DataLink::read(Connection::dataLinkPath()));
}

void TKelvora::buildTabs(TDM* dm)
{
    m_dm = dm;
    floorPlan = fill(TabSheet1, new FloorPlan(dm, TabSheet1));
    receiving = fill(TabSheet5, new ReceivingTab(dm, TabSheet5));
    sales = fill(TabSheet4, new SalesReport(dm, TabSheet4));
    receivingReport = fill(TabSheet6, new ReceivingReport(dm, TabSheet6));
    warehouseReport = fill(TabSheet7, new WarehouseReport(dm, TabSheet7));
    credit = fill(TabSheet8, new CreditTab(dm, TabSheet8));
    deletionsReport = fill(TabSheet9, new DeletionsReport(dm, TabSheet9));
    parameters = fill(TabSheet3, new ParametersTab(dm, TabSheet3));
    cook = fill(TabSheet10, new CookTab(dm, TabSheet10));
    waiter = fill(TabSheet11, new WaiterTab(dm, TabSheet11));

    connectHandler(Timer1, &QTimer::timeout, cook, &CookTab::Timer1Timer);
    connectHandler(floorPlan->Button3, &QPushButton::clicked, this, &TKelvora::Button3Click);
    connectHandler(PageControl1, &QTabWidget::currentChanged, this, &TKelvora::PageControl1Change);
    connectHandler(PageControl2, &QTabWidget::currentChanged, this, &TKelvora::PageControl2Change);
}

void TKelvora::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // An error stops the start-up at that step and is shown once; the window
    // then says the database is not reachable instead of failing on every tab.
    QString reason;
    if (!startUp(reason)) {
        Messages::error(reason, this);
        showUnreachable(reason);
    }
}

bool TKelvora::startUp(QString& reason)
{
    try {
        FormShow();
        m_started = true;
        startFeed();
        return true;
    } catch (const DbError& e) {
        reason = e.text();
    } catch (const std::exception& e) {
        reason = QString::fromLocal8Bit(e.what());
    }
    return false;
}

void TKelvora::showUnreachable(const QString& reason)
{
    // Nothing on any tab can work: no tab loads, and the cook screen's timer
    // does not read again and again.
    Timer1->stop();
    PageControl1->setEnabled(false);
    m_tabRows->setEnabled(false);
    databaseUnreachableText->setText(
        QStringLiteral("მონაცემთა ბაზა მიუწვდომელია (%1): პროგრამა ვერ იმუშავებს, სანამ კავშირი არ აღდგება.\n%2")
            .arg(Clock::now().time().toString(QStringLiteral("HH:mm:ss")), reason));
    databaseUnreachable->show();
}

void TKelvora::retryStartUp()
{
    // A new connection, the data link file read again.
    Connection::close();
    QString reason;
    if (!startUp(reason)) {
        showUnreachable(reason);
        return;
    }
    databaseUnreachable->hide();
    PageControl1->setEnabled(true);
    m_tabRows->setEnabled(true);
    // As at start-up: the cook screen's timer runs until the first change of tab.
    cook->resetCounter();
    Timer1->start();
}

void TKelvora::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_shown)
        guarded([this] { FormResize(); });
}

void TKelvora::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TKelvora::FormShow()
{
    // Each step runs its button's handler directly, so an error stops the sequence there.
    floorPlan->Button1Click();
    floorPlan->Button2Click();
    m_floorPlanReady = true;
    Button3Click();
    {
        const QSignalBlocker quiet(PageControl1);
        PageControl1->setCurrentIndex(0);
    }
    cook->loadCooks();
}

void TKelvora::Button3Click()
{
    Tshekvetebi* order = forms().shekvetebi;

    // 1. The order window's type tabs.
    order->loadTypeTabs();

    // 2. Waiters: the active ones for new orders, all of them for the sales filter.
    order->loadWaiters();
    sales->fillWaiters();

    // 3. Tables for the sales filter; the dish filter starts empty.
    sales->fillTables();
}

void TKelvora::PageControl1Change()
{
    const int index = PageControl1->currentIndex();
    if (!m_started)
        return;  // the tabs have nothing to load without the database
    if (index == 1)
        guarded([this] { receiving->Button8Click(); });
    Timer1->stop();
    switch (index) {
    case 2: {
        // Not silenced: the report tabs' row must follow back to the sales page,
        // and the change handler has nothing to load for it.
        PageControl2->setCurrentIndex(0);
        sales->showToday();
        break;
    }
    case 3:
        parameters->load();
        break;
    case 4:
        cook->load();
        Timer1->start();
        cook->Button18Click();
        break;
    case 5:
        waiter->load();
        break;
    default:
        break;
    }
}

void TKelvora::PageControl2Change()
{
    if (!m_started)
        return;
    switch (PageControl2->currentIndex()) {
    case 1: receivingReport->Button11Click(); break;
    case 2: warehouseReport->Button13Click(); break;
    case 3: guarded([this] { credit->Button15Click(); }); break;
    default: break;
    }
}

void TKelvora::FormResize()
{
    // Until start-up has built the floor plan (the database could not be opened)
    // a resize has nothing to redraw, and the start-up error was shown once already.
    if (m_floorPlanReady)
        floorPlan->Button2->click();
}

bool TKelvora::FormCloseQuery()
{
    // A resize while closing must redraw nothing.
    if (!m_closing) {
        m_closing = true;
        floorPlan->Button2->disconnect();
        feed->stop();
    }
    return true;
}
