#pragma once

#include <QIcon>

// The picture of every report's export button: a green workbook sheet with an
// arrow leaving it.
QIcon exportPicture();
