#pragma once

#include <QDialog>

class QKeyEvent;
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

    // The numeric key rule of every amount box, for each key pressed in Edit1;
    // true when the key goes no further.
    bool Edit1KeyPress(QKeyEvent* key);

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
