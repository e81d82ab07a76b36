#pragma once

#include "data/changefeed.h"

#include <QPixmap>
#include <QWidget>

class DBGrid;
class QComboBox;
class QPushButton;
class QSplitter;
class QToolButton;
class NamedQuery;
class TDM;

// The cook tab: the cook selector and department filters, the queue (left)
// and the work list (right).
class CookTab : public QWidget
{
    Q_OBJECT

public:
    explicit CookTab(TDM* dm, QWidget* parent = nullptr);

    QWidget* Panel13;
    QComboBox* ComboBox11;       // the cook
    QComboBox* ComboBox13;       // department filter of the queue
    QComboBox* ComboBox12;       // department filter of the work list
    QPushButton* Button18;       // "Refresh" and the countdown
    QToolButton* SpeedButton10;  // holds the cook picture
    QToolButton* SpeedButton11;  // holds the finish-flag picture
    QSplitter* Splitter2;
    QWidget* Panel11;  // holds the queue
    QWidget* Panel12;  // holds the work list
    DBGrid* DBGrid10;  // the queue
    DBGrid* DBGrid11;  // the work list

    static QPixmap cookPicture();
    static QPixmap flagPicture();

    // The refresh counter (the tag of the main window's Timer1).
    int counter() const { return m_tag; }
    void resetCounter() { m_tag = 0; }

    // Fills the cook box from Povrebi, nobody chosen.
    void loadCooks();
    // What opening the tab reads: the counter restarts, the queue and the work
    // list are read again.
    void load();

    // Another station (or this one) wrote order lines or the cooks'
    // departments: the queue and the work list are read again with their
    // filters, keeping their current rows and scroll positions.
    void followChanges(ChangeFeed::Tables tables);

    void ComboBox11Change();
    void Timer1Timer();
    void Button18Click();
    void Splitter2Moved();
    void DBGrid10DblClick();
    void DBGrid11CellClick(int column);
    void DBGrid10DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);
    // The cook picture under START, the flag under END.
    void DBGrid11DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);

private:
    void reread();
    void postAndReread(NamedQuery* list);

    TDM* m_dm;
    QPixmap m_cook;
    QPixmap m_flag;
    int m_tag = 0;
};
