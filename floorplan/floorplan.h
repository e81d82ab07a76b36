#pragma once

#include "floorplan/tablepicture.h"
#include "data/changefeed.h"

#include <QLabel>
#include <QPixmap>
#include <QSet>
#include <QWidget>

class QPushButton;
class QScrollArea;
class QToolButton;
class TDM;

// The order tab: one picture per table, free or busy, laid out in rows in a
// scrollable area; a click on a picture opens the order window for that table.
// It also keeps every table's occupancy row in busytable.
class FloorPlan : public QWidget
{
    Q_OBJECT

public:
    explicit FloorPlan(TDM* dm, QWidget* parent = nullptr);

    QScrollArea* ScrollBox1;
    QWidget* area;  // the scroll area's contents
    TablePicture* img1;
    QLabel* Label1;             // the number of the last table opened
    QPushButton* Button1;       // hidden: completes the occupancy rows, builds the pictures
    QPushButton* Button2;       // "Refresh"
    QPushButton* Button3;       // hidden: the main window's pick lists
    QToolButton* SpeedButton1;  // holds the busy-table picture
    QToolButton* SpeedButton2;  // holds the free-table picture

    // Where the j-th picture goes in an area of the given width: rows of
    // (width div picture width) pictures, at least one, on a pitch of 110 x 100.
    static QPoint layoutPosition(int j, int areaWidth, int pictureWidth);

    static QPixmap freeTablePicture();
    static QPixmap busyTablePicture();

    // The tables to draw busy, from one read of every occupancy row (Tables): a
    // table with no row, or with two, is drawn free.
    static QSet<qint64> busyTables(TDM& dm);
    // A table's picture, free or busy, with its number written on it.
    static QPixmap numberedPicture(int table, bool busy, const QFont& font);

    // The number of table pictures (the tag of img1): 1 before start-up, N after.
    int pictureCount() const { return m_count; }
    TablePicture* picture(int table) const;

    void Button1Click();
    void Button2Click();
    void img1Click(TablePicture* picture);

    // Another station (or this one) wrote occupancy rows or the settings row:
    // the pictures whose table changed are redrawn, a new table count is laid out.
    void followChanges(ChangeFeed::Tables tables);

private:
    // Completes the occupancy rows of tables 1 to n and shows n pictures,
    // making those that are missing.
    void followTableCount(int n);

    TDM* m_dm;
    int m_count = 1;
    int m_tables = 0;  // the table count the pictures follow
};
