#include "data/likepattern.h"

#include <QByteArray>
#include <algorithm>
#include <sqlite3.h>

namespace {

int charLength(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if ((c >> 5) == 0x6)
        return 2;
    if ((c >> 4) == 0xE)
        return 3;
    if ((c >> 3) == 0x1E)
        return 4;
    return 1;  // a stray byte stands for itself
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// One character of the value at `s` against the literal at `p` (escaped or not);
// returns the literal's length in the pattern when they match, else 0.
int literalMatch(const char* p, const char* pe, const char* s, const char* se, bool escaped)
{
    const int n = std::min<int>(charLength(static_cast<unsigned char>(*p)), int(pe - p));
    const int m = std::min<int>(charLength(static_cast<unsigned char>(*s)), int(se - s));
    if (n != m)
        return 0;
    if (n == 1)
        return (escaped ? *p == *s : lowerAscii(*p) == lowerAscii(*s)) ? 1 : 0;
    return std::equal(p, p + n, s) ? n : 0;
}

bool likeMatch(const char* p, const char* pe, const char* s, const char* se)
{
    // Greedy with one backtracking point: the last "%" seen.
    const char* starP = nullptr;
    const char* starS = nullptr;
    while (true) {
        if (p < pe && *p == '%') {
            while (p < pe && *p == '%')
                ++p;
            if (p == pe)
                return true;
            starP = p;
            starS = s;
            continue;
        }
        if (s == se) {
            return p == pe;
        }
        if (p < pe) {
            if (*p == '_') {
                ++p;
                s += std::min<int>(charLength(static_cast<unsigned char>(*s)), int(se - s));
                continue;
            }
            const bool escaped = *p == '\\' && p + 1 < pe;
            const char* lit = escaped ? p + 1 : p;
            if (const int n = literalMatch(lit, pe, s, se, escaped)) {
                p = lit + n;
                s += n;
                continue;
            }
        }
        if (!starP || starS == se)
            return false;
        starS += std::min<int>(charLength(static_cast<unsigned char>(*starS)), int(se - starS));
        p = starP;
        s = starS;
    }
}

void sqliteLike(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // like(Y, X) is "X like Y": the pattern comes first.
    const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int pn = sqlite3_value_bytes(argv[0]);
    const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int vn = sqlite3_value_bytes(argv[1]);
    if (!pattern || !value) {
        sqlite3_result_error_nomem(context);
        return;
    }
    sqlite3_result_int(context, likeMatch(pattern, pattern + pn, value, value + vn) ? 1 : 0);
}

}  // namespace

QString LikePattern::exact(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("%");
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        // A surrogate pair is escaped once, before its first half.
        if (!c.isLowSurrogate())
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString LikePattern::prefix(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("%") : exact(text) + QLatin1Char('%');
}

bool LikePattern::installSqliteLike(sqlite3* db)
{
    return db && sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqliteLike, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool LikePattern::matches(const QByteArray& pattern, const QByteArray& value)
{
    return likeMatch(pattern.constData(), pattern.constData() + pattern.size(), value.constData(),
                     value.constData() + value.size());
}
