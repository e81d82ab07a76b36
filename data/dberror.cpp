#include "data/dberror.h"

#include <QSqlError>
#include <QSqlQuery>

DbError DbError::fromQuery(const QSqlQuery& query)
{
    const QSqlError e = query.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text();
    return DbError(text, e.nativeErrorCode());
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

const QString& DbError::heldByAnotherStationText()
{
    static const QString text = QStringLiteral(
        "ამ ჩანაწერს ახლა სხვა სადგური იკავებს! მოქმედება არ შესრულდა, სცადეთ ხელახლა ცოტა ხანში");
    return text;
}

const QString& DbError::databaseHeldText()
{
    static const QString text = QStringLiteral(
        "მონაცემთა ბაზა სხვა პროგრამას (სხვა სადგურს) უჭირავს! მოქმედება არ შესრულდა. "
        "დაელოდეთ და სცადეთ ხელახლა; თუ არ გამოვა, შეამოწმეთ სხვა სადგურები და დახურეთ ის პროგრამა, "
        "რომელიც ბაზას აჩერებს");
    return text;
}

QString DbError::told(const QString& text, const QString& code)
{
    // PostgreSQL's lock_not_available (lock_timeout, NOWAIT); its English
    // text where the code was not passed on.
    if (code == QLatin1String("55P03") || text.contains(QLatin1String("canceling statement due to lock timeout"))
        || text.contains(QLatin1String("could not obtain lock")))
        return heldByAnotherStationText();
    // SQLite's SQLITE_BUSY and SQLITE_LOCKED, as Qt's driver and the engine word them.
    if (text.contains(QLatin1String("database is locked")) || text.contains(QLatin1String("database table is locked"))
        || text.contains(QLatin1String("database schema is locked")))
        return databaseHeldText();
    return text;
}
