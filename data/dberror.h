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
    explicit DbError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text)
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

    const QString& text() const { return m_text; }

private:
    QString m_text;
};
