#include "data/sqltext.h"
#include "data/dberror.h"
#include "data/schema.h"
#include "data/snapshotcolumn.h"
#include "data/values.h"

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

// Whether the text contains `word` as a whole word outside string literals.
bool hasWord(const QString& sql, QLatin1String word)
{
    bool inString = false;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (sql[i] == u'\'') {
            inString = !inString;
            continue;
        }
        if (inString || (i > 0 && (sql[i - 1].isLetterOrNumber() || sql[i - 1] == u'_')))
            continue;
        if (QStringView(sql).mid(i, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype e = i + word.size();
        if (e >= n || !(sql[e].isLetterOrNumber() || sql[e] == u'_'))
            return true;
    }
    return false;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The word ending at `end` (exclusive), after skipping spaces and the given
// extra characters backwards; `*start` receives where it begins.
QString wordBefore(QStringView text, qsizetype end, QStringView skip, qsizetype* start = nullptr)
{
    while (end > 0 && (text[end - 1].isSpace() || skip.contains(text[end - 1])))
        --end;
    qsizetype b = end;
    while (b > 0 && isWordChar(text[b - 1]))
        --b;
    if (start)
        *start = b;
    return text.mid(b, end - b).toString().toLower();
}

// Where "<column> like " starts at the end of `before`, when a "%" pattern there
// may be read as "is not null": the column is a plain (or qualified) name, the
// test stands alone between "where", "and" or "or" and the end of the condition,
// and the statement has no "not" or "case" that could turn a null into a row.
qsizetype likeFilterStart(bool eligibleStatement, QStringView before, QStringView after)
{
    if (!eligibleStatement)
        return -1;
    qsizetype likeStart = 0;
    if (wordBefore(before, before.size(), {}, &likeStart) != QLatin1String("like"))
        return -1;
    if (likeStart == before.size() || !(likeStart > 0 && before[likeStart - 1].isSpace()))
        return -1;
    qsizetype e = likeStart;
    while (e > 0 && before[e - 1].isSpace())
        --e;
    qsizetype b = e;
    while (b > 0 && (isWordChar(before[b - 1]) || before[b - 1] == u'.'))
        --b;
    if (b == e || !(before[b].isLetter() || before[b] == u'_'))
        return -1;
    if (b > 0 && !before[b - 1].isSpace() && before[b - 1] != u'(')
        return -1;
    const QString joiner = wordBefore(before, b, u"(");
    if (joiner != QLatin1String("where") && joiner != QLatin1String("and") && joiner != QLatin1String("or"))
        return -1;
    qsizetype a = 0;
    while (a < after.size() && (after[a].isSpace() || after[a] == u')'))
        ++a;
    if (a < after.size()) {
        qsizetype w = a;
        while (w < after.size() && isWordChar(after[w]))
            ++w;
        static const QStringList ends = {QStringLiteral("and"), QStringLiteral("or"), QStringLiteral("order"),
                                         QStringLiteral("group"), QStringLiteral("limit")};
        if (w == a || (w < after.size() && !after[w].isSpace() && after[w] != u'(')
            || !ends.contains(after.mid(a, w - a).toString().toLower()))
            return -1;
    }
    return b;
}

}  // namespace

SqlText::SqlText(const QString& sql)
    : m_original(sql)
{
    const qsizetype n = sql.size();
    bool inString = false;
    qsizetype pieceStart = 0;
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
        m_pieces << m_positional.mid(pieceStart);
        m_positional.append(u'?');
        pieceStart = m_positional.size();
        i = j - 1;
    }
    m_pieces << m_positional.mid(pieceStart);

    const bool eligible = QStringView(sql).trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive)
                          && !hasWord(sql, QLatin1String("not")) && !hasWord(sql, QLatin1String("case"));
    for (qsizetype p = 0; p + 1 < m_pieces.size(); ++p)
        m_likeFrom << likeFilterStart(eligible, m_pieces[p], m_pieces[p + 1]);
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

QStringList SqlText::paramNames() const
{
    QStringList names;
    for (const QString& key : m_order)
        if (!names.contains(m_spelled.value(key)))
            names.append(m_spelled.value(key));
    return names;
}

QVariant SqlText::boundValue(const QString& key) const
{
    QString v = m_values.value(key);
    if (!v.isEmpty() && m_dateParams.contains(key)) {
        QDateTime dt;
        if (!SnapshotColumn::parseDateTimeText(v, &dt))
            throw DbError(QString::fromUtf8(Values::NotADateText).arg(v));
        v = SnapshotColumn::sqlText(dt);
    }
    return v.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v);
}

void SqlText::bindTo(QSqlQuery& query) const
{
    for (const QString& key : m_order)
        query.addBindValue(boundValue(key));
}

SqlText::Bound SqlText::bound(Marks marks, bool simplify) const
{
    Bound out;
    out.text.reserve(m_positional.size() + 16);
    for (qsizetype p = 0; p < m_order.size(); ++p) {
        const QString& key = m_order[p];
        const QString& piece = m_pieces[p];
        if (simplify && m_likeFrom[p] >= 0 && m_values.value(key) == QLatin1String("%")) {
            qsizetype e = m_likeFrom[p];
            while (isWordChar(piece[e]) || piece[e] == u'.')
                ++e;
            out.text += QStringView(piece).left(e);
            out.text += QLatin1String(" is not null");
            continue;
        }
        out.values << boundValue(key);
        out.text += piece;
        if (marks == Marks::Question)
            out.text += u'?';
        else
            out.text += u'$' + QString::number(out.values.size());
    }
    out.text += m_pieces.back();
    return out;
}
