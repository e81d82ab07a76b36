#pragma once

#include <QPixmap>
#include <QWidget>

class DBGrid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRadioButton;
class QRect;
class QToolButton;
class TDM;

// The credit accounts tab: the ledger of one side (suppliers or clients) by
// name and number, with the debts and payments and their totals; the amount
// paid is typed in place. Its load routine is Button15Click (the hidden Button15).
class CreditTab : public QWidget
{
    Q_OBJECT

public:
    explicit CreditTab(TDM* dm, QWidget* parent = nullptr);

    QGroupBox* GroupBox;         // "კონსიგნაცია"
    QRadioButton* RadioButton1;  // suppliers
    QRadioButton* RadioButton2;  // clients
    QLineEdit* LabeledEdit4;     // name, the beginning of it
    QLineEdit* LabeledEdit5;     // ledger number, the whole of it
    QPushButton* button14;       // "ძებნა"
    QToolButton* SpeedButton9;   // export
    QPushButton* Button15;       // hidden: the load routine
    DBGrid* DBGrid8;

    // Whether a click in the paid amount column has opened it for typing, and
    // the box the amount is typed into (nullptr while none is open).
    bool editing() const { return m_editing; }
    QLineEdit* paidEditor() const { return m_editor; }
    // The texts under the grid: the sums owed and paid.
    QString debtTotal() const;
    QString paidTotal() const;

    void Button15Click();  // column widths, then the search
    void button14Click();  // searches
    void DBGrid8CellClick(int column);
    void DBGrid8KeyPress(int key);
    // The delete mark stretched over its cell.
    void DBGrid8DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);
    void SpeedButton9Click();  // the listed rows to a new workbook

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTotals();
    void openEditor();
    void closeEditor();
    // Writes the typed amount to the current row; false when nothing was typed.
    bool savePaidAmount();

    TDM* m_dm;
    QPixmap m_deleteMark;
    QLabel* m_debtTotal;
    QLabel* m_paidTotal;
    QLineEdit* m_editor = nullptr;
    int m_editedRow = -1;
    bool m_editing = false;
};
