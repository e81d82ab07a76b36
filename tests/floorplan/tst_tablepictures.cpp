// The floor plan's table pictures: busy and free tell apart at a glance, and
// the number covers no part of the table or what stands on it.

#include "floorplan/floorplan.h"

#include <QApplication>
#include <QImage>
#include <QTest>

namespace {

const QColor Green(9, 108, 55);

QFont numberFont()
{
    QFont f = QApplication::font();
    f.setPointSize(24);
    return f;
}

// Pixels that are not the background.
QList<QPoint> drawn(const QImage& image)
{
    QList<QPoint> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Green)
                out << QPoint(x, y);
    return out;
}

}  // namespace

class tst_tablepictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoPicturesOfTheSameTable()
    {
        const QImage free = FloorPlan::freeTablePicture().toImage();
        const QImage busy = FloorPlan::busyTablePicture().toImage();
        QCOMPARE(free.size(), QSize(99, 96));
        QCOMPARE(busy.size(), QSize(99, 96));
        QCOMPARE(free.pixelColor(0, 0), Green);
        QCOMPARE(busy.pixelColor(0, 0), Green);
        // The busy table is the free one with more on it.
        for (const QPoint& at : drawn(free))
            QCOMPARE(busy.pixelColor(at), free.pixelColor(at));
        // ... and plainly more: a tenth of the picture, not a small bottle.
        const qsizetype extra = drawn(busy).size() - drawn(free).size();
        QVERIFY2(extra * 10 >= busy.width() * busy.height(), qPrintable(QString::number(extra)));
    }

    void numberCoversNothing_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<bool>("busy");
        for (int table : {1, 16, 500})
            for (bool busy : {false, true})
                QTest::addRow("%d %s", table, busy ? "busy" : "free") << table << busy;
    }

    void numberCoversNothing()
    {
        QFETCH(int, table);
        QFETCH(bool, busy);
        const QImage bare = (busy ? FloorPlan::busyTablePicture() : FloorPlan::freeTablePicture()).toImage();
        const QImage numbered = FloorPlan::numberedPicture(table, busy, numberFont()).toImage();
        int changed = 0;
        for (int y = 0; y < bare.height(); ++y)
            for (int x = 0; x < bare.width(); ++x) {
                if (bare.pixelColor(x, y) == numbered.pixelColor(x, y))
                    continue;
                ++changed;
                // Only the background gives way to the number.
                QVERIFY2(bare.pixelColor(x, y) == Green, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            }
        QVERIFY(changed > 0);
    }
};

QTEST_MAIN(tst_tablepictures)
#include "tst_tablepictures.moc"
