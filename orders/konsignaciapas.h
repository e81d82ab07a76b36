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
    QCheckBox* CheckBox1;  // include the service amount
    QLineEdit* Edit1;      // the client's name
    QPushButton* Button1;

    // Shows the order's amount without and with service, waits for OK and gives
    // the amount put on the client's credit: with service when its box is ticked.
    Money askAmount(const QString& orderNumber, double sum, Money withService);
    // The amount the labels show for the box's state.
    Money amount() const;

protected:
    void showEvent(QShowEvent* event) override;
};
