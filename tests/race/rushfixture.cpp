#include "tests/race/rushfixture.h"
#include "data/dberror.h"

#include <QFile>
#include <QSqlQuery>
#include <QVariant>

const QString RushFixture::Cook = QStringLiteral("გიორგი");
const QString RushFixture::ReceivedItem = QStringLiteral("ფქვილი");
const QString RushFixture::Supplier = QStringLiteral("შპს რაში");

namespace {

void run(QSqlDatabase db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DbError::fromQuery(q);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError::fromQuery(q);
}

}  // namespace

RushFixture::Stock RushFixture::prepare(QSqlDatabase db, const QString& fiscalFolder)
{
    struct Dish
    {
        const char* name;
        const char* type;
        double price;
    };
    const Dish dishes[] = {
        {"ხაჭაპური", "ცომეული", 12},
        {"მწვადი", "მწვადი", 18},
        {"ქართული სალათი", "სალათები", 9.5},
        {"ლიმონათი", "სასმელები", 3},  // no cook: its lines are born in state 0
    };
    for (const Dish& d : dishes)
        run(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba) values (?, ?, ?, ?, ?)"),
            {QString::fromUtf8(d.name), QString::fromUtf8(d.type), d.price / 2, d.price, 5000.0});
    for (const char* type : {"ცომეული", "მწვადი", "სალათები"})
        run(db, QStringLiteral("insert into uplebebi (ganyofileba, povari) values (?, ?)"), {QString::fromUtf8(type), Cook});
    run(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba) values (?, ?, ?, ?, ?)"),
        {ReceivedItem, QStringLiteral("საწყობი"), 1.5, 3.0, 0.0});
    for (int t = 1; t <= PrintTable; ++t)
        run(db, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (?, 0, 0)"), {t});
    if (!fiscalFolder.isEmpty())
        run(db, QStringLiteral("update Parametres set COMMAND = ?, ANSWER = ?"),
            {fiscalFolder + QStringLiteral("/command.txt"), fiscalFolder + QStringLiteral("/answer.txt")});

    Stock stock;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select ID, raodenoba from kerdzebi")))
        throw DbError::fromQuery(q);
    while (q.next())
        stock.insert(q.value(0).toLongLong(), q.value(1).toDouble());
    return stock;
}

bool RushFixture::saveStock(const Stock& stock, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (auto it = stock.cbegin(); it != stock.cend(); ++it)
        f.write(QStringLiteral("%1\t%2\n").arg(it.key()).arg(it.value(), 0, 'g', 17).toUtf8());
    return true;
}

RushFixture::Stock RushFixture::loadStock(const QString& path)
{
    Stock stock;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return stock;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2)
            stock.insert(parts[0].toLongLong(), parts[1].toDouble());
    }
    return stock;
}
