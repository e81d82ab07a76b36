#pragma once

#include <QFont>
#include <QString>

// Small helpers for building the windows: controls carry their names as
// objectName, and the fonts the screens use.
template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

inline QFont fontOf(const char* family, int pixels, bool bold = false)
{
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

inline QFont timesBold(int pixels)
{
    return fontOf("Times New Roman", pixels, true);
}

inline QFont tahoma(int pixels)
{
    return fontOf("Tahoma", pixels);
}
