#include "data/sqltext.h"
#include "data/dberror.h"
#include "data/schema.h"
#include "data/snapshotcolumn.h"

#include <QRegularExpression>

namespace {

// The column a placeholder is compared with, from the text just before it
// ("Shekvetebi.Tarigi >= "), or empty.
QString comparedColumn(const QString& before)
{
    static const QRegularExpression tail(
        QStringLiteral("([A-Za-z_][A-Za-z0-9_]*)\\s*(?:<=|>=|<>|!=|=|<|>)\\s*$"));
    const QRegularExpressionMatch m = tail.match(before.right(80));
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

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
        if (Schema::isDateTimeColumn(comparedColumn(m_positional)))
            m_dateParams.insert(key);
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

bool SqlText::isDateParam(const QString& name) const
{
    return m_dateParams.contains(name.toLower());
}

void SqlText::bindTo(QSqlQuery& query) const
{
    for (const QString& key : m_order) {
        QString v = m_values.value(key);
        if (!v.isEmpty() && m_dateParams.contains(key)) {
            QDateTime dt;
            if (!SnapshotColumn::parseDateTimeText(v, &dt))
                throw DbError(QStringLiteral("„%1“ არ არის თარიღი").arg(v));
            v = SnapshotColumn::sqlText(dt);
        }
        query.addBindValue(v.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v));
    }
}
