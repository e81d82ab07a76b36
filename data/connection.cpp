#include "data/connection.h"
#include "data/dberror.h"
#include "data/likepattern.h"
#include "data/linkwatchdog.h"
#include "data/schema.h"
#include "data/setup.h"
#include "data/sqliterowreader.h"
#include "data/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace {
QString g_dataLinkPath;
int g_actionDepth = 0;
bool g_actionLostLink = false;  // a step of the running action lost the link
bool g_actionToldLoss = false;  // and the user was told so

// The link was lost in this step: the rest of the action gives up at once.
DbError lostLink(const QString& text)
{
    if (g_actionDepth > 0)
        g_actionLostLink = true;
    return DbError(text);
}
// The connection kavshiri has been open since the last close().
bool g_wasOpen = false;
constexpr int BusyTimeoutMs = 15000;

// A dead network ends a PostgreSQL link within about 15 s: the server must
// answer the connection within 10 s; an idle link is probed after 5 s, every
// 2 s, and given up after 3 unanswered probes; data sent and not acknowledged
// for 10 s breaks it. A server whose kernel still acknowledges (a stopped or
// hung server) is left to the watchdog.
const QString PostgresOptions = QStringLiteral(
    "connect_timeout=10;keepalives=1;keepalives_idle=5;keepalives_interval=2;keepalives_count=3;"
    "tcp_user_timeout=10000");

// A server on this machine: the link never leaves it.
bool isLoopback(const QString& host)
{
    if (host.startsWith(u'/') || host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, text.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

// A libpq value in a connection string: quoted, its quotes and backslashes escaped.
QString conninfoValue(QString value)
{
    value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return QStringLiteral("'%1'").arg(value);
}

// libpq's handle of a PostgreSQL connection, in whatever state it is (Qt's
// driver calls a broken link closed, but keeps its handle until it is closed).
PGconn* postgresHandle(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.data());
}

// Whether an idle link has been given up by the server. Between statements
// the server only speaks to say goodbye: a restart or a shutdown sends its
// FATAL error and closes. Found here, the link is opened again before anything
// is sent, so the next action does not meet the old link's last words.
bool idleLinkLost(const QSqlDatabase& db)
{
    PGconn* c = postgresHandle(db);
    if (!c)
        return false;
    if (PQstatus(c) != CONNECTION_OK)
        return true;
    const int fd = PQsocket(c);
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return true;
    char first = 0;
    const ssize_t n = ::recv(fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return true;
    if (n < 0)
        return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    // An encrypted link cannot be read here; opening it again costs little.
    if (PQsslInUse(c))
        return true;
    return first == 'E';
}

// An SQLite database file begins with these 16 bytes.
bool isSqliteFile(const QString& path, bool* empty)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(16);
    *empty = head.isEmpty();
    return head == QByteArray("SQLite format 3\0", 16);
}

// The SQLite files this process has opened. Reading such a file by other
// means than SQLite's own would end the process's locks on it (POSIX locks
// belong to the process and go with the first close of any descriptor of the
// file): another program closing its last connection would then take the
// database for unused and delete the write-ahead log under this one.
QSet<QString>& openedFiles()
{
    static QSet<QString> files;
    return files;
}
QMutex g_openedFilesLock;

bool openedHere(const QString& path)
{
    const QMutexLocker lock(&g_openedFilesLock);
    return openedFiles().contains(QFileInfo(path).absoluteFilePath());
}

void markOpenedHere(const QString& path)
{
    const QMutexLocker lock(&g_openedFilesLock);
    openedFiles().insert(QFileInfo(path).absoluteFilePath());
}

// The tables of the schema the database lacks (read from the catalogue of
// the database; nothing is written).
QStringList missingTables(const QSqlDatabase& db)
{
    QStringList present = db.tables();
    for (QString& t : present)
        t = t.toLower();
    QStringList missing;
    for (const Schema::Table& t : Schema::tables())
        if (!present.contains(QString::fromLatin1(t.name).toLower()))
            missing << QString::fromLatin1(t.name);
    return missing;
}

// How long a PostgreSQL session may stand still holding locks. A station that
// stops inside a transaction (its network dropped mid-write, its machine hung)
// has the server end that transaction after 15 s, so its row locks go; a
// statement that waits for a lock gives up after 10 s, so the waiting station
// tells its user instead of hanging.
void limitSession(QSqlQuery& q)
{
    q.exec(QStringLiteral("set idle_in_transaction_session_timeout = 15000"));
    q.exec(QStringLiteral("set lock_timeout = 10000"));
}

void prepareSession(QSqlDatabase& db, DataLink::Provider provider)
{
    QSqlQuery q(db);
    if (provider == DataLink::Provider::SQLite) {
        // WAL lets readers on other copies go on while one writes.
        if (!q.exec(QStringLiteral("pragma journal_mode=wal")))
            throw DbError::fromQuery(q);
        q.exec(QStringLiteral("pragma foreign_keys=off"));
        // A typed header matches only itself: the escape PostgreSQL's `like` knows.
        if (!LikePattern::installSqliteLike(SqliteRowReader::handle(db)))
            throw DbError(QStringLiteral("SQLite-ის like ფუნქცია ვერ დაყენდა"));
    } else {
        q.exec(QStringLiteral("set client_min_messages = warning"));
        limitSession(q);
    }
}
}  // namespace

