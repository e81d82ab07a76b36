#include "tests/support/testdb.h"
#include "data/tdm.h"
#include "data/dberror.h"

#include <QTest>

class tst_smoke : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void openAll()
    {
        TestDb db(TestDb::currentEngine());
        TDM dm;
        for (NamedQuery* q : dm.queries()) {
            for (const QString& p : q->paramNames())
                q->setParam(p, QStringLiteral("%"));
            try { q->open(); } catch (const DbError& e) { QFAIL(qPrintable(q->name() + ": " + e.text())); }
        }
        QCOMPARE(dm.setting->rowCount(), 1);
    }
};
QTEST_GUILESS_MAIN(tst_smoke)
#include "tst_smoke.moc"
