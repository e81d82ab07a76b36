#include "orders/magidis_shecvla.h"
#include "shell/droplist.h"
#include "shell/forms.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "orders/corrections.h"
#include "orders/shekveta.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QScopeGuard>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

Tmagidisshecvla::Tmagidisshecvla(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
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
    readableDropDown(ComboBox1);
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setAutoDefault(false);
    layout->addRow(QStringLiteral("არჩ.მაგიდის №"), Label4);
    layout->addRow(QStringLiteral("შეკვეთის №"), Label5);
    layout->addRow(QStringLiteral("მაგიდა"), ComboBox1);
    layout->addRow(Button1);
    connectHandler(Button1, &QPushButton::clicked, this, &Tmagidisshecvla::Button1Click);
}

void Tmagidisshecvla::Button1Click()
{
    const QString target = ComboBox1->currentIndex() >= 0 ? ComboBox1->currentText() : QString();
    // Whatever happens, both windows close and the floor plan is redrawn.
    auto closeAll = qScopeGuard([this] {
        accept();
        forms().shekvetebi->reject();
        Q_EMIT occupancyChanged();
    });
    if (!target.isEmpty())
        Corrections::moveOrder(*m_dm, Label4->text(), Label5->text().toLongLong(), target);
}
