#pragma once

#include <QString>

struct sqlite3;

// The value of a `like` parameter that a person typed as a whole (a document
// number, a supplier's name): every character of it escaped with a backslash,
// so that "INV_1" or "7%" match only themselves, letter case included. Both
// engines read it the same way: PostgreSQL's `like` takes the backslash as its
// escape character, and on SQLite the connection's own `like` does (see
// installSqliteLike).
namespace LikePattern {

// The whole text, exactly; an empty text matches every value ("%").
QString exact(const QString& text);
// Values that begin with the text; an empty text matches every value.
QString prefix(const QString& text);

// Replaces SQLite's `like(pattern, value)` on one connection by one that keeps
// SQLite's rules ("%", "_", ASCII letters without regard to case) and adds
// PostgreSQL's escape: a character after a backslash matches only itself.
// Returns false when SQLite refused the function.
bool installSqliteLike(sqlite3* db);

// The matching itself, on UTF-8 texts (for the tests of the rule).
bool matches(const QByteArray& pattern, const QByteArray& value);

}  // namespace LikePattern
