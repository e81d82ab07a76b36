#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TDM;

// The amount paid in advance for a table.
class TTANXIS_GADAXDA : public QDialog
{
    Q_OBJECT

public:
    explicit TTANXIS_GADAXDA(TDM* dm, QWidget* parent = nullptr);

    // The numeric key rule of every amount box, for each key pressed in Edit1;
    // true when the key goes no further.
    bool Edit1KeyPress(QKeyEvent* key);

    QLabel* Label1;
    QLineEdit* Edit1;  // the paid amount
    QPushButton* Button1;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDM* m_dm;
};
