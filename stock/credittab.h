#pragma once

#include <QWidget>

class QPushButton;
class TDM;

// The credit accounts tab; its load routine is the hidden Button15.
class CreditTab : public QWidget
{
    Q_OBJECT

public:
    explicit CreditTab(TDM* dm, QWidget* parent = nullptr);
    QPushButton* Button15;

private:
    TDM* m_dm;
};
