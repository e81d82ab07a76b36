#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "tests/data/sampledata.h"
#include "tests/support/testdb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QElapsedTimer>
#include <QTest>
#include <future>
#include <thread>

// Writes that stand or fall together, and the locks that keep a second
// station from writing in between.
class tst_transaction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void cleanupTestCase() { m_sample.reset(); }

    void endings_data();
    void endings();
    void oneAtATime();
    void holdsTheWriteLock();
    void waitsForAnotherWriter_data();
    void waitsForAnotherWriter();
    void unknownNamesRefused();

private:
    SampleData::Shared m_sample;
};

namespace {

qint64 count(QSqlDatabase db, const QString& sql)
{
    return TestDb::scalar(db, sql).toLongLong();
}

// A station that gives up at once instead of waiting for a lock.
QSqlDatabase impatientStation(const TestDb& db)
{
    const QString name = QStringLiteral("station_impatient");
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    QSqlDatabase s;
    if (db.engine() == Engine::SQLite) {
        s = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        s.setDatabaseName(db.link().dataSource);
        s.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
    } else {
        s = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        s.setHostName(db.link().host);
        s.setPort(db.link().port);
        s.setDatabaseName(db.link().database);
        s.setUserName(db.link().user);
    }
    if (!s.open())
        qFatal("station: %s", qPrintable(s.lastError().text()));
    if (db.engine() == Engine::PostgreSQL)
        TestDb::exec(s, QStringLiteral("set lock_timeout = '50ms'"));
    return s;
}

}  // namespace

void tst_transaction::endings_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("kept");

    QTest::newRow("commit") << "commit" << true;
    QTest::newRow("rollback") << "rollback" << false;
    QTest::newRow("left without commit") << "none" << false;
    QTest::newRow("error before commit") << "error" << false;
}

