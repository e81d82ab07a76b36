#pragma once

#include <QPixmap>
#include <QString>

// A fixed picture of the program from its resource file (shell/icons.qrc), by
// its name without ".png": "delete", "export", "record", "cook", "flag",
// "table-free", "table-busy". Pictures that carry changing data (a table's
// number) are drawn over these in code.
QPixmap picture(const QString& name);
