#pragma once

#include "data/changefeed.h"

#include <QPixmap>
#include <QWidget>

class DBGrid;
class QComboBox;
class QPushButton;
class QToolButton;
class TDM;

// The waiter tab: which kitchen dishes of a waiter and table are queued, taken
// or already closed, with their age in minutes.
class WaiterTab : public QWidget
{
    Q_OBJECT

public:
    explicit WaiterTab(TDM* dm, QWidget* parent = nullptr);

    QWidget* Panel16;
    QComboBox* ComboBox8;        // the waiter
    QComboBox* ComboBox10;       // the table
    QToolButton* SpeedButton12;  // "ფილტრი"
    QPushButton* Button19;       // hidden: reloads the waiter selector
    DBGrid* DBGrid12;

    // Reloads the waiter selector from oficianti (the tab's opening).
    void load();

    // Another station (or this one) wrote order lines: the list, once
    // filtered, is read again with its filter, keeping its current row and
    // scroll position.
    void followChanges(ChangeFeed::Tables tables);

    void Button19Click();
    void SpeedButton12Click();
    void DBGrid12CellClick(int column);
    // The flag in the last column.
    void DBGrid12DrawColumnCell(QPainter* p, const QRect& rect, int row, int column);

private:
    TDM* m_dm;
    QPixmap m_flag;
};
