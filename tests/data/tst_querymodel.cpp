#include "data/datasource.h"
#include "data/formats.h"
#include "data/querymodel.h"
#include "data/datamodule.h"
#include "tests/data/sampledata.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

// A grid's model over a query, checked by Qt's model tester through the whole
// life of the query, and the data source's switch that holds back the signals
// during a long walk through the rows.
class tst_querymodel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void cleanupTestCase() { m_sample.reset(); }
    void cleanup() { TestSupport::resetGlobals(); }

    void followsTheQuery();
    void disabledControls();
    void dataChangeOfTheSource();

private:
    SampleData::Shared m_sample;
};

namespace {

QVector<QueryModel::Column> waiterColumns()
{
    return {{QStringLiteral("Oficianti"), QStringLiteral("ოფიციანტი")},
            {QStringLiteral("mdgomareoba"), QStringLiteral("მდგომარეობა")},
            {QString(), QString()}};
}

QStringList names(const QueryModel& model)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.data(model.index(r, 0)).toString();
    return out;
}

void addWaiter(NamedQuery* q, const QString& name)
{
    q->insert();
    q->setField(QStringLiteral("Oficianti"), name);
    q->setField(QStringLiteral("mdgomareoba"), QStringLiteral("აქტიური"));
    q->post();
}

}  // namespace

void tst_querymodel::followsTheQuery()
{
    TestDb db(TestDb::currentEngine());
    TDM dm;
    QueryModel model(dm.oficianti_s, waiterColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ოფიციანტი"));

    dm.oficianti->open();
    QCOMPARE(model.rowCount(), 0);
    for (const char* name : {"ანა", "ბექა", "გიორგი", "დავითი", "ეკა"})
        addWaiter(dm.oficianti, QString::fromUtf8(name));
    QCOMPARE(inserted.count(), 5);
    QCOMPARE(names(model), (QStringList{"ანა", "ბექა", "გიორგი", "დავითი", "ეკა"}));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("აქტიური"));
    QVERIFY(!model.data(model.index(0, 2)).isValid());  // the column the grid draws itself
    QCOMPARE(model.data(model.index(0, 0), Qt::UserRole).toString(), QStringLiteral("ანა"));

    // An edit shows while it is typed, and after the post.
    dm.oficianti->moveTo(1);
    const int changesBefore = int(changed.count());
    dm.oficianti->edit();
    dm.oficianti->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("პასიური"));
    dm.oficianti->post();
    QVERIFY(changed.count() > changesBefore);
    QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 1);

    // Rows removed from the middle, the end and the start.
    dm.oficianti->moveTo(2);
    dm.oficianti->remove();
    QCOMPARE(names(model), (QStringList{"ანა", "ბექა", "დავითი", "ეკა"}));
    dm.oficianti->last();
    dm.oficianti->remove();
    dm.oficianti->first();
    dm.oficianti->remove();
    QCOMPARE(removed.count(), 3);
    QCOMPARE(names(model), (QStringList{"ბექა", "დავითი"}));

    // An insert cancelled, and one left untouched.
    dm.oficianti->insert();
    QCOMPARE(model.rowCount(), 3);
    dm.oficianti->cancel();
    QCOMPARE(model.rowCount(), 2);
    dm.oficianti->insert();
    dm.oficianti->first();
    QCOMPARE(names(model), (QStringList{"ბექა", "დავითი"}));

    // Read again (in the engine's order), closed, opened.
    dm.oficianti->refresh();
    QStringList reread = names(model);
    reread.sort();
    QCOMPARE(reread, (QStringList{"ბექა", "დავითი"}));
    dm.oficianti->close();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.data(model.index(0, 0)).isValid());
    dm.oficianti->open();
    QCOMPARE(model.rowCount(), 2);
}

void tst_querymodel::disabledControls()
{
    TestDb db(TestDb::currentEngine());
    TDM dm;
    QueryModel model(dm.oficianti_s, waiterColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    dm.oficianti->open();
    addWaiter(dm.oficianti, QStringLiteral("ანა"));

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy current(dm.oficianti_s, &DataSource::currentChanged);

    dm.oficianti_s->disableControls();
    dm.oficianti_s->disableControls();  // nested, as a walk inside a walk
    QVERIFY(dm.oficianti_s->controlsDisabled());
    for (const char* name : {"ბექა", "გიორგი", "დავითი"})
        addWaiter(dm.oficianti, QString::fromUtf8(name));
    for (dm.oficianti->first(); !dm.oficianti->eof(); dm.oficianti->next()) {
        dm.oficianti->edit();
        dm.oficianti->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
        dm.oficianti->post();
    }
    dm.oficianti->first();
    dm.oficianti->remove();
    dm.oficianti->close();
    dm.oficianti->open();
    QCOMPARE(reset.count() + inserted.count() + removed.count() + changed.count() + current.count(), 0);

    dm.oficianti_s->enableControls();
    QVERIFY(dm.oficianti_s->controlsDisabled());
    QCOMPARE(reset.count(), 0);
    dm.oficianti_s->enableControls();
    QVERIFY(!dm.oficianti_s->controlsDisabled());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(current.count(), 1);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(names(model), (QStringList{"ბექა", "გიორგი", "დავითი"}));
    QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("პასიური"));

    // An extra enable changes nothing.
    dm.oficianti_s->enableControls();
    QCOMPARE(reset.count(), 1);
    QVERIFY(!dm.oficianti_s->controlsDisabled());
}

void tst_querymodel::dataChangeOfTheSource()
{
    m_sample.use();
    TDM dm;
    QSignalSpy dataChange(dm.kerdzebi_s, &DataSource::dataChange);
    dm.kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("%"));
    dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    dm.kerdzebi->open();
    QVERIFY(dataChange.count() > 0);

    struct Step
    {
        const char* name;
        std::function<void()> run;
        bool notifies;
    };
    const Step steps[] = {
        {"current row moved", [&] { dm.kerdzebi->next(); }, true},
        {"field changed", [&] { dm.kerdzebi->edit(); dm.kerdzebi->setField(QStringLiteral("prioriteti"), 5); }, true},
        {"edit cancelled", [&] { dm.kerdzebi->cancel(); }, true},
        {"same row again", [&] { dm.kerdzebi->moveTo(dm.kerdzebi->recNo()); }, false},
        {"read again", [&] { dm.kerdzebi->refresh(); }, true},
        {"closed", [&] { dm.kerdzebi->close(); }, false},
    };
    for (const Step& step : steps) {
        dataChange.clear();
        step.run();
        QVERIFY2((dataChange.count() > 0) == step.notifies, step.name);
    }
}

QTEST_MAIN(tst_querymodel)
#include "tst_querymodel.moc"
