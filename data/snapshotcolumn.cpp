#include "data/snapshotcolumn.h"

#include <QRegularExpression>
#include <cmath>
#include <type_traits>

namespace {
constexpr std::int64_t MsPerDay = 86400000;

}  // namespace

std::int64_t SnapshotColumn::encodeDateTime(const QDateTime& value)
{
    // A day that does not exist has no Julian day to multiply.
    if (!value.isValid())
        return 0;
    return value.date().toJulianDay() * MsPerDay + value.time().msecsSinceStartOfDay();
}

QDateTime SnapshotColumn::decodeDateTime(std::int64_t encoded)
{
    const std::int64_t day = encoded / MsPerDay;
    const int ms = int(encoded % MsPerDay);
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(ms));
}

namespace {

template <typename Char>
int digitsOf(const Char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = char16_t(p[i]);
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS" (a "T" may stand for
// the space), nothing before or after. The program keeps whole seconds, as the
// PostgreSQL columns do: a fraction ("12:00:00.123", as Qt or a timestamp column
// with fractions writes it) is read and dropped, so that what was read is what is
// written back and read again.
template <typename Char>
bool parseIso(const Char* p, int n, std::int64_t* out)
{
    if (n != 10 && n != 16 && n != 19 && n < 21)
        return false;
    const int y = digitsOf(p, 4), mo = digitsOf(p + 5, 2), d = digitsOf(p + 8, 2);
    if (y < 0 || mo < 0 || d < 0 || p[4] != Char('-') || p[7] != Char('-'))
        return false;
    const QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    int h = 0, mi = 0, s = 0;
    if (n > 10) {
        if ((p[10] != Char(' ') && p[10] != Char('T')) || p[13] != Char(':'))
            return false;
        h = digitsOf(p + 11, 2);
        mi = digitsOf(p + 14, 2);
        if (n > 16) {
            if (p[16] != Char(':'))
                return false;
            s = digitsOf(p + 17, 2);
        }
        if (n > 19 && (p[19] != Char('.') || digitsOf(p + 20, std::min(n - 20, 9)) < 0 || n > 29))
            return false;
        if (h < 0 || mi < 0 || s < 0 || h > 23 || mi > 59 || s > 59)
            return false;
    }
    *out = date.toJulianDay() * MsPerDay + ((h * 60 + mi) * 60 + s) * 1000;
    return true;
}

}  // namespace

bool SnapshotColumn::parseIsoEncoded(QStringView text, std::int64_t* out)
{
    return parseIso(text.utf16(), int(text.size()), out);
}

bool SnapshotColumn::parseIsoEncoded(std::string_view text, std::int64_t* out)
{
    return parseIso(text.data(), int(text.size()), out);
}

bool SnapshotColumn::parseIsoDateTime(const QString& text, QDateTime* out)
{
    std::int64_t encoded = 0;
    if (!parseIsoEncoded(QStringView(text), &encoded))
        return false;
    *out = decodeDateTime(encoded);
    return true;
}

bool SnapshotColumn::parseDateTimeText(const QString& input, QDateTime* out)
{
    const QString text = input.trimmed();
    if (parseIsoDateTime(text, out))
        return true;
    static const QRegularExpression shortForm(QStringLiteral(
        "^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = shortForm.match(text);
    if (!m.hasMatch())
        return false;
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return false;
    *out = QDateTime(date, time);
    return true;
}

QString SnapshotColumn::sqlText(const QDateTime& value)
{
    if (value.time() == QTime(0, 0))
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

quint32 SnapshotColumn::intern(const QString& text)
{
    const auto it = m_poolIndex.constFind(text);
    if (it != m_poolIndex.constEnd())
        return *it;
    const quint32 index = quint32(m_pool.size());
    m_pool.push_back(text);
    m_poolIndex.insert(text, index);
    return index;
}

bool SnapshotColumn::convert(const QVariant& value, std::int64_t* i, double* d, quint32* t)
{
    bool ok = true;
    switch (m_store) {
    case Store::Integer:
        if (value.metaType().id() == QMetaType::QString)
            *i = value.toString().toLongLong(&ok);
        else if (value.metaType().id() == QMetaType::Double) {
            const double v = value.toDouble();
            // Only a whole number that 64 bits hold is stored as one.
            ok = v >= -9223372036854775808.0 && v < 9223372036854775808.0 && v == std::trunc(v);
            *i = ok ? std::int64_t(v) : 0;
        } else
            *i = value.toLongLong(&ok);
        return ok;
    case Store::Float:
        *d = value.metaType().id() == QMetaType::QString ? value.toString().toDouble(&ok)
                                                         : value.toDouble(&ok);
        return ok;
    case Store::Text:
        *t = intern(value.toString());
        return true;
    case Store::DateTime: {
        const int type = value.metaType().id();
        if (type == QMetaType::QDateTime) {
            *i = encodeDateTime(value.toDateTime());
            return value.toDateTime().isValid();
        }
        if (type == QMetaType::QDate) {
            const QDate day = value.toDate();
            *i = day.isValid() ? encodeDateTime(QDateTime(day, QTime(0, 0))) : 0;
            return day.isValid();
        }
        return parseIsoEncoded(QStringView(value.toString()), i);
    }
    case Store::Money: {
        if (value.metaType().id() == QMetaType::Double) {
            const auto m = Money::tryFromDoubleHalfEven(value.toDouble());
            *i = m ? m->raw() : 0;
            return m.has_value();
        }
        if (value.canConvert<Money>() && value.metaType() == QMetaType::fromType<Money>()) {
            *i = value.value<Money>().raw();
            return true;
        }
        const auto m = Money::parse(value.toString());
        if (!m)
            return false;
        *i = m->raw();
        return true;
    }
    case Store::Variant:
        return true;
    }
    return false;
}

void SnapshotColumn::append(const QVariant& value)
{
    // The new row starts empty and takes its value as set() stores it.
    appendNull();
    if (!value.isNull())
        set(size() - 1, value);
}

void SnapshotColumn::set(std::size_t row, const QVariant& value)
{
    if (value.isNull()) {
        m_null[row] = true;
        if (m_store == Store::Variant)
            m_variants[row] = QVariant();
        return;
    }
    std::int64_t i = 0;
    double d = 0;
    quint32 t = 0;
    if (m_store != Store::Variant && !convert(value, &i, &d, &t))
        promoteToVariant();
    m_null[row] = false;
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: m_ints[row] = i; break;
    case Store::Float: m_floats[row] = d; break;
    case Store::Text: m_texts[row] = t; break;
    case Store::Variant: m_variants[row] = value; break;
    }
}

void SnapshotColumn::remove(std::size_t row)
{
    m_null.erase(m_null.begin() + std::ptrdiff_t(row));
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: m_ints.erase(row); break;
    case Store::Float: m_floats.erase(row); break;
    case Store::Text: m_texts.erase(row); break;
    case Store::Variant: m_variants.erase(m_variants.begin() + std::ptrdiff_t(row)); break;
    }
}

QVariant SnapshotColumn::value(std::size_t row) const
{
    if (m_null[row])
        return QVariant();
    switch (m_store) {
    case Store::Integer: return QVariant(qlonglong(m_ints[row]));
    case Store::DateTime: return QVariant(decodeDateTime(m_ints[row]));
    case Store::Money: return QVariant::fromValue(Money::fromRaw(m_ints[row]));
    case Store::Float: return QVariant(m_floats[row]);
    case Store::Text: return QVariant(m_pool[m_texts[row]]);
    case Store::Variant: return m_variants[row];
    }
    return QVariant();
}

int SnapshotColumn::compare(std::size_t a, std::size_t b) const
{
    if (m_null[a] || m_null[b])
        return int(!m_null[a]) - int(!m_null[b]);
    const auto order = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: return order(m_ints[a], m_ints[b]);
    case Store::Float: return order(m_floats[a], m_floats[b]);
    case Store::Text: {
        const quint32 x = m_texts[a];
        const quint32 y = m_texts[b];
        return x == y ? 0 : m_pool[x].compare(m_pool[y]);
    }
    case Store::Variant: break;
    }
    const QVariant& x = m_variants[a];
    const QVariant& y = m_variants[b];
    const QPartialOrdering o = QVariant::compare(x, y);
    if (o == QPartialOrdering::Less)
        return -1;
    if (o == QPartialOrdering::Greater)
        return 1;
    if (o == QPartialOrdering::Equivalent)
        return 0;
    return x.toString().compare(y.toString());
}

void SnapshotColumn::reorder(const std::vector<std::size_t>& order)
{
    std::vector<bool> nulls(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        nulls[i] = m_null[order[i]];
    m_null = std::move(nulls);
    const auto gather = [&order](auto& values) {
        std::remove_reference_t<decltype(values)> sorted;
        sorted.reserve(order.size());
        for (const std::size_t row : order)
            sorted.push_back(values[row]);
        values = std::move(sorted);
    };
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: gather(m_ints); break;
    case Store::Float: gather(m_floats); break;
    case Store::Text: gather(m_texts); break;
    case Store::Variant: gather(m_variants); break;
    }
}

void SnapshotColumn::promoteToVariant()
{
    std::vector<QVariant> values;
    values.reserve(m_null.size());
    for (std::size_t r = 0; r < m_null.size(); ++r)
        values.push_back(value(r));
    m_variants = std::move(values);
    m_store = Store::Variant;
    m_ints.clear();
    m_floats.clear();
    m_texts.clear();
    m_pool.clear();
    m_poolIndex.clear();
    m_utf8Index.clear();
}

void SnapshotColumn::appendNull()
{
    m_null.push_back(true);
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: m_ints.push_back(0); break;
    case Store::Float: m_floats.push_back(0); break;
    case Store::Text: m_texts.push_back(intern(QString())); break;
    case Store::Variant: m_variants.emplace_back(); break;
    }
}

