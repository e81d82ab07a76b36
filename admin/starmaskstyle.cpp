#include "admin/starmaskstyle.h"

int StarMaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    if (hint == QStyle::SH_LineEdit_PasswordCharacter)
        return u'*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
