#pragma once

#include <QWidget>

class DBGrid;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The receiving report tab: the receiving lines of a period by supplier and
// document, with their purchase and sale totals.
class ReceivingReport : public QWidget
{
    Q_OBJECT

public:
    explicit ReceivingReport(TDM* dm, QWidget* parent = nullptr);

    QLineEdit* LabeledEdit2;  // supplier's identification number
    QComboBox* ComboBox5;     // supplier
    QLineEdit* Edit11;        // document number
    QDateEdit* DateTimePicker4;
    QDateEdit* DateTimePicker5;
    QPushButton* Button10;      // "ძებნა"
    QToolButton* SpeedButton7;  // export
    QPushButton* Button11;      // hidden: the tab's preparation
    DBGrid* DBGrid6;

    void Button11Click();      // prepares the tab; never searches
    void Button10Click();      // searches receiving lines
    void SpeedButton7Click();  // the listed lines to a new workbook

private:
    TDM* m_dm;
    QLabel* m_purchase;
    QLabel* m_sale;
};
