#pragma once

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

    QLabel* Label5;  // the order number
    QLabel* Label6;  // the amount
    QLabel* Label7;  // the amount with service
    QCheckBox* CheckBox1;  // include the service amount
    QLineEdit* Edit1;      // the client's name
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;
};
