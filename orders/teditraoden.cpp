#include "orders/teditraoden.h"
#include "app/shell/ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEditRaoden::TEditRaoden(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("EditRaoden"));
    setWindowTitle(QStringLiteral("რაოდენობის შეცვლა"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(258, 188);
    setFont(tahoma(19));
    auto* layout = new QVBoxLayout(this);
    DBText1 = named(new QLabel(this), "DBText1");
    DBText1->setFont(fontOf("Tahoma", 19, true));
    Label1 = named(new QLabel(QStringLiteral("რაოდენობა"), this), "Label1");
    Edit1 = named(new QLineEdit(this), "Edit1");
    Button1 = named(new QPushButton(QStringLiteral("რედაქტირება"), this), "Button1");
    Button1->setDefault(true);
    layout->addWidget(DBText1);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addWidget(Button1);
}
