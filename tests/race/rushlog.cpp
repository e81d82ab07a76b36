#include "tests/race/rushlog.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

RushLog::Writer::Writer(const QString& path)
    : m_file(path)
{
    m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void RushLog::Writer::write(const QString& op, const QString& outcome,
                            const QList<std::pair<QString, QString>>& fields, const QString& text)
{
    QStringList parts{op, outcome};
    // The moment, in milliseconds, lets the logs of several stations be read as one story.
    parts << QStringLiteral("at=%1").arg(QDateTime::currentMSecsSinceEpoch());
    for (const auto& [key, value] : fields)
        parts << key + u'=' + value;
    if (!text.isEmpty()) {
        QString flat = text;
        flat.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
        parts << QStringLiteral("text=") + flat;
    }
    m_file.write((parts.join(u'\t') + u'\n').toUtf8());
    m_file.flush();
}

QList<RushLog::Entry> RushLog::read(const QString& path)
{
    QList<Entry> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = f.readAll();
    const QList<QByteArray> lines = all.split('\n');
    // The piece after the last line end is a line the station did not finish.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QStringList parts = QString::fromUtf8(lines[i]).split(u'\t');
        if (parts.size() < 2)
            continue;
        Entry e;
        e.op = parts[0];
        e.outcome = parts[1];
        for (qsizetype p = 2; p < parts.size(); ++p) {
            const qsizetype eq = parts[p].indexOf(u'=');
            if (eq <= 0)
                continue;
            const QString key = parts[p].left(eq);
            const QString value = parts[p].mid(eq + 1);
            if (key == QLatin1String("text"))
                e.text = value;
            else
                e.fields.insert(key, value);
        }
        out << e;
    }
    return out;
}

RushLog::Counts RushLog::count(const QList<Entry>& entries)
{
    Counts c;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& outcome = entries[i].outcome;
        if (outcome == QLatin1String("ok"))
            ++c.done;
        else if (outcome == QLatin1String("refused"))
            ++c.refused;
        else if (outcome == QLatin1String("fault"))
            ++c.faults;
        else if (outcome == QLatin1String("try") && i + 1 == entries.size())
            ++c.cut;
    }
    return c;
}

void RushLog::Times::add(const QList<Entry>& entries)
{
    for (const Entry& e : entries) {
        if (e.outcome == QLatin1String("try") || !e.fields.contains(QStringLiteral("ms")))
            continue;
        const qint64 ms = e.number(QStringLiteral("ms"));
        all << ms;
        worst[e.op] = std::max(worst.value(e.op), ms);
    }
}

qint64 RushLog::Times::percentile(double fraction) const
{
    if (all.isEmpty())
        return 0;
    QList<qint64> sorted = all;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype at = std::clamp<qsizetype>(qsizetype(std::ceil(fraction * double(sorted.size()))) - 1, 0,
                                               sorted.size() - 1);
    return sorted[at];
}
