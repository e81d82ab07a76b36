#include "stock/receivingtab.h"
#include "app/shell/ui.h"

#include <QPushButton>

ReceivingTab::ReceivingTab(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    Button8 = named(new QPushButton(this), "Button8");
    Button8->hide();
}
