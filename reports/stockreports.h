#pragma once

#include <QWidget>

class QPushButton;
class TDM;

// A report tab whose load routine is a hidden button (receiving: Button11,
// warehouse: Button13, deletions: Button17).
class ReportTab : public QWidget
{
    Q_OBJECT

public:
    ReportTab(TDM* dm, const char* loadButton, QWidget* parent = nullptr);
    QPushButton* loadButton;

private:
    TDM* m_dm;
};
