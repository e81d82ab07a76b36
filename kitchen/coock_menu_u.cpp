#include "kitchen/coock_menu_u.h"
#include "shell/ui.h"

#include <QPushButton>
#include <QVBoxLayout>

Tcoock_menu::Tcoock_menu(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("coock_menu"));
    setFixedSize(337, 304);
    setFont(fontOf("Times New Roman", 37));
    auto* layout = new QVBoxLayout(this);
    Button1 = named(new QPushButton(QStringLiteral("დაწყება"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("დასრულება"), this), "Button2");
    Button3 = named(new QPushButton(this), "Button3");
    Button3->hide();
    Button4 = named(new QPushButton(QStringLiteral("გამოსვლა"), this), "Button4");
    for (QPushButton* b : {Button1, Button2, Button3, Button4}) {
        b->setAutoDefault(false);
        layout->addWidget(b);
    }
    connect(Button4, &QPushButton::clicked, this, &QDialog::close);
}
