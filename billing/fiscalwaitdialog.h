#pragma once

#include <QDialog>
#include <chrono>

class QLabel;
class QProgressBar;

// The small window shown while the fiscal printer driver's answer is awaited:
// application-modal, so nothing else can be clicked meanwhile, with the seconds
// left. It has no buttons and cannot be closed by the user; the exchange removes
// it when the wait ends.
class FiscalWaitDialog : public QDialog
{
    Q_OBJECT

public:
    static const QString Caption;
    static const QString WaitText;  // %1: whole seconds left

    explicit FiscalWaitDialog(QWidget* parent);

    // After check `check` of `checks` found no answer; `left` until the last one.
    void setTimeLeft(std::chrono::milliseconds left, int check, int checks);

    QLabel* Label1;
    QProgressBar* ProgressBar1;

public Q_SLOTS:
    void reject() override;  // Escape does not end the wait

protected:
    void closeEvent(QCloseEvent* event) override;
};
