#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "data/linkwatchdog.h"
#include "data/namedquery.h"
#include "data/setup.h"
#include "data/transaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QSqlQuery>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

// A PostgreSQL server that restarts, stops or freezes under a station. The
// test runs a server cluster of its own, since tests beside it share the
// script's server and must not see it go away.
class tst_serverloss : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void restartedServer_data();
    void restartedServer();
    void stoppedServer_data();
    void stoppedServer();
    void frozenServer();
    void longQueryOnLiveServer();
    void actionGivesUpAfterALostLink();
};

namespace {

// A cluster in a temporary folder on a free port of 127.0.0.1, run as the
// postgres user when the test runs as root (the server refuses root).
class PrivateCluster
{
public:
    bool create()
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (versions.isEmpty() || !m_dir.isValid())
            return false;
        QStringList sorted = versions;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(sorted.last());
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        m_port = freePort();
        m_user = ::getuid() == 0 ? QStringLiteral("postgres") : qEnvironmentVariable("USER", QStringLiteral("postgres"));
        if (::getuid() == 0 && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), m_dir.path()}) != 0)
            return false;
        return pg(QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"), m_user, QStringLiteral("--auth=trust"),
                                             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")})
               && start();
    }

    bool start()
    {
        return pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                                             QStringLiteral("-o"),
                                             QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -c fsync=off").arg(m_port).arg(m_dir.path()),
                                             QStringLiteral("start")});
    }
    bool restart()
    {
        return pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("restart")});
    }
    bool stop(const QString& mode = QStringLiteral("fast"))
    {
        return pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-m"), mode, QStringLiteral("stop")});
    }

    // Every process of the server, the postmaster first.
    QList<pid_t> processes() const
    {
        QFile pidFile(QDir(data()).filePath(QStringLiteral("postmaster.pid")));
        if (!pidFile.open(QIODevice::ReadOnly))
            return {};
        const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toInt());
        QList<pid_t> pids{postmaster};
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // pid (name) state ppid ...: the name may hold spaces, so read after the ')'.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1 && rest[1].toInt() == postmaster)
                pids << pid_t(entry.toInt());
        }
        return pids;
    }
    // As a machine that hangs: every process stopped, the kernel still
    // acknowledging the link.
    void freeze()
    {
        m_frozen = processes();
        for (pid_t p : m_frozen)
            ::kill(p, SIGSTOP);
    }
    void thaw()
    {
        for (auto it = m_frozen.crbegin(); it != m_frozen.crend(); ++it)
            ::kill(*it, SIGCONT);
        m_frozen.clear();
    }

    DataLink link() const
    {
        DataLink l;
        l.provider = DataLink::Provider::PostgreSQL;
        l.host = QStringLiteral("127.0.0.1");
        l.port = m_port;
        l.database = QStringLiteral("postgres");
        l.user = m_user;
        return l;
    }
    QString folder() const { return m_dir.path(); }

    ~PrivateCluster()
    {
        thaw();
        if (!m_bin.isEmpty())
            stop(QStringLiteral("immediate"));
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }

    bool pg(const QString& program, const QStringList& args)
    {
        QProcess p;
        if (::getuid() == 0)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), m_bin + program} + args);
        else
            p.start(m_bin + program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning("%s: %s%s", qPrintable(program), p.readAllStandardOutput().constData(), p.readAllStandardError().constData());
            return false;
        }
        return true;
    }

    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
        ::close(fd);
        return ntohs(a.sin_port);
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_user;
    int m_port = 0;
    QList<pid_t> m_frozen;
};

PrivateCluster* g_cluster = nullptr;

NamedQuery* settingsQuery(QObject* parent)
{
    return new NamedQuery(QStringLiteral("Parametres"), QStringLiteral("select ID, Tables from Parametres"),
                          QStringLiteral("Parametres"), parent);
}

// Runs `action`; returns the text of the DbError it threw, or empty.
template <typename F>
QString errorOf(F action)
{
    try {
        action();
    } catch (const DbError& e) {
        return e.text();
    }
    return QString();
}

}  // namespace

void tst_serverloss::initTestCase()
{
    g_cluster = new PrivateCluster;
    QVERIFY2(g_cluster->create(), "the private PostgreSQL cluster did not start");
    {
        QSqlDatabase db = Connection::openNamed(g_cluster->link(), QStringLiteral("serverloss_setup"));
        Setup::initialize(db, {});
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("serverloss_setup"));
    QFile udl(QDir(g_cluster->folder()).filePath(QStringLiteral("test.udl")));
    QVERIFY(udl.open(QIODevice::WriteOnly));
    udl.write(g_cluster->link().toText().toUtf8());
    udl.close();
    Connection::setDataLinkPath(udl.fileName());
}

void tst_serverloss::cleanupTestCase()
{
    Connection::close();
    Connection::setDataLinkPath(QString());
    delete g_cluster;
    g_cluster = nullptr;
}

void tst_serverloss::init()
{
    LinkWatchdog::setTimes({});
}

void tst_serverloss::cleanup()
{
    g_cluster->thaw();
    LinkWatchdog::setTimes({});
}

void tst_serverloss::restartedServer_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("done");

    QTest::newRow("read") << "read" << true;
    QTest::newRow("write") << "write" << true;
    QTest::newRow("transaction begun after the restart") << "transaction" << true;
    QTest::newRow("write in a transaction begun before") << "write in transaction" << false;
}

