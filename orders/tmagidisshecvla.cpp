#include "orders/tmagidisshecvla.h"
#include "app/shell/ui.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

Tmagidisshecvla::Tmagidisshecvla(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("magidisshecvla"));
    setWindowTitle(QStringLiteral("მაგიდის გადაცვლა"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(362, 263);
    setFont(tahoma(32));
    auto* layout = new QFormLayout(this);
    Label4 = named(new QLabel(this), "Label4");
    Label5 = named(new QLabel(this), "Label5");
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setAutoDefault(false);
    layout->addRow(QStringLiteral("არჩ.მაგიდის №"), Label4);
    layout->addRow(QStringLiteral("შეკვეთის №"), Label5);
    layout->addRow(QStringLiteral("მაგიდა"), ComboBox1);
    layout->addRow(Button1);
}
