#include "orders/traodenoba.h"
#include "app/shell/ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TRaodenoba::TRaodenoba(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Raodenoba"));
    setWindowTitle(QStringLiteral("რაოდენობა"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(296, 213);
    auto* layout = new QVBoxLayout(this);
    DBText1 = named(new QLabel(this), "DBText1");
    DBText1->setFont(fontOf("Tahoma", 21, true));
    Label1 = named(new QLabel(QStringLiteral("რაოდენობა"), this), "Label1");
    rao = named(new QLineEdit(this), "rao");
    rao->setFont(tahoma(64));
    rao->setAlignment(Qt::AlignRight);
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setDefault(true);
    layout->addWidget(DBText1);
    layout->addWidget(Label1);
    layout->addWidget(rao, 1);
    layout->addWidget(Button1);
}
