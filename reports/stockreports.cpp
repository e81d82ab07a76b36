#include "reports/stockreports.h"
#include "app/shell/ui.h"

#include <QPushButton>

ReportTab::ReportTab(TDM* dm, const char* name, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    loadButton = named(new QPushButton(this), name);
    loadButton->hide();
}
