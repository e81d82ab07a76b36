#include "data/changefeed.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"

#include <QAtomicInt>
#include <QHash>
#include <QSocketNotifier>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <memory>

#include <libpq-fe.h>

// The feed's side on its own thread: the connection, its timers and the
// socket it waits on live and die there.
class ChangeFeedWorker : public QObject
{
    Q_OBJECT

public:
    ChangeFeedWorker(const DataLink& link, const ChangeFeed::Timing& timing)
        : m_link(link), m_timing(timing)
    {
        static QAtomicInt serial;
        m_name = QStringLiteral("kavshiri_feed_%1").arg(serial.fetchAndAddRelaxed(1));
    }

    void begin()
    {
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        m_retry->setInterval(m_timing.reconnect);
        connect(m_retry, &QTimer::timeout, this, &ChangeFeedWorker::connectLink);
        m_gather = new QTimer(this);
        m_gather->setSingleShot(true);
        m_gather->setInterval(m_timing.gather);
        connect(m_gather, &QTimer::timeout, this, &ChangeFeedWorker::report);
        m_poll = new QTimer(this);
        m_poll->setInterval(m_timing.poll);
        connect(m_poll, &QTimer::timeout, this, &ChangeFeedWorker::pollSqlite);
        connectLink();
    }

    void end()
    {
        dropLink();
        delete m_retry;
        delete m_gather;
        delete m_poll;
        m_retry = m_gather = m_poll = nullptr;
        if (QSqlDatabase::contains(m_name))
            QSqlDatabase::removeDatabase(m_name);
    }

Q_SIGNALS:
    void changed(ChangeFeed::Tables tables);
    void listening();
    void lost();

private:
    void connectLink()
    {
        try {
            m_db = Connection::openNamed(m_link, m_name);
            if (m_link.provider == DataLink::Provider::SQLite)
                startSqlite();
            else
                startPostgres();
        } catch (const DbError&) {
            dropLink();
            m_retry->start();
            return;
        }
        Q_EMIT listening();
        // While the link was down anything may have changed.
        if (m_everConnected)
            Q_EMIT changed(ChangeFeed::everything());
        m_everConnected = true;
    }

    void dropLink()
    {
        delete m_socket;
        m_socket = nullptr;
        if (m_poll)
            m_poll->stop();
        m_versionQuery.reset();
        m_recordQuery.reset();
        if (m_db.isValid())
            m_db.close();
        m_db = QSqlDatabase();
    }

    void lose()
    {
        dropLink();
        Q_EMIT lost();
        m_retry->start();
    }

    // ---- PostgreSQL

