#pragma once

#include "shell/waitindicator.h"

#include <chrono>

class QLabel;
class QProgressBar;

// The wait indicator shown while the fiscal printer driver's answer is awaited,
// with the seconds left. The exchange removes it when the wait ends.
class FiscalWaitDialog : public WaitIndicator
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
};
