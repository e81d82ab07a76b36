#include "data/sqltext.h"
#include "data/dberror.h"

SqlText::SqlText(const QString& sql) : m_original(sql)
{
    const qsizetype n = sql.size();
    bool inString = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == u'\'') {
            inString = !inString;
            m_positional.append(c);
            continue;
        }
        const bool starts = !inString && c == u':' && i + 1 < n
                            && (sql[i + 1].isLetter() || sql[i + 1] == u'_')
                            && (i == 0 || sql[i - 1] != u':');
        if (!starts) {
            m_positional.append(c);
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
            ++j;
        const QString name = sql.mid(i + 1, j - i - 1);
        const QString key = name.toLower();
        m_order << key;
        if (!m_spelled.contains(key))
            m_spelled.insert(key, name);
        m_positional.append(u'?');
        i = j - 1;
    }
}

bool SqlText::hasParam(const QString& name) const
{
    return m_spelled.contains(name.toLower());
}

QStringList SqlText::paramNames() const
{
    QStringList out;
    QStringList seen;
    for (const QString& key : m_order)
        if (!seen.contains(key)) {
            seen << key;
            out << m_spelled.value(key);
        }
    return out;
}

void SqlText::setParam(const QString& name, const QString& value)
{
    const QString key = name.toLower();
    if (!m_spelled.contains(key))
        throw DbError(QStringLiteral("პარამეტრი „%1“ ვერ მოიძებნა").arg(name));
    m_values.insert(key, value);
}

QString SqlText::param(const QString& name) const
{
    return m_values.value(name.toLower());
}

void SqlText::bindTo(QSqlQuery& query) const
{
    for (const QString& key : m_order) {
        const QString v = m_values.value(key);
        query.addBindValue(v.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v));
    }
}
