#include "office/calcformula.h"

QString CalcFormula::fromExcel(const QString& formula)
{
    QString out;
    out.reserve(formula.size());
    bool inText = false;  // a doubled quote inside a text leaves and re-enters it
    int arrayDepth = 0;
    for (const QChar c : formula) {
        if (c == u'"') {
            inText = !inText;
            out += c;
            continue;
        }
        if (inText) {
            out += c;
            continue;
        }
        if (c == u'{')
            ++arrayDepth;
        else if (c == u'}' && arrayDepth > 0)
            --arrayDepth;

        if (c == u',')
            out += u';';
        else if (c == u';' && arrayDepth > 0)
            out += u'|';
        else
            out += c;
    }
    return out;
}
