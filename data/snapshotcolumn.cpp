#include "data/snapshotcolumn.h"

#include <QRegularExpression>

namespace {
constexpr std::int64_t MsPerDay = 86400000;

int digits(const QChar* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}
}  // namespace

void SnapshotColumn::reserve(std::size_t n)
{
    m_null.reserve(n);
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: m_ints.reserve(n); break;
    case Store::Float: m_floats.reserve(n); break;
    case Store::Text: m_texts.reserve(n); break;
    case Store::Variant: m_variants.reserve(n); break;
    }
}

std::int64_t SnapshotColumn::encodeDateTime(const QDateTime& value)
{
    return value.date().toJulianDay() * MsPerDay + value.time().msecsSinceStartOfDay();
}

QDateTime SnapshotColumn::decodeDateTime(std::int64_t encoded)
{
    const std::int64_t day = encoded / MsPerDay;
    const int ms = int(encoded % MsPerDay);
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(ms));
}

bool SnapshotColumn::parseIsoDateTime(const QString& text, QDateTime* out)
{
    const int n = int(text.size());
    if (n < 10)
        return false;
    const QChar* p = text.constData();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    if (y < 0 || mo < 0 || d < 0 || p[4] != u'-' || p[7] != u'-')
        return false;
    const QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    int h = 0, mi = 0, s = 0, ms = 0;
    if (n > 10) {
        if (n < 16 || (p[10] != u' ' && p[10] != u'T') || p[13] != u':')
            return false;
        h = digits(p + 11, 2);
        mi = digits(p + 14, 2);
        if (n >= 19) {
            if (p[16] != u':')
                return false;
            s = digits(p + 17, 2);
        }
        if (n > 20 && p[19] == u'.') {
            const int len = std::min(3, n - 20);
            ms = digits(p + 20, len);
            for (int k = len; k < 3; ++k)
                ms *= 10;
        }
        if (h < 0 || mi < 0 || s < 0 || ms < 0)
            return false;
    }
    *out = QDateTime(date, QTime(h, mi, s, ms));
    return out->isValid();
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
            *i = std::int64_t(v);
            ok = double(*i) == v;
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
            *i = encodeDateTime(QDateTime(value.toDate(), QTime(0, 0)));
            return value.toDate().isValid();
        }
        QDateTime dt;
        if (!parseIsoDateTime(value.toString(), &dt))
            return false;
        *i = encodeDateTime(dt);
        return true;
    }
    case Store::Money: {
        if (value.metaType().id() == QMetaType::Double) {
            *i = Money::fromDoubleHalfEven(value.toDouble()).raw();
            return true;
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
    if (value.isNull()) {
        m_null.push_back(true);
        switch (m_store) {
        case Store::Integer:
        case Store::DateTime:
        case Store::Money: m_ints.push_back(0); break;
        case Store::Float: m_floats.push_back(0); break;
        case Store::Text: m_texts.push_back(intern(QString())); break;
        case Store::Variant: m_variants.emplace_back(); break;
        }
        return;
    }
    std::int64_t i = 0;
    double d = 0;
    quint32 t = 0;
    if (m_store != Store::Variant && !convert(value, &i, &d, &t))
        promoteToVariant();
    m_null.push_back(false);
    switch (m_store) {
    case Store::Integer:
    case Store::DateTime:
    case Store::Money: m_ints.push_back(i); break;
    case Store::Float: m_floats.push_back(d); break;
    case Store::Text: m_texts.push_back(t); break;
    case Store::Variant: m_variants.push_back(value); break;
    }
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
    case Store::Money: m_ints.erase(m_ints.begin() + std::ptrdiff_t(row)); break;
    case Store::Float: m_floats.erase(m_floats.begin() + std::ptrdiff_t(row)); break;
    case Store::Text: m_texts.erase(m_texts.begin() + std::ptrdiff_t(row)); break;
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

void SnapshotColumn::promoteToVariant()
{
    std::vector<QVariant> values;
    values.reserve(m_null.capacity());
    for (std::size_t r = 0; r < m_null.size(); ++r)
        values.push_back(value(r));
    m_variants = std::move(values);
    m_store = Store::Variant;
    m_ints.clear();
    m_ints.shrink_to_fit();
    m_floats.clear();
    m_floats.shrink_to_fit();
    m_texts.clear();
    m_texts.shrink_to_fit();
    m_pool.clear();
    m_poolIndex.clear();
}
