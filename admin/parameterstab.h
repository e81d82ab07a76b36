#pragma once

#include <QWidget>

class DBGrid;
class GridEditing;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The parameters tab: waiters, the number of tables and the service percentage,
// order numbering, support, and the menu catalogue.
class ParametersTab : public QWidget
{
    Q_OBJECT

public:
    explicit ParametersTab(TDM* dm, QWidget* parent = nullptr);

    // The tab's load, run each time the tab is selected: the waiters and the
    // settings read again, every catalogue item listed, the new item's boxes
    // emptied and its type box filled.
    void load();

    QGroupBox* GroupBox1;
    DBGrid* DBGrid1;       // waiters
    QLineEdit* Edit1;      // new waiter's name
    QPushButton* Button4;  // "დამატება"
    QGroupBox* GroupBox2;
    QLineEdit* magraod;    // number of tables
    QLineEdit* mompr;      // service %
    QPushButton* Button5;  // "Save"
    QGroupBox* GroupBox4;
    QLineEdit* Edit12;           // the maintenance key
    QToolButton* SpeedButton13;  // "Reset"
    QToolButton* SpeedButton3;   // "SOS"
    QWidget* Panel4;             // the menu catalogue
    DBGrid* DBGrid3;
    QLineEdit* Edit9;      // new item's name
    QComboBox* ComboBox4;  // new item's type
    QLineEdit* Edit10;     // new item's price
    QPushButton* Button9;  // "დამატება"
    QPushButton* Button6;  // hidden: fills the settings boxes

    void Button6Click();
    void Button4Click();
    void DBGrid1KeyPress(QChar key);
    void Button5Click();
    void SpeedButton13Click();
    void SpeedButton3Click();
    void Edit12Change();
    void Edit9Change();
    void Button9Click();
    void DBGrid3Exit();

private:
    void fillTypes();

    TDM* m_dm;
    GridEditing* m_waiters;
    GridEditing* m_catalogue;
};
