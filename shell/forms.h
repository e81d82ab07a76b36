#pragma once

class QWidget;
class TDM;
class Tshekvetebi;
class TRaodenoba;
class Tmagidisshecvla;
class TEditRaoden;
class Tkonsignacia;
class TDel;
class Tcoock_menu;
class TTANXIS_GADAXDA;

// The program's windows, created once at start-up in this order and kept until
// it ends. Windows pass context through each other's controls (the table
// number in the order window's Label1, the waiter in its waiter box).
struct Forms
{
    QWidget* Kelvora = nullptr;  // the main window
    TDM* DM = nullptr;
    Tshekvetebi* shekvetebi = nullptr;
    TRaodenoba* Raodenoba = nullptr;
    Tmagidisshecvla* magidisshecvla = nullptr;
    TEditRaoden* EditRaoden = nullptr;
    Tkonsignacia* konsignacia = nullptr;
    TDel* Del = nullptr;
    Tcoock_menu* coock_menu = nullptr;
    TTANXIS_GADAXDA* TANXIS_GADAXDA = nullptr;
};

Forms& forms();
