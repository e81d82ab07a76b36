#include "stock/credittab.h"
#include "app/shell/ui.h"

#include <QPushButton>

CreditTab::CreditTab(TDM* dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    Button15 = named(new QPushButton(this), "Button15");
    Button15->hide();
}