// Both a statement and a posted row stand or fall with the transaction.
void tst_transaction::endings()
{
    QFETCH(QString, ending);
    QFETCH(bool, kept);
    const TestDb& db = m_sample.use();
    QSqlDatabase b = SampleData::station(db, QStringLiteral("station_check"));
    TestDb::exec(b, QStringLiteral("delete from OFICIANTI where Oficianti = 'ტრანზაქცია'"));
    TestDb::exec(b, QStringLiteral("update kerdzebi set raodenoba = 10 where ID = 1"));
    TDM dm;
    dm.oficianti->open();
    try {
        Transaction t;
        QVERIFY(t.isActive());
        QVERIFY(Transaction::inTransaction());
        QSqlQuery q(Connection::database());
        QVERIFY(q.prepare(QStringLiteral("update kerdzebi set raodenoba = raodenoba - ? where ID = 1")));
        q.addBindValue(3);
        QVERIFY(q.exec());
        dm.oficianti->insert();
        dm.oficianti->setField(QStringLiteral("Oficianti"), QStringLiteral("ტრანზაქცია"));
        dm.oficianti->post();
        if (ending == QLatin1String("commit"))
            t.commit();
        else if (ending == QLatin1String("rollback"))
            t.rollback();
        else if (ending == QLatin1String("error"))
            throw DbError(QStringLiteral("შეცდომა"));
        QVERIFY(!t.isActive() || ending == QLatin1String("none"));
    } catch (const DbError&) {
        QCOMPARE(ending, QStringLiteral("error"));
    }
    QVERIFY(!Transaction::inTransaction());
    QCOMPARE(count(b, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ტრანზაქცია'")), kept ? 1 : 0);
    QCOMPARE(TestDb::scalar(b, QStringLiteral("select raodenoba from kerdzebi where ID = 1")).toDouble(), kept ? 7.0 : 10.0);

    // The connection goes on working outside a transaction.
    QSqlQuery after(Connection::database());
    QVERIFY(after.exec(QStringLiteral("update kerdzebi set raodenoba = 10 where ID = 1")));
    QCOMPARE(TestDb::scalar(b, QStringLiteral("select raodenoba from kerdzebi where ID = 1")).toDouble(), 10.0);
}

void tst_transaction::oneAtATime()
{
    m_sample.use();
    Transaction t;
    QVERIFY_THROWS_EXCEPTION(DbError, Transaction{});
    QVERIFY(t.isActive());
    t.commit();
    Transaction again;
    QVERIFY(again.isActive());
}

// From its start, the transaction keeps a second station from writing what it
// reads: SQLite takes the database's write lock at once (BEGIN IMMEDIATE);
// PostgreSQL locks the rows read with lockRow.
void tst_transaction::holdsTheWriteLock()
{
    const TestDb& db = m_sample.use();
    QSqlDatabase other = impatientStation(db);
    {
        Transaction t;
        t.lockRow(QStringLiteral("Parametres"), 1);
        QSqlQuery read(Connection::database());
        QVERIFY(read.exec(QStringLiteral("select inctb from Parametres where ID = 1")));
        QVERIFY(read.next());

        QSqlQuery write(other);
        QVERIFY2(!write.exec(QStringLiteral("update Parametres set inctb = inctb + 1 where ID = 1")),
                 "a second station wrote while the transaction held the row");
        if (db.engine() == Engine::SQLite) {
            // Not even a transaction of its own can begin.
            QSqlQuery begin(other);
            QVERIFY(!begin.exec(QStringLiteral("begin immediate")));
        }
        // Reading is not blocked.
        QCOMPARE(count(other, QStringLiteral("select count(*) from Parametres")), 1);
    }
    // Once it ends the other station writes.
    QSqlQuery write(other);
    QVERIFY2(write.exec(QStringLiteral("update Parametres set inctb = inctb + 1 where ID = 1")),
             qPrintable(write.lastError().text()));
    TestDb::exec(other, QStringLiteral("update Parametres set inctb = 0 where ID = 1"));
    other.close();
}

void tst_transaction::waitsForAnotherWriter_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("posted row") << "post";
    QTest::newRow("inserted row") << "insert";
    QTest::newRow("deleted row") << "delete";
    QTest::newRow("statement") << "statement";
    QTest::newRow("transaction reading then writing") << "transaction";
}

// Another station holds the write lock for a moment: every write of the data
// layer, and every transaction that reads before it writes, waits for it and
// then goes through.
void tst_transaction::waitsForAnotherWriter()
{
    QFETCH(QString, action);
    const TestDb& db = m_sample.use();
    TDM dm;
    dm.oficianti->open();
    dm.oficianti->insert();
    dm.oficianti->setField(QStringLiteral("Oficianti"), QStringLiteral("მოლოდინი"));
    dm.oficianti->post();

    static constexpr int HoldMs = 700;
    std::promise<void> held;
    std::thread other([&db, &held] {
        const QString name = QStringLiteral("station_holder");
        {
            QSqlDatabase s = db.openStation(name);
            TestDb::exec(s, db.engine() == Engine::SQLite ? QStringLiteral("begin immediate") : QStringLiteral("begin"));
            TestDb::exec(s, QStringLiteral("update OFICIANTI set mdgomareoba = mdgomareoba where Oficianti = 'ანა'"));
            TestDb::exec(s, QStringLiteral("update Shekvetebi set povari = povari where USERNUM = 7"));
            held.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(HoldMs));
            TestDb::exec(s, QStringLiteral("commit"));
            s.close();
        }
        QSqlDatabase::removeDatabase(name);
    });
    held.get_future().wait();
    QElapsedTimer timer;
    timer.start();
    QString error;
    try {
        NamedQuery* q = dm.oficianti;
        q->reopen();
        q->last();
        if (action == QLatin1String("post")) {
            q->edit();
            q->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
            q->post();
        } else if (action == QLatin1String("insert")) {
            q->insert();
            q->setField(QStringLiteral("Oficianti"), QStringLiteral("ახალი"));
            q->post();
        } else if (action == QLatin1String("delete")) {
            q->remove();
        } else if (action == QLatin1String("statement")) {
            dm.shekvetebis_gasuftaveba->setParam(QStringLiteral("MOM"), QStringLiteral("10"));
            dm.shekvetebis_gasuftaveba->setParam(QStringLiteral("user"), QStringLiteral("7"));
            dm.shekvetebis_gasuftaveba->execute();
        } else {
            Transaction t;
            q->reopen();
            q->last();
            q->edit();
            q->setField(QStringLiteral("mdgomareoba"), QStringLiteral("პასიური"));
            q->post();
            t.commit();
        }
    } catch (const DbError& e) {
        error = e.text();
    }
    const qint64 waited = timer.elapsed();
    other.join();
    QCOMPARE(error, QString());
    // SQLite has one write lock for the whole database: the write waited for it.
    if (db.engine() == Engine::SQLite)
        QVERIFY2(waited >= HoldMs / 2, qPrintable(QString::number(waited)));
}

void tst_transaction::unknownNamesRefused()
{
    m_sample.use();
    Transaction t;
    QVERIFY_THROWS_EXCEPTION(DbError, t.lockRow(QStringLiteral("Parametres; drop table kerdzebi"), 1));
    QVERIFY_THROWS_EXCEPTION(DbError, t.lockWhere(QStringLiteral("Shekvetebi"), QStringLiteral("nosuch"), 1));
    t.lockWhere(QStringLiteral("Shekvetebi"), QStringLiteral("USERNUM"), 7);
    t.rollback();
}

QTEST_GUILESS_MAIN(tst_transaction)
#include "tst_transaction.moc"
