#include "data/dberror.h"

#include <QSqlError>
#include <QSqlQuery>

DbError DbError::fromQuery(const QSqlQuery& query)
{
    const QSqlError e = query.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text();
    return DbError(text);
}

const QString& DbError::linkLostText()
{
    static const QString text = QStringLiteral(
        "მონაცემთა ბაზასთან კავშირი გაწყდა! მოქმედება არ შესრულდა, სცადეთ ხელახლა");
    return text;
}

const QString& DbError::linkLostWhileWritingText()
{
    static const QString text = QStringLiteral(
        "მონაცემთა ბაზასთან კავშირი გაწყდა ჩაწერის დროს! "
        "შეამოწმეთ, შეინახა თუ არა ცვლილება, სანამ ხელახლა სცდით");
    return text;
}
