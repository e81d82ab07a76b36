#include "data/dberror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

DbError DbError::fromQuery(const QSqlQuery& query)
{
    const QSqlError e = query.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text();
    const QString fault = storageFaultOf(query);
    return fault.isEmpty() ? DbError(text, e.nativeErrorCode()) : DbError(fault);
}

QString DbError::storageFaultOf(const QSqlQuery& query)
{
    const QSqlError e = query.lastError();
    const bool sqlite = query.driver() && qstrcmp(query.driver()->handle().typeName(), "sqlite3*") == 0;
    bool isNumber = false;
    const int code = e.nativeErrorCode().toInt(&isNumber);
    return storageFaultText(sqlite && isNumber ? code : 0, sqlite ? QString() : e.nativeErrorCode(),
                            e.databaseText().trimmed());
}

QString DbError::storageFaultText(int sqliteCode, const QString& sqlState, const QString& engineText)
{
    // SQLite's primary codes: SQLITE_PERM 3, SQLITE_READONLY 8, SQLITE_IOERR 10,
    // SQLITE_FULL 13, SQLITE_CANTOPEN 14; PostgreSQL's class 53, disk_full 53100.
    const int primary = sqliteCode & 0xff;
    QString what;
    if (primary == 13 || sqlState == QLatin1String("53100"))
        what = QStringLiteral("მონაცემთა ბაზის დისკი სავსეა! გაათავისუფლეთ ადგილი დისკზე და სცადეთ ხელახლა. "
                              "ეს მოქმედება არ შესრულდა, შენახული მონაცემები ხელუხლებელია");
    else if (primary == 3 || primary == 8 || primary == 14)
        what = QStringLiteral("მონაცემთა ბაზის ფაილში ან საქაღალდეში ჩაწერა შეუძლებელია! შეამოწმეთ საქაღალდის და "
                              "ფაილების (მათ შორის -wal და -shm) უფლებები. ეს მოქმედება არ შესრულდა");
    else if (primary == 10)
        what = QStringLiteral("მონაცემთა ბაზის ფაილის წაკითხვა ან ჩაწერა ვერ მოხერხდა! შეამოწმეთ დისკი, "
                              "თავისუფალი ადგილი და საქაღალდის უფლებები. ეს მოქმედება არ შესრულდა");
    else
        return QString();
    return engineText.isEmpty() ? what : what + QStringLiteral(" (") + engineText + QLatin1Char(')');
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
