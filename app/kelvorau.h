#pragma once

#include <QMainWindow>

class ChangeFeed;
class CookTab;
class CreditTab;
class DeletionsReport;
class FloorPlan;
class QLabel;
class QPushButton;
class ParametersTab;
class QTabWidget;
class QTimer;
class ReceivingReport;
class ReceivingTab;
class SalesReport;
class TDM;
class WarehouseReport;
class WaiterTab;

// The main window: the tabs at the bottom, the load routine of each tab, and the
// start-up sequence when it is first shown.
class TKelvora : public QMainWindow
{
    Q_OBJECT

public:
    TKelvora();

    // Creates the ten windows in their order (this one, the data module, the
    // order window, then the dialogs) and records them in forms().
    static TKelvora* createWindows();

    QTabWidget* PageControl1;
    QWidget* TabSheet1;   // order: the floor plan
    QWidget* TabSheet5;   // receiving
    QWidget* tabsheet2;   // reports
    QWidget* TabSheet3;   // parameters
    QWidget* TabSheet10;  // cook
    QWidget* TabSheet11;  // waiter
    QTabWidget* PageControl2;
    QWidget* TabSheet4;  // sales
    QWidget* TabSheet6;  // receiving report
    QWidget* TabSheet7;  // warehouse
    QWidget* TabSheet8;  // consignment
    QWidget* TabSheet9;  // deletions
    QTimer* Timer1;
    // Tells the screens what other stations (and this one) wrote.
    ChangeFeed* feed;

    FloorPlan* floorPlan = nullptr;
    ReceivingTab* receiving = nullptr;
    SalesReport* sales = nullptr;
    ReceivingReport* receivingReport = nullptr;
    WarehouseReport* warehouseReport = nullptr;
    CreditTab* credit = nullptr;
    DeletionsReport* deletionsReport = nullptr;
    ParametersTab* parameters = nullptr;
    CookTab* cook = nullptr;
    WaiterTab* waiter = nullptr;

    // Shown over the tabs while the database cannot be reached at start-up:
    // what went wrong and a button that tries the start-up again.
    QWidget* databaseUnreachable;
    QLabel* databaseUnreachableText;
    QPushButton* retryDatabase;
    // The start-up ran through: the database answered and the tabs are loaded.
    bool isStarted() const { return m_started; }
    // Runs the start-up again on a new connection (the retry button).
    void retryStartUp();

    void FormShow();
    void PageControl1Change();
    void PageControl2Change();
    void FormResize();
    bool FormCloseQuery();
    void Button3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTabs(TDM* dm);
    void connectOccupancy();
    // Each screen that shows what other stations change follows the feed.
    void connectFeed();
    // Starts the feed on the database the program opened.
    void startFeed();
    // Runs the start-up sequence; `reason` receives the error's text when it fails.
    bool startUp(QString& reason);
    void showUnreachable(const QString& reason);

    TDM* m_dm = nullptr;
    bool m_shown = false;
    bool m_closing = false;
    bool m_floorPlanReady = false;
    bool m_started = false;
    QWidget* m_tabRows = nullptr;
};
