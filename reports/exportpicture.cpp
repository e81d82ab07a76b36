#include "reports/exportpicture.h"
#include "shell/pictures.h"

QIcon exportPicture()
{
    return QIcon(picture(QStringLiteral("export")));
}