void Connection::setDataLinkPath(const QString& path)
{
    close();
    g_dataLinkPath = path;
}

QString Connection::dataLinkPath()
{
    if (!g_dataLinkPath.isEmpty())
        return g_dataLinkPath;
    return QDir::current().absoluteFilePath(QString::fromLatin1(DataLink::FileName));
}

Engine Connection::engineOf(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

QSqlDatabase Connection::openNamed(const DataLink& link, const QString& connectionName, bool requireSchema)
{
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    QSqlDatabase db;
    if (link.provider == DataLink::Provider::SQLite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(link.dataSource);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        QStringList hosts;
        for (const DataLink::Server& s : link.servers())
            hosts << s.host;
        db.setHostName(hosts.join(u','));
        db.setDatabaseName(link.database);
        db.setUserName(link.user);
        db.setPassword(link.password);
        // The ports go with the options, one per server.
        db.setConnectOptions(postgresOptions(link));
    }
    if (!db.isValid())
        throw DbError(QStringLiteral("მონაცემთა ბაზის დრაივერი ვერ ჩაიტვირთა: %1").arg(db.driverName()));
    if (link.provider == DataLink::Provider::SQLite && !QFileInfo::exists(link.dataSource)) {
        // Opening a missing SQLite file would quietly create an empty database.
        throw DbError(QStringLiteral("მონაცემთა ბაზის ფაილი ვერ მოიძებნა: %1")
                          .arg(QDir::toNativeSeparators(link.dataSource)));
    }
    const bool sqlite = link.provider == DataLink::Provider::SQLite;
    const QString where = sqlite ? QDir::toNativeSeparators(link.dataSource) : link.database;
    if (requireSchema && sqlite && !openedHere(link.dataSource)) {
        // Even opening it would do: SQLite would take an empty file for a new
        // database, and setting up the connection writes into it.
        bool empty = false;
        if (!isSqliteFile(link.dataSource, &empty))
            throw DbError((empty ? QStringLiteral("მონაცემთა ბაზის ფაილი ცარიელია: %1")
                                 : QStringLiteral("ფაილი არ არის მონაცემთა ბაზა: %1"))
                              .arg(where));
    }
    if (!db.open()) {
        const QString text = db.lastError().text();
        throw DbError(QStringLiteral("მონაცემთა ბაზასთან დაკავშირება ვერ მოხერხდა: %1").arg(text));
    }
    if (requireSchema && sqlite) {
        // An unreadable file, a full disk or a folder that refuses the -wal file
        // makes the table list come back empty: that is told as what it is, not
        // as tables missing.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError e = probe.lastError();
            const QString fault = DbError::storageFaultText(e.nativeErrorCode().toInt(), QString(), e.text());
            db.close();
            throw DbError((fault.isEmpty() ? e.text() : fault) + QStringLiteral(": ") + where);
        }
    }
    if (sqlite)
        markOpenedHere(link.dataSource);
    if (requireSchema) {
        const QStringList missing = missingTables(db);
        if (!missing.isEmpty()) {
            db.close();
            throw DbError(QStringLiteral("მონაცემთა ბაზაში არ არის ამ პროგრამის ცხრილები (%1): %2")
                              .arg(missing.join(QStringLiteral(", ")), where));
        }
    }
    prepareSession(db, link.provider);
    return db;
}

QString Connection::postgresOptions(const DataLink& link)
{
    QStringList ports;
    bool loopback = true;
    for (const DataLink::Server& s : link.servers()) {
        ports << QString::number(s.port);
        loopback = loopback && isLoopback(s.host);
    }
    QString options = PostgresOptions + QStringLiteral(";port=%1").arg(ports.join(u','));
    // Of a primary and its standby, the one that takes writes now: after a
    // promotion the next connection finds the new primary by itself.
    if (link.target == DataLink::Target::Primary)
        options += QStringLiteral(";target_session_attrs=read-write");
    // The password and every sale cross the restaurant's network only encrypted;
    // a link on this machine stays as libpq makes it.
    const QString ssl = !link.sslMode.isEmpty() ? link.sslMode : loopback ? QString()
                                                                          : QStringLiteral("require");
    if (!ssl.isEmpty())
        options += QStringLiteral(";sslmode=%1").arg(ssl);
    return options;
}

