#include "shell/pictures.h"

// The resource file lives in a static library: its data is registered
// explicitly, once, before the first picture is read. (Outside any namespace,
// as the registration function is declared where it is called.)
static void registerIcons()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(registered);
}

QPixmap picture(const QString& name)
{
    registerIcons();
    const QString path = QStringLiteral(":/icons/%1.png").arg(name);
    const QPixmap pm(path);
    Q_ASSERT_X(!pm.isNull(), "picture", qPrintable(path));
    return pm;
}
