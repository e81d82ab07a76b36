#include "orders/eraodenoba.h"
#include "shell/forms.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/datamodule.h"
#include "orders/corrections.h"
#include "orders/shekveta.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEditRaoden::TEditRaoden(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
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

    NumericKeyFilter::installHandler(Edit1, [this](QKeyEvent* key) { return Edit1KeyPress(key); });
    connect(dm->shekvetebi_s, &DataSource::reset, this, [this] { showDish(); });
    connect(dm->shekvetebi_s, &DataSource::currentChanged, this, [this] { showDish(); });
    connectHandler(Button1, &QPushButton::clicked, this, &TEditRaoden::Button1Click);
}

void TEditRaoden::showDish()
{
    NamedQuery* lines = m_dm->shekvet;
    DBText1->setText(lines->isOpen() && !lines->isEmpty() ? lines->asString(QStringLiteral("Kerdzi_DAS"))
                                                          : QString());
}

void TEditRaoden::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    showDish();
    guarded([this] { FormShow(); });
}

void TEditRaoden::FormShow()
{
    Edit1->setFocus();
    Edit1->selectAll();
}

void TEditRaoden::Button1Click()
{
    if (Edit1->text().isEmpty())
        return;
    // A text that is no number is refused before anything is written; the dialog stays open.
    Corrections::changeQuantity(*m_dm, forms().shekvetebi->Label1->text(), Edit1->text());
    accept();
}

bool TEditRaoden::Edit1KeyPress(QKeyEvent* key)
{
    return NumericKeyFilter::keyPress(Edit1, key);
}
