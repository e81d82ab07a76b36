#include "orders/ttanxis_gadaxda.h"
#include "app/shell/ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TTANXIS_GADAXDA::TTANXIS_GADAXDA(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("TANXIS_GADAXDA"));
    setWindowTitle(QStringLiteral("თანხა"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(316, 206);
    setFont(tahoma(21));
    auto* layout = new QVBoxLayout(this);
    Label1 = named(new QLabel(QStringLiteral("გადახდილი თანხა"), this), "Label1");
    Edit1 = named(new QLineEdit(QStringLiteral("0"), this), "Edit1");
    Edit1->setAlignment(Qt::AlignCenter);
    Button1 = named(new QPushButton(QStringLiteral("დამახსოვრება"), this), "Button1");
    Button1->setAutoDefault(false);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addWidget(Button1);
}
