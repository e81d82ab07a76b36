#pragma once

#include "data/money.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Putting a bill on a client's credit when the table is cleared. It has no
// title bar and can only be left by its OK button.
class Tkonsignacia : public QDialog
{
    Q_OBJECT

public:
    explicit Tkonsignacia(QWidget* parent = nullptr);

    QLabel* Label5;        // the order number
    QLabel* Label6;        // the amount
    QLabel* Label7;        // the amount with service
    QLabel* Label8;        // paid in advance for the table
    QLabel* Label9;        // what the client owes: the chosen amount less the prepayment
    QCheckBox* CheckBox1;  // include the service amount
    QLineEdit* Edit1;      // the client's name
    QPushButton* Button1;

    // Shows the order's payable total without and with service, the prepayment
    // and what is due, waits for OK and gives the amount put on the client's
    // credit: the total chosen by the box (with service when it is ticked) less
    // what was paid in advance, never below nothing.
    Money askAmount(const QString& orderNumber, Money sum, Money withService, Money prepaid = Money());
    // What is due for the box's state.
    Money amount() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showDue();

    Money m_sum;
    Money m_withService;
    Money m_prepaid;
};
