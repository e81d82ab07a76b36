#include "data/dberror.h"
#include "data/sqltext.h"

#include <QTest>

// The text a query runs for its values: "?" or "$n" placeholders, and the
// "<column> like '%'" filters read as "<column> is not null" only where that
// gives the same rows.
class tst_sqltext : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bound_data();
    void bound();
    void badDate();
};

void tst_sqltext::bound_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("params");    // "NAME=value;NAME=value"
    QTest::addColumn<QString>("question");  // with "?" and the filters read as "is not null"
    QTest::addColumn<QString>("numbered");  // the same with "$n"
    QTest::addColumn<QStringList>("values");

    const QString where = QStringLiteral("select * from t where ");
    QTest::newRow("one filter %") << where + "a like :P"
                                  << "P=%" << where + "a is not null" << where + "a is not null"
                                  << QStringList();
    QTest::newRow("pattern kept") << where + "a like :P"
                                  << "P=ab%" << where + "a like ?" << where + "a like $1"
                                  << QStringList{"ab%"};
    QTest::newRow("two %, one value between")
        << where + "a like :P and  b = :Q and c Like :R order by a"
        << "P=%;Q=5;R=%"
        << where + "a is not null and  b = ? and c is not null order by a"
        << where + "a is not null and  b = $1 and c is not null order by a" << QStringList{"5"};
    QTest::newRow("qualified column, in brackets")
        << where + "(t.a like :P or t.b=1) and u.c like :Q"
        << "P=%;Q=x"
        << where + "(t.a is not null or t.b=1) and u.c like ?" << where + "(t.a is not null or t.b=1) and u.c like $1"
        << QStringList{"x"};
    QTest::newRow("same name twice") << where + "a like :P and b like :P"
                                     << "P=%"
                                     << where + "a is not null and b is not null"
                                     << where + "a is not null and b is not null" << QStringList();
    QTest::newRow("%% is a pattern") << where + "a like :P"
                                     << "P=%%" << where + "a like ?" << where + "a like $1"
                                     << QStringList{"%%"};
    QTest::newRow("empty value binds null") << where + "a like :P"
                                            << "P=" << where + "a like ?"
                                            << where + "a like $1" << QStringList{"<null>"};
    // Where a null test and "like" could differ, the text stays.
    QTest::newRow("not like") << where + "a not like :P"
                              << "P=%" << where + "a not like ?" << where + "a not like $1"
                              << QStringList{"%"};
    QTest::newRow("not before") << where + "not (a like :P)"
                                << "P=%" << where + "not (a like ?)"
                                << where + "not (a like $1)" << QStringList{"%"};
    QTest::newRow("case") << where + "case when b like :P then 1 else 0 end = 0"
                          << "P=%"
                          << where + "case when b like ? then 1 else 0 end = 0"
                          << where + "case when b like $1 then 1 else 0 end = 0" << QStringList{"%"};
    QTest::newRow("in the select list") << "select a like :P as m from t"
                                        << "P=%"
                                        << "select a like ? as m from t"
                                        << "select a like $1 as m from t" << QStringList{"%"};
    QTest::newRow("pattern joined on") << where + "a like :P || 'x'"
                                       << "P=%" << where + "a like ? || 'x'"
                                       << where + "a like $1 || 'x'" << QStringList{"%"};
    QTest::newRow("escape") << where + "a like :P escape '!'"
                            << "P=%" << where + "a like ? escape '!'"
                            << where + "a like $1 escape '!'" << QStringList{"%"};
    QTest::newRow("compared after") << where + "a like :P = b"
                                    << "P=%" << where + "a like ? = b"
                                    << where + "a like $1 = b" << QStringList{"%"};
    QTest::newRow("an expression") << where + "a || b like :P"
                                   << "P=%" << where + "a || b like ?"
                                   << where + "a || b like $1" << QStringList{"%"};
    QTest::newRow("an update") << "update t set x = 1 where a like :P"
                               << "P=%"
                               << "update t set x = 1 where a like ?"
                               << "update t set x = 1 where a like $1"
                               << QStringList{"%"};
    QTest::newRow("colon in a string") << where + "a = ':P' and b like :Q"
                                       << "Q=%"
                                       << where + "a = ':P' and b is not null" << where + "a = ':P' and b is not null"
                                       << QStringList();
    QTest::newRow("date in the short form")
        << where + "Tarigi >= :ST and Tarigi <= :EN and a like :P"
        << "ST=08.06.2024;EN=2024-06-09 14:05:00;P=%"
        << where + "Tarigi >= ? and Tarigi <= ? and a is not null"
        << where + "Tarigi >= $1 and Tarigi <= $2 and a is not null"
        << QStringList{"2024-06-08", "2024-06-09 14:05:00"};
}

void tst_sqltext::bound()
{
    QFETCH(QString, sql);
    QFETCH(QString, params);
    QFETCH(QString, question);
    QFETCH(QString, numbered);
    QFETCH(QStringList, values);

    SqlText text(sql);
    for (const QString& p : params.split(u';', Qt::SkipEmptyParts))
        text.setParam(p.section(u'=', 0, 0), p.section(u'=', 1));
    const SqlText::Bound q = text.bound(SqlText::Marks::Question, true);
    const SqlText::Bound n = text.bound(SqlText::Marks::Numbered, true);
    QCOMPARE(q.text, question);
    QCOMPARE(n.text, numbered);
    QStringList got;
    for (const QVariant& v : q.values)
        got << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    QCOMPARE(got, values);
    QCOMPARE(n.values, q.values);
    // Without simplifying, the text is the positional one and every value is bound.
    const SqlText::Bound plain = text.bound(SqlText::Marks::Question, false);
    QCOMPARE(plain.text, text.positional());
    QCOMPARE(plain.values.size(), qsizetype(text.positional().count(u'?')));
}

void tst_sqltext::badDate()
{
    SqlText text(QStringLiteral("select * from t where Tarigi >= :ST"));
    text.setParam(QStringLiteral("ST"), QStringLiteral("32.13.2024"));
    QVERIFY_THROWS_EXCEPTION(DbError, text.bound(SqlText::Marks::Question, true));
}

QTEST_GUILESS_MAIN(tst_sqltext)
#include "tst_sqltext.moc"