bool SnapshotColumn::appendInteger(std::int64_t value)
{
    if (m_store == Store::Float)
        return appendFloat(double(value));
    if (m_store != Store::Integer)
        return false;
    m_null.push_back(false);
    m_ints.push_back(value);
    return true;
}

bool SnapshotColumn::appendFloat(double value)
{
    if (m_store != Store::Float)
        return false;
    m_null.push_back(false);
    m_floats.push_back(value);
    return true;
}

bool SnapshotColumn::appendUtf8(const char* text, int length)
{
    const std::string_view bytes(text, std::size_t(length));
    switch (m_store) {
    case Store::Text: {
        quint32 index = 0;
        const auto it = m_utf8Index.find(bytes);
        if (it != m_utf8Index.end()) {
            index = it->second;
        } else {
            index = intern(QString::fromUtf8(text, length));
            m_utf8Index.emplace(std::string(bytes), index);
        }
        m_null.push_back(false);
        m_texts.push_back(index);
        return true;
    }
    case Store::DateTime: {
        std::int64_t v = 0;
        if (!parseIsoEncoded(bytes, &v))
            return false;
        m_null.push_back(false);
        m_ints.push_back(v);
        return true;
    }
    case Store::Money: {
        const auto m = Money::parse(QString::fromUtf8(text, length));
        if (!m)
            return false;
        m_null.push_back(false);
        m_ints.push_back(m->raw());
        return true;
    }
    default:
        return false;
    }
}
