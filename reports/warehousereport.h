#pragma once

#include <QWidget>

class DBGrid;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The warehouse tab: the stock items with their prices, stock and its value,
// narrowed at each keystroke by name, supplier and type.
class WarehouseReport : public QWidget
{
    Q_OBJECT

public:
    explicit WarehouseReport(TDM* dm, QWidget* parent = nullptr);

    QLineEdit* LabeledEdit3;    // name: the names that begin with it
    QComboBox* ComboBox1;       // supplier
    QComboBox* ComboBox7;       // type
    QPushButton* Button12;      // "ძებნა"
    QToolButton* SpeedButton8;  // export
    QPushButton* Button13;      // hidden: the tab's preparation
    DBGrid* DBGrid7;

    void Button13Click();  // prepares the tab and lists every item
    void Button12Click();  // searches stock items
    void DBGrid7Exit();    // posts a pending edit of the current item
    void DBGrid7KeyPress(int key);
    void SpeedButton8Click();  // the listed items to a new workbook

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void postPending();

    TDM* m_dm;
};
