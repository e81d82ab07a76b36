#pragma once

#include "reports/salessearch.h"

#include <QWidget>

class DBGrid;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The sales report tab: the lines of a period by order, waiter, table and dish,
// with their totals, the number of orders, their credit and the cash left.
class SalesReport : public QWidget
{
    Q_OBJECT

public:
    explicit SalesReport(TDM* dm, QWidget* parent = nullptr);

    QLineEdit* LabeledEdit1;  // order number
    QComboBox* mycom;         // waiter: every waiter, active or not
    QComboBox* ComboBox2;     // table number
    QComboBox* ComboBox6;     // dish, completed from the menu
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* Button7;       // "ძებნა"
    QToolButton* SpeedButton6;  // export
    DBGrid* DBGrid2;

    void Button7Click();       // runs the report
    void ComboBox6Change();    // completes the dish name from the menu
    void SpeedButton6Click();  // the listed lines to a new workbook

    // Start-up: every waiter of the open oficianti query into the waiter box.
    void fillWaiters();
    // fillWaiters() again from the waiters as read now, keeping the waiter
    // typed or chosen in the filter.
    void followWaiters();
    // Start-up: every table into the table box; the dish box starts empty.
    void fillTables();
    // Opening the reports page: both dates today and the grid's column widths.
    void showToday();

    // What the summary shows after a search.
    const SalesSearch::Totals& totals() const { return m_totals; }

private:
    void showTotals();

    TDM* m_dm;
    SalesSearch::Totals m_totals;
    QLabel* m_sulRaodenoba;
    QLabel* m_sulAfasi;
    QLabel* m_sulGfasi;
    QLabel* m_sulGf;
    QLabel* m_orderCount;
    QLabel* m_credit;
    QLabel* m_cash;
    QLabel* m_service;
};
