#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class TDM;

// Moving an order to another table: the table now holding it, the order
// number, and a pick list of the free tables.
class Tmagidisshecvla : public QDialog
{
    Q_OBJECT

public:
    explicit Tmagidisshecvla(TDM* dm, QWidget* parent = nullptr);

    QLabel* Label4;        // the table now holding the order
    QLabel* Label5;        // the order number
    QComboBox* ComboBox1;  // the free tables
    QPushButton* Button1;

    void Button1Click();

Q_SIGNALS:
    // The order's table changed occupancy: the floor plan redraws.
    void occupancyChanged();

private:
    TDM* m_dm;
};
