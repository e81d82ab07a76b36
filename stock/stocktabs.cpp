#include "stock/stocktabs.h"
#include "app/shell/ui.h"

#include <QPushButton>

ReceivingTab::ReceivingTab(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    Button8 = named(new QPushButton(this), "Button8");
    Button8->hide();
}

CreditTab::CreditTab(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    Button15 = named(new QPushButton(this), "Button15");
    Button15->hide();
}
