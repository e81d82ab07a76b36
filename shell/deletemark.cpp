#include "shell/deletemark.h"

#include <QPainter>

QPixmap deleteMark()
{
    QPixmap pm(30, 30);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD3, 0x1F, 0x1F));
    p.drawEllipse(QRectF(1.5, 1.5, 27, 27));
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(20.5, 20.5));
    p.drawLine(QPointF(20.5, 9.5), QPointF(9.5, 20.5));
    return pm;
}
