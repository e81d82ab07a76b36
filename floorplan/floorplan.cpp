#include "floorplan/floorplan.h"
#include "shell/pictures.h"
#include "shell/forms.h"
#include "shell/shared.h"
#include "shell/ui.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "orders/shekveta.h"

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int PitchX = 110;
constexpr int PitchY = 100;

// A table seen from the side, on green; a busy one carries a bottle and a glass,
// large and bright on its right half, so that it shows from across the room,
// and leaves the left half above the table free for the number.
QPixmap tablePicture(bool busy)
{
    return picture(busy ? QStringLiteral("table-busy") : QStringLiteral("table-free"));
}

}  // namespace

QPixmap FloorPlan::freeTablePicture()
{
    static const QPixmap pm = tablePicture(false);
    return pm;
}

QPixmap FloorPlan::busyTablePicture()
{
    static const QPixmap pm = tablePicture(true);
    return pm;
}

FloorPlan::FloorPlan(TDM* dm, QWidget* parent)
    : QWidget(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("FloorPlan"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Label1 = named(new QLabel(QStringLiteral("0"), this), "Label1");
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(Label1);

    ScrollBox1 = named(new QScrollArea(this), "ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    area = new QWidget();
    area->setObjectName(QStringLiteral("ScrollBox1Contents"));
    ScrollBox1->setWidget(area);
    layout->addWidget(ScrollBox1, 1);

    img1 = named(new TablePicture(area), "img1");
    img1->setGeometry(21, 3, 114, 97);
    img1->setToolTip(QStringLiteral("1"));
    img1->setPixmap(freeTablePicture());
    connect(img1, &TablePicture::clicked, this, [this] { guarded([this] { img1Click(img1); }); });

    Button2 = named(new QPushButton(QStringLiteral("Refresh"), this), "Button2");
    Button2->setFixedHeight(43);
    layout->addWidget(Button2);
    connectHandler(Button2, &QPushButton::clicked, this, &FloorPlan::Button2Click);

    Button1 = named(new QPushButton(this), "Button1");
    Button1->hide();
    connectHandler(Button1, &QPushButton::clicked, this, &FloorPlan::Button1Click);
    Button3 = named(new QPushButton(this), "Button3");
    Button3->hide();
    SpeedButton1 = named(new QToolButton(this), "SpeedButton1");
    SpeedButton1->setIcon(QIcon(busyTablePicture()));
    SpeedButton1->hide();
    SpeedButton2 = named(new QToolButton(this), "SpeedButton2");
    SpeedButton2->setIcon(QIcon(freeTablePicture()));
    SpeedButton2->hide();
}

TablePicture* FloorPlan::picture(int table) const
{
    return area->findChild<TablePicture*>(QStringLiteral("img%1").arg(table), Qt::FindDirectChildrenOnly);
}

void FloorPlan::Button1Click()
{
    m_dm->setting->reopen();
    followTableCount(int(m_dm->setting->asInteger(QStringLiteral("Tables"))));
}

void FloorPlan::followTableCount(int n)
{
    // Completing the rows is one transaction, so two stations starting at once
    // on an empty table list never both add the same table.
    {
        Transaction tx;
        tx.lockOrderNumbering();
        NamedQuery* all = m_dm->Tables;
        all->reopen();
        QSet<qint64> present;
        const int f = all->fieldIndex(QStringLiteral("TableNum"));
        for (int r = 0; r < all->rowCount(); ++r)
            present.insert(all->valueAt(r, f).toLongLong());
        NamedQuery* row = m_dm->busytables;
        for (int i = 1; i <= n; ++i) {
            if (present.contains(i))
                continue;
            row->reopen({{QStringLiteral("TB"), qint64(i)}});
            row->insert();
            row->setField(QStringLiteral("TableNum"), i);
            row->setField(QStringLiteral("Busy"), 0);
            row->setField(QStringLiteral("USERNUM"), 0);
            row->post();
        }
        tx.commit();
        all->close();
    }

    // A raised count gets its pictures at once; a lowered one hides those above it.
    for (int t = m_count + 1; t <= n; ++t) {
        auto* pic = new TablePicture(area);
        pic->setObjectName(QStringLiteral("img%1").arg(m_count + 1));
        pic->resize(img1->width(), img1->height());
        pic->setPixmap(freeTablePicture());
        connect(pic, &TablePicture::clicked, this, [this, pic] { guarded([this, pic] { img1Click(pic); }); });
        ++m_count;
        pic->setToolTip(QString::number(m_count));
    }
    for (int j = 1; j <= m_count; ++j)
        if (TablePicture* pic = picture(j))
            pic->setVisible(j <= std::max(n, 1));
    m_tables = n;
}

QPoint FloorPlan::layoutPosition(int j, int areaWidth, int pictureWidth)
{
    // An area narrower than one picture still shows one picture per row.
    const int perRow = std::max(1, areaWidth / pictureWidth);
    const int col = (j - 1) % perRow;
    const int row = (j + perRow - 1) / perRow;
    return QPoint(col * PitchX + 50, row * PitchY - 95);
}

void FloorPlan::Button2Click()
{
    // The count as stored now: a table count changed on any station shows here.
    m_dm->setting->reopen();
    const int n = int(m_dm->setting->asInteger(QStringLiteral("Tables")));
    if (n != m_tables)
        followTableCount(n);

    // Lay the pictures out in rows.
    const int areaWidth = ScrollBox1->width();
    int right = 0;
    int bottom = 0;
    for (int j = 1; j <= m_count; ++j) {
        TablePicture* pic = picture(j);
        if (!pic || pic->isHidden())
            continue;
        pic->move(layoutPosition(j, areaWidth, img1->width()));
        right = std::max(right, pic->geometry().right());
        bottom = std::max(bottom, pic->geometry().bottom());
    }
    area->resize(right + 10, bottom + 10);

    // Draw each table free or busy, from one read of every occupancy row; a
    // picture whose table did not change is left as it is.
    const QSet<qint64> busy = busyTables(*m_dm);
    QFont numberFont = font();
    numberFont.setPointSize(24);
    for (int m = 1; m <= n; ++m) {
        TablePicture* pic = picture(m);
        if (!pic)
            continue;
        const bool isBusy = busy.contains(m);
        const QVariant drawn = pic->property("busy");
        if (drawn.isValid() && drawn.toBool() == isBusy)
            continue;
        pic->setPixmap(numberedPicture(m, isBusy, numberFont));
        pic->setProperty("busy", isBusy);
    }
}

void FloorPlan::followChanges(ChangeFeed::Tables)
{
    // The occupancy rows and the table count come from one refresh.
    Button2Click();
}

QSet<qint64> FloorPlan::busyTables(TDM& dm)
{
    NamedQuery* all = dm.Tables;
    all->reopen();
    QHash<qint64, int> rows;
    QHash<qint64, bool> busy;
    const int numField = all->fieldIndex(QStringLiteral("TableNum"));
    const int busyField = all->fieldIndex(QStringLiteral("Busy"));
    for (int r = 0; r < all->rowCount(); ++r) {
        const qint64 t = all->valueAt(r, numField).toLongLong();
        rows[t] += 1;
        busy[t] = all->valueAt(r, busyField).toLongLong() == 1;
    }
    all->close();
    QSet<qint64> out;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        if (it.value() == 1 && busy.value(it.key()))
            out.insert(it.key());
    return out;
}

QPixmap FloorPlan::numberedPicture(int table, bool busy, const QFont& font)
{
    QPixmap pm = busy ? busyTablePicture() : freeTablePicture();
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    // The number in the free space above the table top, left of the bottle;
    // a long number gets a smaller font rather than covering the bottle.
    const QString text = QString::number(table);
    QFont fitted = font;
    while (QFontMetrics(fitted).horizontalAdvance(text) + 6 > 54 && QFontInfo(fitted).pixelSize() > 12)
        fitted.setPixelSize(QFontInfo(fitted).pixelSize() - 1);
    p.setFont(fitted);
    const QRect box(4, 4, p.fontMetrics().horizontalAdvance(text) + 6, std::min(p.fontMetrics().height(), 44));
    p.fillRect(box, Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
    p.end();
    return pm;
}

void FloorPlan::img1Click(TablePicture* pic)
{
    Label1->setText(pic->toolTip());
    forms().shekvetebi->openTable(Label1->text());
}