    PGconn* postgresHandle() const
    {
        const QVariant handle = m_db.driver() ? m_db.driver()->handle() : QVariant();
        if (!handle.isValid()
            || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
            return nullptr;
        return *static_cast<PGconn* const*>(handle.data());
    }

    void startPostgres()
    {
        QSqlQuery q(m_db);
        if (!q.exec(Schema::ChangeFeed::listenStatement()))
            throw DbError(q.lastError().text());
        PGconn* c = postgresHandle();
        if (!c || PQsocket(c) < 0)
            throw DbError(QStringLiteral("no link"));
        m_socket = new QSocketNotifier(PQsocket(c), QSocketNotifier::Read, this);
        connect(m_socket, &QSocketNotifier::activated, this, &ChangeFeedWorker::readNotifications);
        // Notifications that came with the answer to LISTEN.
        readNotifications();
    }

    void readNotifications()
    {
        PGconn* c = postgresHandle();
        if (!c || !PQconsumeInput(c) || PQstatus(c) != CONNECTION_OK) {
            lose();
            return;
        }
        while (PGnotify* n = PQnotifies(c)) {
            m_pending |= ChangeFeed::tableOf(QString::fromUtf8(n->extra));
            PQfreemem(n);
        }
        if (m_pending && !m_gather->isActive())
            m_gather->start();
    }

    void report()
    {
        const ChangeFeed::Tables tables = m_pending;
        m_pending = {};
        if (tables)
            Q_EMIT changed(tables);
    }

    // ---- SQLite

    void startSqlite()
    {
        m_versionQuery = std::make_unique<QSqlQuery>(m_db);
        m_recordQuery = std::make_unique<QSqlQuery>(m_db);
        if (!m_versionQuery->prepare(Schema::ChangeFeed::dataVersionQuery())
            || !m_recordQuery->prepare(Schema::ChangeFeed::recordQuery()))
            throw DbError(m_versionQuery->lastError().text());
        m_dataVersion = -1;
        m_versions.clear();
        readRecord(false);
        m_poll->start();
    }

    void pollSqlite()
    {
        if (!m_versionQuery->exec() || !m_versionQuery->next()) {
            lose();
            return;
        }
        const qint64 version = m_versionQuery->value(0).toLongLong();
        m_versionQuery->finish();
        if (version == m_dataVersion)
            return;
        m_dataVersion = version;
        readRecord(true);
    }

    // Reads the change record; with `report`, says which tables it counts
    // more writes for than last time.
    void readRecord(bool reportChanges)
    {
        if (m_dataVersion < 0) {
            if (m_versionQuery->exec() && m_versionQuery->next())
                m_dataVersion = m_versionQuery->value(0).toLongLong();
            m_versionQuery->finish();
        }
        if (!m_recordQuery->exec()) {
            // Busy or locked for a moment: the next round asks again.
            m_dataVersion = -1;
            return;
        }
        ChangeFeed::Tables tables;
        while (m_recordQuery->next()) {
            const QString table = m_recordQuery->value(0).toString();
            const qint64 v = m_recordQuery->value(1).toLongLong();
            const auto it = m_versions.find(table);
            if (it == m_versions.end() || it.value() != v)
                tables |= ChangeFeed::tableOf(table);
            m_versions.insert(table, v);
        }
        m_recordQuery->finish();
        if (reportChanges && tables)
            Q_EMIT changed(tables);
    }

    DataLink m_link;
    ChangeFeed::Timing m_timing;
    QString m_name;
    QSqlDatabase m_db;
    QTimer* m_retry = nullptr;
    QTimer* m_gather = nullptr;
    QTimer* m_poll = nullptr;
    QSocketNotifier* m_socket = nullptr;
    ChangeFeed::Tables m_pending;
    bool m_everConnected = false;
    std::unique_ptr<QSqlQuery> m_versionQuery;
    std::unique_ptr<QSqlQuery> m_recordQuery;
    qint64 m_dataVersion = -1;
    QHash<QString, qint64> m_versions;
};

ChangeFeed::Tables ChangeFeed::tableOf(const QString& name)
{
    const QStringList& names = Schema::ChangeFeed::followedTables();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return Tables(1 << i);
    return {};
}

ChangeFeed::ChangeFeed(QObject* parent)
    : QObject(parent)
{
    static const int registered = qRegisterMetaType<ChangeFeed::Tables>();
    Q_UNUSED(registered);
}

ChangeFeed::~ChangeFeed()
{
    stop();
}

void ChangeFeed::start(const DataLink& link, const Timing& timing)
{
    stop();
    m_thread = new QThread();
    m_thread->setObjectName(QStringLiteral("ChangeFeed"));
    m_worker = new ChangeFeedWorker(link, timing);
    m_worker->moveToThread(m_thread);
    connect(m_worker, &ChangeFeedWorker::changed, this, &ChangeFeed::changed, Qt::QueuedConnection);
    connect(
        m_worker, &ChangeFeedWorker::listening, this, [this] {
            m_listening = true;
            Q_EMIT listening();
        },
        Qt::QueuedConnection);
    connect(
        m_worker, &ChangeFeedWorker::lost, this, [this] {
            m_listening = false;
            Q_EMIT lost();
        },
        Qt::QueuedConnection);
    connect(m_thread, &QThread::started, m_worker, &ChangeFeedWorker::begin);
    m_thread->start();
}

void ChangeFeed::stop()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_worker, &ChangeFeedWorker::end, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
    m_worker = nullptr;
    m_thread = nullptr;
    m_listening = false;
}

#include "changefeed.moc"
