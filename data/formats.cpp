#include "data/formats.h"

#include <QLocale>
#include <cmath>

namespace {
QChar g_separator;

QString withSeparator(QString text)
{
    const QChar sep = Formats::decimalSeparator();
    if (sep != u'.')
        text.replace(u'.', sep);
    return text;
}

QString stripZeros(QString text)
{
    if (!text.contains(u'.'))
        return text;
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString groupDigits(const QString& digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out.append(Formats::groupSeparator());
        out.append(digits[i]);
    }
    return out;
}
// "-1234.56" in the money format: grouped, the system's separator, the lari sign.
QString moneyText(const QString& text)
{
    const bool negative = text.startsWith(u'-');
    const QString body = negative ? text.mid(1) : text;
    const qsizetype dot = body.indexOf(u'.');
    QString out = groupDigits(body.left(dot)) + Formats::decimalSeparator() + body.mid(dot + 1, 2);
    return (negative ? QStringLiteral("-") : QString()) + out + QStringLiteral(" ₾");
}
}  // namespace

QChar Formats::decimalSeparator()
{
    if (!g_separator.isNull())
        return g_separator;
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

QChar Formats::groupSeparator()
{
    // A comma locale groups with a no-break space, a full-stop locale with a comma.
    return decimalSeparator() == u',' ? QChar(0x00A0) : QChar(u',');
}

void Formats::setDecimalSeparator(QChar separator)
{
    g_separator = separator;
}

QString Formats::general(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    return withSeparator(QString::number(value, 'g', 15));
}

QString Formats::shortest(Money value)
{
    return withSeparator(stripZeros(value.toSqlText()));
}

QString Formats::upToTwoDecimals(double value)
{
    // A value beyond what an amount holds is still shown, in the general form.
    const auto m = Money::tryFromDoubleHalfEven(value);
    return m ? shortest(m->roundedHalfAwayFromZero(2)) : general(value);
}

QString Formats::fixedTwo(double value)
{
    const auto m = Money::tryFromDoubleHalfEven(value);
    if (!m)
        return std::isfinite(value) ? withSeparator(QString::number(value, 'f', 2)) : general(value);
    return fixedTwo(*m);
}

QString Formats::fixedTwo(Money value)
{
    const QString text = value.roundedHalfAwayFromZero(2).toSqlText();
    return withSeparator(text.left(text.size() - 2));
}

QString Formats::money(Money value)
{
    const QString text = value.roundedHalfAwayFromZero(2).toSqlText();  // "-1234.5600"
    return moneyText(text.left(text.size() - 2));
}

QString Formats::money(double value)
{
    if (const auto m = Money::tryFromDoubleHalfEven(value))
        return money(*m);
    return std::isfinite(value) ? moneyText(QString::number(value, 'f', 2)) : general(value);
}

QString Formats::date(const QDateTime& value)
{
    return value.isValid() ? value.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

QString Formats::dateTime(const QDateTime& value)
{
    return value.isValid() ? value.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

QString Formats::dateTimeWithSeconds(const QDateTime& value)
{
    return value.isValid() ? value.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

QString Formats::isoDate(const QDate& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<double> Formats::parseNumber(const QString& text)
{
    const auto m = Money::parseLocal(text);
    if (!m)
        return std::nullopt;
    // Re-read the digits as a double so that more than four decimals are kept.
    QString t = text.trimmed();
    t.replace(decimalSeparator(), u'.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> Formats::parseInteger(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}
