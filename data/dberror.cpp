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
