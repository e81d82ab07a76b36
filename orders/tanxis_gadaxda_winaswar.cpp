#include "orders/tanxis_gadaxda_winaswar.h"
#include "data/formats.h"
#include "shell/forms.h"
#include "shell/inputerror.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/datamodule.h"
#include "orders/settlement.h"
#include "orders/shekveta.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TTANXIS_GADAXDA::TTANXIS_GADAXDA(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
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

    NumericKeyFilter::installHandler(Edit1, [this](QKeyEvent* key) { return Edit1KeyPress(key); });
    connectHandler(Button1, &QPushButton::clicked, this, &TTANXIS_GADAXDA::Button1Click);
    // Enter in the amount saves it, as the button does.
    connectHandler(Edit1, &QLineEdit::returnPressed, this, &TTANXIS_GADAXDA::Button1Click);
}

void TTANXIS_GADAXDA::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this] { FormShow(); });
}

void TTANXIS_GADAXDA::FormShow()
{
    NamedQuery* table = m_dm->busytables;
    table->reopen({{QStringLiteral("TB"), forms().shekvetebi->Label1->text()}});
    // The stored amount as money reads, two decimals (empty when none is stored).
    if (table->rowCount() == 1)
        Edit1->setText(table->isNull(QStringLiteral("GadaxdiliTanxa"))
                           ? QString()
                           : Formats::fixedTwo(table->asMoney(QStringLiteral("GadaxdiliTanxa"))));
    Edit1->setFocus();
}

void TTANXIS_GADAXDA::Button1Click()
{
    // The amount replaces what was stored; a text that is no number is refused
    // and the dialog stays open. A number too large to hold is told so.
    const QString tooLarge = Money::refusalText(Edit1->text(), QString());
    if (!tooLarge.isEmpty())
        throw InputError(tooLarge.trimmed());
    if (Settlement::savePrepayment(*m_dm, forms().shekvetebi->Label1->text(), Edit1->text()))
        accept();
}

bool TTANXIS_GADAXDA::Edit1KeyPress(QKeyEvent* key)
{
    return NumericKeyFilter::keyPress(Edit1, key);
}
