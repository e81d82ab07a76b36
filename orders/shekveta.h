#pragma once

#include <QDialog>
#include <QPixmap>

#include "billing/fiscalexchange.h"
#include "orders/settlement.h"
#include "data/changefeed.h"
#include "data/money.h"

#include <optional>

class DBGrid;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QRect;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabBar;
class QToolButton;
class QWidget;
class TDM;

// The order window of one table: the menu with its name filter and type tabs
// on the left, the order's lines, total line, prepaid amount and the buttons
// that settle the table on the right. One instance lives for the whole run; the
// floor plan fills in the table's context and shows it modally.
class Tshekvetebi : public QDialog
{
    Q_OBJECT

public:
    explicit Tshekvetebi(TDM* dm, QWidget* parent = nullptr);

    // Controls other windows read and write, by their names.
    QLabel* Label1;        // the table number
    QTabBar* TabControl1;  // "ყველა" and the menu types
    QWidget* Panel2;       // the menu side
    QWidget* Panel3;
    QComboBox* ComboBox1;  // the waiter of the order
    QLabel* Label2;
    QLineEdit* Edit1;  // name filter of the menu
    DBGrid* DBGrid1;   // the menu
    QSplitter* Splitter1;
    QWidget* Panel6;
    QCheckBox* CheckBox2;       // apply the service charge
    QCheckBox* CheckBox1;       // put the bill on a client's credit
    QToolButton* SpeedButton2;  // bill printout
    QToolButton* SpeedButton3;
    DBGrid* DBGrid2;  // the order's lines
    QWidget* Panel7;
    QLabel* DBText1;       // the plain sum
    QLabel* Label3;        // the total line
    QLabel* DBText2;       // the prepaid amount, in blue
    QPushButton* Button2;  // "გადახდა"
    QPushButton* Button1;  // "სუფრის ალაგება"
    QStatusBar* StatusBar1;
    QToolButton* SpeedButton1;  // holds the delete mark

    // Fills the type tabs: "ყველა", then every menu type of GROUP_TYPE.
    void loadTypeTabs();
    // Re-reads the waiters (oficianti) and offers the active ones for new orders.
    void loadWaiters();
    // loadWaiters(), keeping the waiter chosen or shown in the box.
    void followWaiters();
    // Another station (or this one) wrote the order's lines, the table's
    // occupancy row or the menu: the lines, the total, the prepaid amount and
    // the menu's stock are read again, keeping the current rows and the
    // scroll positions.
    void followChanges(ChangeFeed::Tables tables);
    // Shows the order of `table` modally: its waiter and lines when the table is
    // busy, an empty order with the first waiter offered when it is free.
    void openTable(const QString& table);

    // Reads the menu again with its filter and type (the stock a line took or
    // gave back shows at once) and stands on the dish `dishId` where it is
    // listed, keeping the list's scroll position.
    void rereadMenu(const QVariant& dishId);
    // The ID of the menu's current dish, or a null value.
    QVariant currentDish() const;

    void FormShow();
    void Edit1Change();
    void DBGrid1DblClick();
    void CheckBox2Click();
    void Splitter1Moved();
    void DBGrid2CellClick(int column);
    // The delete mark in the fourth column.
    void DBGrid2DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);
    void Label1DblClick();
    void Button1Click();       // clearing the table
    void Button2Click();       // the prepayment dialog
    void SpeedButton2Click();  // the bill and its fiscal receipt
    // Closes the order's lines the window shows with state 100 and the service
    // rate, freeing the table when no other line of the order is open.
    void sufris_alageba_shekvetebis_gasuftaveba(const QString& user, double momsaxureoba);
    // Registers an amount with the fiscal printer driver; `status` receives
    // "oldfile", "off" or the driver's two-character code.
    bool DPrint(double amount, QString& status);
    // For tests: the driver's answer awaited with a shorter timing.
    void setFiscalTiming(std::optional<FiscalExchange::Timing> timing) { m_fiscalTiming = timing; }
    // Writes the total line from sum_shekvetebi.sulfasi and the service box.
    void writeTotalLine();
    // The amount of the total line: S with the service charge when applied,
    // four decimals, then rounded to two with halves to even.
    static Money totalAmount(double sum, double percent, bool withService);

Q_SIGNALS:
    // A table was taken, cleared or moved: the floor plan redraws.
    void occupancyChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double servicePercent();
    // The IDs of the order's lines as the window shows them.
    QList<Settlement::BilledLine> shownLines() const;
    // The bill printout; returns the IDs of the lines it put on the bill (none
    // when there was nothing to print).
    QList<Settlement::BilledLine> printBill();
    // Registers with the fiscal printer what of `amount` the order has not yet
    // registered, and keeps what the driver took; returns the message to show
    // afterwards (empty when all went well or nothing was due).
    QString registerSale(Money amount, qint64 orderNumber);
    void showPlainSum();
    void showPrepaid();

    TDM* m_dm;
    QPixmap m_deleteMark;
    std::optional<FiscalExchange::Timing> m_fiscalTiming;
};