// The server's "terminating connection" goodbye is never what the user sees:
// the link is opened again, except under a transaction that it broke.
void tst_serverloss::restartedServer()
{
    QFETCH(QString, action);
    QFETCH(bool, done);

    QObject owner;
    NamedQuery* q = settingsQuery(&owner);
    q->reopen();
    const qint64 tables = q->asInteger(QStringLiteral("Tables"));
    const qint64 wanted = tables + 1;
    auto write = [&] {
        q->edit();
        q->setField(QStringLiteral("Tables"), wanted);
        q->post();
    };

    QString error;
    if (action == QLatin1String("write in transaction")) {
        Transaction tx;
        q->reopen();
        QVERIFY(g_cluster->restart());
        error = errorOf([&] {
            write();
            tx.commit();
        });
    } else {
        QVERIFY(g_cluster->restart());
        error = errorOf([&] {
            if (action == QLatin1String("read")) {
                q->reopen();
            } else if (action == QLatin1String("write")) {
                write();
            } else {
                Transaction tx;
                q->reopen();
                write();
                tx.commit();
            }
        });
    }
    QCOMPARE(error, done ? QString() : DbError::linkLostText());

    // And the station works on.
    QCOMPARE(errorOf([&] { q->reopen(); }), QString());
    QCOMPARE(q->rowCount(), 1);
    if (action != QLatin1String("read"))
        QCOMPARE(q->asInteger(QStringLiteral("Tables")), done ? wanted : tables);
}

void tst_serverloss::stoppedServer_data()
{
    QTest::addColumn<bool>("writing");
    QTest::newRow("read") << false;
    QTest::newRow("write") << true;
}

void tst_serverloss::stoppedServer()
{
    QFETCH(bool, writing);

    QObject owner;
    NamedQuery* q = settingsQuery(&owner);
    q->reopen();
    QVERIFY(g_cluster->stop());
    QElapsedTimer timer;
    timer.start();
    const QString error = errorOf([&] {
        if (writing) {
            q->edit();
            q->setField(QStringLiteral("Tables"), 30);
            q->post();
        } else {
            q->reopen();
        }
    });
    QCOMPARE(error, DbError::linkLostText());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    QVERIFY(g_cluster->start());
    QCOMPARE(errorOf([&] { q->reopen(); }), QString());
    QCOMPARE(q->rowCount(), 1);
}

// A server that stopped answering while its kernel still acknowledges the
// link: the statement is cut by the watchdog, and once the server is back the
// station works again.
void tst_serverloss::frozenServer()
{
    QObject owner;
    NamedQuery* q = settingsQuery(&owner);
    q->reopen();
    g_cluster->freeze();
    QElapsedTimer timer;
    timer.start();
    const QString error = errorOf([&] { q->reopen(); });
    const qint64 waited = timer.elapsed();
    g_cluster->thaw();
    QCOMPARE(error, DbError::linkLostText());
    const LinkWatchdog::Times t = LinkWatchdog::times();
    QVERIFY2(waited >= t.stall.count() && waited < 25000, qPrintable(QString::number(waited)));

    QCOMPARE(errorOf([&] { q->reopen(); }), QString());
    QCOMPARE(q->rowCount(), 1);
}

// A report that runs long on a server that answers is not cut.
void tst_serverloss::longQueryOnLiveServer()
{
    LinkWatchdog::setTimes({std::chrono::milliseconds(300), std::chrono::milliseconds(1000)});
    QObject owner;
    NamedQuery q(QStringLiteral("long"), QStringLiteral("select 1 as done from (select pg_sleep(2)) s"), QString(), &owner);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(errorOf([&] { q.open(); }), QString());
    QVERIFY(timer.elapsed() >= 2000);
    QCOMPARE(q.asInteger(QStringLiteral("done")), 1);
}

namespace {

// Sends SIGCONT to a process after `after`, unless told to stand down first:
// a test whose mend is missing ends instead of waiting for ever.
class Resumer
{
public:
    Resumer(pid_t pid, std::chrono::milliseconds after)
        : m_thread([this, pid, after] {
              std::unique_lock lock(m_mutex);
              m_wake.wait_for(lock, after, [this] { return m_done; });
              ::kill(pid, SIGCONT);
          })
    {
    }
    ~Resumer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

}  // namespace

// Within one action (a click and the handlers it sets off), once a step lost
// the link the later steps give up at once instead of each waiting for the
// server again; the next action tries afresh.
void tst_serverloss::actionGivesUpAfterALostLink()
{
    QObject owner;
    NamedQuery* first = settingsQuery(&owner);
    NamedQuery* second = settingsQuery(&owner);
    first->reopen();
    g_cluster->freeze();
    QString firstError;
    QString secondError;
    qint64 secondTook = 0;
    QElapsedTimer whole;
    whole.start();
    {
        const Connection::Action action;
        firstError = errorOf([&] { first->reopen(); });
        QElapsedTimer timer;
        timer.start();
        secondError = errorOf([&] { second->reopen(); });
        secondTook = timer.elapsed();
    }
    const qint64 waited = whole.elapsed();
    g_cluster->thaw();
    QCOMPARE(firstError, DbError::linkLostText());
    QCOMPARE(secondError, DbError::linkLostText());
    QVERIFY2(secondTook < 1000, qPrintable(QString::number(secondTook)));
    QVERIFY2(waited < 16000, qPrintable(QString::number(waited)));

    QCOMPARE(errorOf([&] { const Connection::Action next; second->reopen(); }), QString());
    QCOMPARE(second->rowCount(), 1);
}

QTEST_GUILESS_MAIN(tst_serverloss)
#include "tst_serverloss.moc"
