#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TDM;

// Changing the quantity of an order line.
class TEditRaoden : public QDialog
{
    Q_OBJECT

public:
    explicit TEditRaoden(TDM* dm, QWidget* parent = nullptr);

    // Installs the numeric key rule on Edit1.
    void Edit1KeyPress();

    QLabel* DBText1;  // the line's dish
    QLabel* Label1;
    QLineEdit* Edit1;  // the new quantity
    QPushButton* Button1;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showDish();

    TDM* m_dm;
};
