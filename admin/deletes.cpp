#include "admin/deletes.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/datamodule.h"

#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>

TDel::TDel(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Del"));
    setWindowTitle(QStringLiteral("წაშლა"));
    setFont(tahoma(19));
    auto* layout = new QVBoxLayout(this);
    CheckBox1 = named(new QCheckBox(QStringLiteral("რაოდენობის განულება"), this), "CheckBox1");
    CheckBox2 = named(new QCheckBox(QStringLiteral("მიღებების წაშლა"), this), "CheckBox2");
    CheckBox3 = named(new QCheckBox(QStringLiteral("რეალიზაციის წაშლა"), this), "CheckBox3");
    Button1 = named(new QPushButton(QStringLiteral("Go"), this), "Button1");
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox2);
    layout->addWidget(CheckBox3);
    layout->addWidget(Button1);
    connectHandler(Button1, &QPushButton::clicked, this, &TDel::Button1Click);
}

void TDel::Button1Click()
{
    // Each statement stands on its own: what ran before a failure stays done.
    if (CheckBox1->isChecked())
        m_dm->COMkerdzebi->execute();
    if (CheckBox2->isChecked())
        m_dm->COMmigeba->execute();
    if (CheckBox3->isChecked())
        m_dm->COMrealizacia->execute();
    accept();
}
