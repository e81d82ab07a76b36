#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TDM;

// The quantity dialog: opened by a double-click on a dish of the order window's
// menu; its OK writes the order line.
class TRaodenoba : public QDialog
{
    Q_OBJECT

public:
    explicit TRaodenoba(TDM* dm, QWidget* parent = nullptr);

    // The numeric key rule of every amount box, for each key pressed in rao;
    // true when the key goes no further.
    bool raoKeyPress(QKeyEvent* key);

    QLabel* DBText1;  // the dish's name
    QLabel* Label1;
    QLineEdit* rao;  // the quantity
    QPushButton* Button1;

    void FormShow();
    void Button1Click();

Q_SIGNALS:
    // The order's table changed occupancy: the floor plan redraws.
    void occupancyChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDM* m_dm;
};
