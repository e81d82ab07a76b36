#pragma once

#include <QString>
#include <stdexcept>

class QSqlQuery;

// The one error type of the data layer. It carries the engine's own text (or a
// Georgian text of ours where the fault is ours to describe), which the
// application-wide guard shows to the user as it stands.
class DbError : public std::runtime_error
{
public:
    // An engine's text that a person cannot act on (a lock another station
    // holds) becomes the Georgian text that says what to do.
    explicit DbError(const QString& text)
        : DbError(text, QString())
    {
    }
    // `code`: the engine's error code where it gave one (PostgreSQL's SQLSTATE).
    DbError(const QString& text, const QString& code)
        : DbError(told(text, code), 0)
    {
    }
    // The error of a failed query: the engine's own text where it gave one.
    static DbError fromQuery(const QSqlQuery& query);

    // The link to the database server broke and the action was not done: its
    // statements were rolled back or never reached the server.
    static const QString& linkLostText();
    // The link broke while a write was on its way to being stored: whether the
    // server kept it cannot be known.
    static const QString& linkLostWhileWritingText();

    // A fault of the disk or the folder under the database, told as what it is
    // and what to do, with the engine's own text after it; empty when `sqliteCode`
    // (SQLite's result code) or `sqlState` (PostgreSQL's) is no such fault.
    static QString storageFaultText(int sqliteCode, const QString& sqlState, const QString& engineText);
    // The same for a failed query; empty when its error is no such fault.
    static QString storageFaultOf(const QSqlQuery& query);
    // PostgreSQL: a statement waited for a lock longer than the session's
    // lock_timeout: another station holds the row.
    static const QString& heldByAnotherStationText();
    // SQLite: the busy wait ended with another program still writing.
    static const QString& databaseHeldText();

    const QString& text() const { return m_text; }

private:
    DbError(const QString& text, int)
        : std::runtime_error(text.toStdString()), m_text(text)
    {
    }
    static QString told(const QString& text, const QString& code);

    QString m_text;
};