QByteArray Connection::postgresConnInfo(const DataLink& link)
{
    QStringList hosts;
    for (const DataLink::Server& s : link.servers())
        hosts << s.host;
    QStringList parts{QStringLiteral("host=") + conninfoValue(hosts.join(u',')),
                      QStringLiteral("dbname=") + conninfoValue(link.database)};
    if (!link.user.isEmpty())
        parts << QStringLiteral("user=") + conninfoValue(link.user);
    if (!link.password.isEmpty())
        parts << QStringLiteral("password=") + conninfoValue(link.password);
    for (const QString& option : postgresOptions(link).split(u';', Qt::SkipEmptyParts))
        parts << option.section(u'=', 0, 0) + u'=' + conninfoValue(option.section(u'=', 1));
    return parts.join(u' ').toUtf8();
}

bool Connection::linkBroken(const QSqlDatabase& db)
{
    PGconn* c = postgresHandle(db);
    return c && PQstatus(c) == CONNECTION_BAD;
}

Connection::Action::Action()
    : m_lostBefore(g_actionLostLink), m_toldBefore(g_actionToldLoss)
{
    g_actionLostLink = false;
    g_actionToldLoss = false;
    ++g_actionDepth;
}

Connection::Action::~Action()
{
    --g_actionDepth;
    g_actionLostLink = m_lostBefore;
    g_actionToldLoss = m_toldBefore;
}

bool Connection::Action::running()
{
    return g_actionDepth > 0;
}

bool Connection::Action::firstLinkLossTold()
{
    if (g_actionDepth == 0)
        return true;
    const bool first = !g_actionToldLoss;
    g_actionToldLoss = true;
    return first;
}

void Connection::reconnect(QSqlDatabase& db)
{
    db.close();
    if (!db.open())
        throw lostLink(DbError::linkLostText());
    prepareSession(db, engineOf(db) == Engine::PostgreSQL ? DataLink::Provider::PostgreSQL
                                                          : DataLink::Provider::SQLite);
}

void Connection::watched(QSqlDatabase& db, const std::function<void()>& work, bool* cut)
{
    PGconn* c = postgresHandle(db);
    if (!c) {
        work();
        return;
    }
    const LinkWatchdog::Watch watch(PQsocket(c), QString::fromLocal8Bit(PQhost(c)), QByteArray(PQport(c)).toInt(),
                                    {db.databaseName(), db.userName(), db.password(), PQbackendPID(c)});
    try {
        work();
    } catch (...) {
        if (cut)
            *cut = watch.cut();
        throw;
    }
    if (cut)
        *cut = watch.cut();
}

void Connection::run(Step step, const std::function<void(QSqlDatabase&)>& work)
{
    QSqlDatabase db = database();
    if (engineOf(db) != Engine::PostgreSQL) {
        work(db);
        return;
    }
    bool cut = false;
    try {
        watched(
            db, [&] { work(db); }, &cut);
        return;
    } catch (const DbError&) {
        if (!linkBroken(db))
            throw;
    }
    // Inside a transaction the server has rolled back what came before, and
    // the caller must give up the whole action. A write may have been stored
    // before the link broke. A server that gave no sign of life would only be
    // waited for a second time.
    if (Transaction::inTransaction())
        throw lostLink(DbError::linkLostText());
    if (step == Step::Write)
        throw lostLink(DbError::linkLostWhileWritingText());
    if (cut)
        throw lostLink(DbError::linkLostText());
    reconnect(db);
    try {
        watched(db, [&] { work(db); });
    } catch (const DbError&) {
        if (linkBroken(db))
            throw lostLink(DbError::linkLostText());
        throw;
    }
}

QSqlDatabase Connection::database()
{
    if (g_actionDepth > 0 && g_actionLostLink)
        throw DbError(DbError::linkLostText());
    const QString name = QString::fromLatin1(Name);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen() || linkBroken(db)) {
            // Inside a transaction a lost link fails the statement, and so the action.
            if (!Transaction::inTransaction() && idleLinkLost(db))
                reconnect(db);
            return db;
        }
    }
    // A connection that was open before and is gone now lost its server: the
    // next action tells it as a lost link (the server may come back, or a
    // standby take over), not with libpq's own words.
    const bool hadLink = g_wasOpen && QSqlDatabase::contains(name);
    const DataLink link = DataLink::read(dataLinkPath());
    QSqlDatabase db;
    try {
        db = openNamed(link, name, true);
    } catch (const DbError&) {
        if (hadLink && link.provider == DataLink::Provider::PostgreSQL)
            throw lostLink(DbError::linkLostText());
        throw;
    }
    g_wasOpen = true;
    // A database made before a column was added gets it here.
    Setup::upgrade(db);
    return db;
}

Engine Connection::engine()
{
    return engineOf(database());
}

bool Connection::isOpen()
{
    const QString name = QString::fromLatin1(Name);
    return QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen();
}

void Connection::close()
{
    g_wasOpen = false;
    const QString name = QString::fromLatin1(Name);
    if (QSqlDatabase::contains(name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}
