#include "shell/deletemark.h"
#include "shell/pictures.h"

QPixmap deleteMark()
{
    return picture(QStringLiteral("delete"));
}
