#pragma once

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

// An SQL text with named parameters (":USR"), turned once into positional
// placeholders, and the parameter values of its query. Names match without regard
// to case; every value is text; a parameter never set, or set to an empty text,
// binds NULL and so matches no row. A parameter compared with a date-time column
// ("Tarigi >= :ST") takes a day as "YYYY-MM-DD" or in the short date form
// "dd.MM.yyyy" and is handed to the engine in the stored form, so that both
// engines compare it the same way.
class SqlText
{
public:
    explicit SqlText(const QString& sql);

    const QString& original() const { return m_original; }
    const QString& positional() const { return m_positional; }

    void setParam(const QString& name, const QString& value);  // throws DbError for an unknown name
    QString param(const QString& name) const;
    QStringList paramNames() const;       // as written in the text, each once
    void bindTo(QSqlQuery& query) const;  // throws DbError for a date that is no date

    // The text to run for the values held now, and the values for its
    // placeholders: "?" or "$1, $2, ..." (libpq). With `simplify`, a filter
    // "<column> like :P" whose P is "%" becomes "<column> is not null": the same
    // rows (every non-null value matches "%"), without the engine turning each
    // value into text and matching it. Throws DbError for a date that is no date.
    enum class Marks { Question,
                       Numbered };
    struct Bound
    {
        QString text;
        QList<QVariant> values;
    };
    Bound bound(Marks marks, bool simplify) const;

private:
    QVariant boundValue(const QString& key) const;

    QString m_original;
    QString m_positional;
    // m_positional cut at its placeholders: one more piece than placeholders.
    QStringList m_pieces;
    // Per placeholder: where in the piece before it the "<column> like" starts
    // when that filter may become "is not null", else -1.
    QList<qsizetype> m_likeFrom;
    QStringList m_order;                // lower-case name of each placeholder, in order
    QHash<QString, QString> m_spelled;  // lower-case -> as written
    QHash<QString, QString> m_values;   // lower-case -> value
    QSet<QString> m_dateParams;         // lower-case names compared with a date-time column
};
