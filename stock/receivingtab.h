#pragma once

#include <QDate>
#include <QPixmap>
#include <QWidget>

class DBGrid;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRect;
class QSplitter;
class QTabBar;
class QToolButton;
class TDM;

// The goods receiving tab: a delivery document's header, the item list with its
// type strip and filters, the entry of one line, and the document's lines with
// their totals. Its load routine is Button8Click (the hidden Button8).
class ReceivingTab : public QWidget
{
    Q_OBJECT

public:
    explicit ReceivingTab(TDM* dm, QWidget* parent = nullptr);

    // Header strip
    QLineEdit* Edit7;      // supplier's identification number
    QComboBox* ComboBox3;  // supplier: the known ones, or free text
    QLineEdit* Edit8;      // document number
    QCheckBox* CheckBox2;  // "კონსიგნაცია"
    QDateTimeEdit* DateTimePicker3;
    // Items
    QTabBar* TabControl1;  // "ყველა" and the item types
    QLineEdit* Edit3;      // item name filter
    QCheckBox* CheckBox1;  // the supplier filter
    DBGrid* DBGrid4;
    // Entry of one line
    QGroupBox* GroupBox6;
    QLineEdit* Edit4;           // quantity
    QLineEdit* Edit5;           // purchase price
    QLineEdit* Edit6;           // sale price
    QToolButton* SpeedButton4;  // records the line
    // The document's lines
    DBGrid* DBGrid5;
    QPushButton* Button8;  // hidden: the load routine

    // The name of the item picked (red), and its ID; -1 before the first pick.
    QString itemName() const;
    qint64 itemId() const { return m_item; }
    // The texts under the line grid: the document's purchase and sale totals.
    QString purchaseTotal() const;
    QString saleTotal() const;

    void Button8Click();           // resets the tab
    void DateTimePicker3Change();  // reloads the document of the header
    void Edit7Change();            // the supplier number: the same reload
    void Edit8Change();            // the document number: the same reload
    void ComboBox3Change();
    void CheckBox2Change();             // the document box holds what the ledger can
    void Edit3Change();                 // searches the items
    void DBGrid4CellClick();            // picks an item
    void SpeedButton4Click();           // records one line
    void DBGrid5CellClick(int column);  // the delete mark deletes a line
    // The line totals on grey, the delete mark stretched over its cell.
    void DBGrid5DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);
    // The numeric key rule of the quantity box; true when the key goes no further.
    bool Edit4KeyPress(QKeyEvent* key);

    // The record button's picture: a green disc with a white tick.
    static QPixmap recordMark();

private:
    void showTotals();
    void pickItem(qint64 id, const QString& name);

    TDM* m_dm;
    QPixmap m_deleteMark;
    QSplitter* m_splitter;
    QWidget* m_itemPanel;
    QLabel* m_itemName;       // the picked item, large, bold and red
    QLabel* m_entryItemName;  // the same name in the entry group
    QLabel* m_purchaseTotal;
    QLabel* m_saleTotal;
    qint64 m_item = -1;
};
