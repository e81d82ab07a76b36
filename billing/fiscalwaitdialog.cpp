#include "billing/fiscalwaitdialog.h"
#include "shell/ui.h"

#include <QLabel>
#include <QProgressBar>

const QString FiscalWaitDialog::Caption = QStringLiteral("ფისკალური პრინტერი");
const QString FiscalWaitDialog::WaitText = QStringLiteral("ფისკალური პრინტერის პასუხს ველოდები… %1 წმ");

FiscalWaitDialog::FiscalWaitDialog(QWidget* parent)
    : WaitIndicator(QStringLiteral("FiscalWait"), Caption, QString(), 0, parent)
{
    Label1 = named(new QLabel(this), "Label1");
    Label1->setFont(tahoma(19));
    // Room for the longest count, so the window keeps its size as it counts down.
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(WaitText.arg(99)) + 8);
    setLabel(Label1);
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    setBar(ProgressBar1);
}

void FiscalWaitDialog::setTimeLeft(std::chrono::milliseconds left, int check, int checks)
{
    const auto seconds = (left.count() + 999) / 1000;  // 19.5 s left shows as 20
    setLabelText(WaitText.arg(seconds));
    ProgressBar1->setRange(0, checks);
    ProgressBar1->setValue(check);
}
