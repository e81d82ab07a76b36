#include "reports/exportpicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon exportPicture()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The sheet: a white page with a green title bar and a grid of cells.
    p.setPen(QPen(QColor(9, 108, 55), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 4.5, 21, 24));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(9, 108, 55));
    p.drawRect(QRectF(2.5, 4.5, 21, 5));
    p.setPen(QPen(QColor(9, 108, 55, 150), 1));
    for (qreal y : {14.5, 19.5, 24.5})
        p.drawLine(QPointF(3, y), QPointF(23, y));
    for (qreal x : {9.5, 16.5})
        p.drawLine(QPointF(x, 10), QPointF(x, 28));
    // The arrow: out of the sheet towards the right.
    QPainterPath arrow;
    arrow.moveTo(15, 17);
    arrow.lineTo(23, 17);
    arrow.lineTo(23, 12);
    arrow.lineTo(31, 20);
    arrow.lineTo(23, 28);
    arrow.lineTo(23, 23);
    arrow.lineTo(15, 23);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(QColor(230, 120, 20));
    p.drawPath(arrow);
    return QIcon(pm);
}
