#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class TDM;

// The maintenance window, opened with the establishment's name as key: empties
// stock quantities, receipts or sales.
class TDel : public QDialog
{
    Q_OBJECT

public:
    explicit TDel(TDM* dm, QWidget* parent = nullptr);

    QCheckBox* CheckBox1;  // zero every item's stock
    QCheckBox* CheckBox2;  // delete every goods-received line
    QCheckBox* CheckBox3;  // delete every order line
    QPushButton* Button1;  // "Go"

    // "Go": runs the checked statements in order; a failed one stops the rest
    // (those before it stay done) and the window stays open.
    void Button1Click();

private:
    TDM* m_dm;
};
