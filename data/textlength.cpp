#include "data/textlength.h"
#include "data/schema.h"

qsizetype TextLength::length(const QString& text)
{
    return text.toUcs4().size();
}

int TextLength::overLimit(const QString& table, const QString& column, const QString& text)
{
    const Schema::Column* c = Schema::findColumn(table, column);
    if (!c || c->type != Schema::ColumnType::Text || c->length <= 0)
        return 0;
    return length(text) > c->length ? c->length : 0;
}

QString TextLength::tooLongText(const QString& caption, int limit, qsizetype length)
{
    return QStringLiteral("ველი „%1“ %2 სიმბოლოზე გრძელი ვერ იქნება (ახლა %3)! ჩანაწერი არ შეინახა!!!")
        .arg(caption)
        .arg(limit)
        .arg(length);
}
