#include "billing/fiscalwaitdialog.h"
#include "app/shell/ui.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

const QString FiscalWaitDialog::Caption = QStringLiteral("ფისკალური პრინტერი");
const QString FiscalWaitDialog::WaitText = QStringLiteral("ფისკალური პრინტერის პასუხს ველოდები… %1 წმ");

FiscalWaitDialog::FiscalWaitDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FiscalWait"));
    setWindowTitle(Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    Label1 = named(new QLabel(this), "Label1");
    Label1->setFont(tahoma(19));
    // Room for the longest count, so the window keeps its size as it counts down.
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(WaitText.arg(99)) + 8);
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
}

void FiscalWaitDialog::setTimeLeft(std::chrono::milliseconds left, int check, int checks)
{
    const auto seconds = (left.count() + 999) / 1000;  // 19.5 s left shows as 20
    Label1->setText(WaitText.arg(seconds));
    ProgressBar1->setRange(0, checks);
    ProgressBar1->setValue(check);
}

void FiscalWaitDialog::reject()
{
}

void FiscalWaitDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
