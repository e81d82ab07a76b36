#pragma once

#include <QWidget>

class QPushButton;
class TDM;

// The goods receiving tab; its load routine is the hidden Button8.
class ReceivingTab : public QWidget
{
    Q_OBJECT

public:
    explicit ReceivingTab(TDM* dm, QWidget* parent = nullptr);
    QPushButton* Button8;

private:
    TDM* m_dm;
};
