#include "orders/raodenobau.h"
#include "shell/forms.h"
#include "shell/numerickeyfilter.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/datamodule.h"
#include "orders/orderentry.h"
#include "orders/shekveta.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TRaodenoba::TRaodenoba(TDM* dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
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

    NumericKeyFilter::installHandler(rao, [this](QKeyEvent* key) { return raoKeyPress(key); });
    connectHandler(Button1, &QPushButton::clicked, this, &TRaodenoba::Button1Click);
}

void TRaodenoba::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this] { FormShow(); });
}

void TRaodenoba::FormShow()
{
    NamedQuery* menu = m_dm->kerdzebi;
    DBText1->setText(menu->isOpen() && !menu->isEmpty() ? menu->asString(QStringLiteral("Dasaxeleba")) : QString());
    rao->setText(QStringLiteral("1"));
    rao->setFocus();
    rao->selectAll();
}

void TRaodenoba::Button1Click()
{
    Tshekvetebi* order = forms().shekvetebi;
    const QString table = order->Label1->text();
    // A quantity that is no number is refused here and the dialog stays open.
    const QVariant dish = order->currentDish();
    OrderEntry::addLine(*m_dm, table, order->ComboBox1->currentText(), rao->text());
    accept();
    // The cleared filter and the lowered stock in one reading, on the dish just
    // ordered, so that the waiter's place in the menu is kept.
    {
        const QSignalBlocker quiet(order->Edit1);
        order->Edit1->clear();
    }
    order->rereadMenu(dish);
    order->Edit1->setFocus();
    Q_EMIT occupancyChanged();
    m_dm->busytables->reopen({{QStringLiteral("TB"), table}});
}

bool TRaodenoba::raoKeyPress(QKeyEvent* key)
{
    return NumericKeyFilter::keyPress(rao, key);
}
