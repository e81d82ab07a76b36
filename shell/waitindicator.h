#pragma once

#include <QProgressDialog>

class QCloseEvent;

// The small window shown while the program waits for something slow (the fiscal
// printer's answer, the office starting, a long export): application-modal, so
// nothing else can be clicked meanwhile, without buttons, and neither Escape nor
// closing ends it; its owner removes it when the wait is over.
class WaitIndicator : public QProgressDialog
{
    Q_OBJECT

public:
    // `maximum` 0: a bar that only shows that work goes on.
    WaitIndicator(const QString& name, const QString& caption, const QString& text, int maximum, QWidget* parent);

    // The window in front (the active modal one, else the active one) that an
    // indicator is shown over; nullptr without windows.
    static QWidget* frontWindow();

public Q_SLOTS:
    void reject() override;  // Escape does not end the wait

protected:
    void closeEvent(QCloseEvent* event) override;
};
