#include "app/tkelvora.h"
#include "admin/parameterstab.h"
#include "admin/tdel.h"
#include "app/shell/dbgrid.h"
#include "app/shell/forms.h"
#include "app/shell/shared.h"
#include "app/shell/ui.h"
#include "data/clock.h"
#include "data/tdm.h"
#include "floorplan/floorplan.h"
#include "kitchen/cooktab.h"
#include "kitchen/tcoock_menu.h"
#include "kitchen/waitertab.h"
#include "orders/teditraoden.h"
#include "orders/tkonsignacia.h"
#include "orders/tmagidisshecvla.h"
#include "orders/traodenoba.h"
#include "orders/tshekvetebi.h"
#include "orders/ttanxis_gadaxda.h"
#include "reports/salesreport.h"
#include "reports/stockreports.h"
#include "stock/stocktabs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

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

void setWidths(QTableView* grid, std::initializer_list<int> widths)
{
    int c = 0;
    for (int w : widths) {
        if (c < grid->horizontalHeader()->count() && w >= 0)
            grid->horizontalHeader()->resizeSection(c, w);
        ++c;
    }
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
    setCentralWidget(PageControl1);
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

    // Running from start-up; what a tick does belongs to the cook tab.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->start();
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
    return main;
}

void TKelvora::buildTabs(TDM* dm)
{
    m_dm = dm;
    floorPlan = fill(TabSheet1, new FloorPlan(dm, TabSheet1));
    forms().refreshButton = floorPlan->Button2;
    receiving = fill(TabSheet5, new ReceivingTab(dm, TabSheet5));
    sales = fill(TabSheet4, new SalesReport(dm, TabSheet4));
    receivingReport = fill(TabSheet6, new ReportTab(dm, "Button11", TabSheet6));
    warehouseReport = fill(TabSheet7, new ReportTab(dm, "Button13", TabSheet7));
    credit = fill(TabSheet8, new CreditTab(dm, TabSheet8));
    deletionsReport = fill(TabSheet9, new ReportTab(dm, "Button17", TabSheet9));
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
    // An error stops the start-up at that step; the window stays usable with
    // what was loaded before it.
    guarded([this] { FormShow(); });
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
    cook->ComboBox11->clear();
    cook->ComboBox11->setEditText(QString());
    m_dm->Povrebi->close();
    m_dm->Povrebi->open();
    const int f = m_dm->Povrebi->fieldIndex(QStringLiteral("povari"));
    for (int r = 0; r < m_dm->Povrebi->rowCount(); ++r)
        cook->ComboBox11->addItem(m_dm->Povrebi->valueAt(r, f).toString());
    cook->ComboBox11->setEditText(QString());
}

void TKelvora::Button3Click()
{
    Tshekvetebi* order = forms().shekvetebi;

    // 1. The order window's type tabs.
    while (order->TabControl1->count() > 0)
        order->TabControl1->removeTab(0);
    m_dm->GROUP_TYPE->close();
    m_dm->GROUP_TYPE->open();
    order->TabControl1->addTab(QStringLiteral("ყველა"));
    const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
    // PostgreSQL returns the groups in no set order: sort them by their
    // characters' codes, the order SQLite gives, so every station shows the same.
    QStringList types;
    for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
        types << m_dm->GROUP_TYPE->valueAt(r, tipi).toString();
    std::sort(types.begin(), types.end());
    for (const QString& type : std::as_const(types))
        order->TabControl1->addTab(type);

    // 2. Waiters: the active ones for new orders, all of them for the sales filter.
    m_dm->oficianti->close();
    m_dm->oficianti->open();
    order->ComboBox1->clear();
    sales->mycom->clear();
    const int name = m_dm->oficianti->fieldIndex(QStringLiteral("Oficianti"));
    const int state = m_dm->oficianti->fieldIndex(QStringLiteral("mdgomareoba"));
    for (int r = 0; r < m_dm->oficianti->rowCount(); ++r) {
        const QString waiterName = m_dm->oficianti->valueAt(r, name).toString();
        if (m_dm->oficianti->valueAt(r, state).toString() == QStringLiteral("აქტიური"))
            order->ComboBox1->addItem(waiterName);
        sales->mycom->addItem(waiterName);
    }

    // 3. Tables for the sales filter; the dish filter starts empty.
    sales->ComboBox2->clear();
    sales->ComboBox6->clear();
    m_dm->Tables->close();
    m_dm->Tables->open();
    const int num = m_dm->Tables->fieldIndex(QStringLiteral("TableNum"));
    for (int r = 0; r < m_dm->Tables->rowCount(); ++r)
        sales->ComboBox2->addItem(m_dm->Tables->valueAt(r, num).toString());
}

void TKelvora::PageControl1Change()
{
    const int index = PageControl1->currentIndex();
    if (index == 1)
        receiving->Button8->click();
    Timer1->stop();
    switch (index) {
    case 2: {
        {
            const QSignalBlocker quiet(PageControl2);
            PageControl2->setCurrentIndex(0);
        }
        sales->DateTimePicker1->setDate(Clock::today());
        sales->DateTimePicker2->setDate(Clock::today());
        const int w = sales->DBGrid2->width();
        const int wide = (w - 750) / 2;
        setWidths(sales->DBGrid2, {100, wide, wide, 100, 100, 100, 100, 100, 100});
        break;
    }
    case 3: {
        m_dm->oficianti->close();
        m_dm->oficianti->open();
        parameters->Button6Click();
        m_dm->kerdzebi->close();
        m_dm->kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("%"));
        m_dm->kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
        m_dm->kerdzebi->open();
        const int w = parameters->DBGrid3->width();
        setWidths(parameters->DBGrid3, {(w - 140) / 2, (w - 140) / 2, 100});
        parameters->ComboBox4->clear();
        parameters->ComboBox4->setEditText(QString());
        parameters->Edit9->clear();
        parameters->Edit10->clear();
        m_dm->GROUP_TYPE->close();
        m_dm->GROUP_TYPE->open();
        const int tipi = m_dm->GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
        for (int r = 0; r < m_dm->GROUP_TYPE->rowCount(); ++r)
            parameters->ComboBox4->addItem(m_dm->GROUP_TYPE->valueAt(r, tipi).toString());
        parameters->ComboBox4->setEditText(QString());
        break;
    }
    case 4:
        cook->resetCounter();
        m_dm->Povari_left->close();
        m_dm->Povari_left->open();
        m_dm->povari_right->close();
        m_dm->povari_right->open();
        Timer1->start();
        cook->Button18Click();
        break;
    case 5:
        waiter->Button19Click();
        break;
    default:
        break;
    }
}

void TKelvora::PageControl2Change()
{
    switch (PageControl2->currentIndex()) {
    case 1: receivingReport->loadButton->click(); break;
    case 2: warehouseReport->loadButton->click(); break;
    case 3: credit->Button15->click(); break;
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
    }
    return true;
}
