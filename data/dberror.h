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

    const QString& text() const { return m_text; }

private:
    QString m_text;
};
