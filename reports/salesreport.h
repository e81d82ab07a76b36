#pragma once

#include <QWidget>

class DBGrid;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The sales report tab: the lines of a period by order, waiter, table and dish.
class SalesReport : public QWidget
{
    Q_OBJECT

public:
    explicit SalesReport(TDM* dm, QWidget* parent = nullptr);

    QLineEdit* LabeledEdit1;   // order number
    QComboBox* mycom;          // waiter: every waiter, active or not
    QComboBox* ComboBox2;      // table number
    QComboBox* ComboBox6;      // dish
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* Button7;      // "ძებნა"
    QToolButton* SpeedButton6; // export
    DBGrid* DBGrid2;

    void SpeedButton6Click();  // the listed lines to a new workbook

private:
    TDM* m_dm;
};
