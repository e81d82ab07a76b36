#pragma once

#include <QDialog>

class QPushButton;

// The cook's small menu window. Nothing in the program opens it yet; its start
// and finish buttons have no action, and "გამოსვლა" closes it.
class Tcoock_menu : public QDialog
{
    Q_OBJECT

public:
    explicit Tcoock_menu(QWidget* parent = nullptr);

    QPushButton* Button1;  // "დაწყება"
    QPushButton* Button2;  // "დასრულება"
    QPushButton* Button3;  // hidden
    QPushButton* Button4;  // "გამოსვლა"
};
