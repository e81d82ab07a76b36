#include "data/linkwatchdog.h"

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

struct LinkWatchdog::Watch::Entry
{
    int socket = -1;
    QString host;
    int port = 0;
    std::optional<LinkWatchdog::Watch::Login> login;
    Clock::time_point nextLook;
    bool active = true;  // under the watchdog's mutex
    std::atomic<bool> cut{false};
};

namespace {

// The thread and the statements it watches. Started at the first watch and
// stopped when the program ends.
class Watcher
{
public:
    ~Watcher()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(const std::shared_ptr<LinkWatchdog::Watch::Entry>& e)
    {
        {
            std::lock_guard lock(m_mutex);
            e->nextLook = Clock::now() + m_times.stall;
            m_entries.push_back(e);
            if (!m_thread.joinable())
                m_thread = std::thread([this] { loop(); });
        }
        m_wake.notify_all();
    }

    void remove(const std::shared_ptr<LinkWatchdog::Watch::Entry>& e)
    {
        std::lock_guard lock(m_mutex);
        e->active = false;
        m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), e), m_entries.end());
    }

    void setTimes(const LinkWatchdog::Times& t)
    {
        std::lock_guard lock(m_mutex);
        m_times = t;
    }

    LinkWatchdog::Times times()
    {
        std::lock_guard lock(m_mutex);
        return m_times;
    }

private:
    void loop()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            Clock::time_point next = Clock::now() + std::chrono::hours(1);
            for (const auto& e : m_entries)
                next = std::min(next, e->nextLook);
            m_wake.wait_until(lock, next);
            if (m_stop)
                break;
            std::vector<std::shared_ptr<LinkWatchdog::Watch::Entry>> due;
            const Clock::time_point now = Clock::now();
            for (const auto& e : m_entries)
                if (e->nextLook <= now)
                    due.push_back(e);
            const LinkWatchdog::Times t = m_times;
            for (const auto& e : due) {
                // The probe may take up to `answer`; statements start and end meanwhile.
                lock.unlock();
                bool alive = LinkWatchdog::serverAnswers(e->host, e->port, t.answer);
                // A server that answers while the link's own process stands
                // idle, the statement sent long ago: that process does not move.
                // (An answer already waiting in this station's socket is from
                // a process that did take it.)
                int waiting = 0;
                if (alive && e->login && (::ioctl(e->socket, FIONREAD, &waiting) != 0 || waiting == 0)
                    && LinkWatchdog::backendState(e->host, e->port, *e->login, t.answer)
                           == LinkWatchdog::Backend::Idle)
                    alive = false;
                lock.lock();
                if (!e->active)
                    continue;
                if (alive) {
                    e->nextLook = Clock::now() + t.stall;
                } else {
                    // Still under way (its watch would have removed it), so the
                    // socket is still the statement's own.
                    ::shutdown(e->socket, SHUT_RDWR);
                    e->cut = true;
                    e->nextLook = Clock::time_point::max();
                }
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stop = false;
    LinkWatchdog::Times m_times;
    std::vector<std::shared_ptr<LinkWatchdog::Watch::Entry>> m_entries;
};

Watcher& watcher()
{
    static Watcher w;
    return w;
}

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::max<long long>(left, 0));
}

bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, remainingMs(deadline));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

// Connects, sends the SSL request and waits for the one byte of the answer.
bool askForAnswer(int fd, const sockaddr* address, socklen_t length, Clock::time_point deadline)
{
    if (::connect(fd, address, length) != 0) {
        if (errno != EINPROGRESS || !waitFor(fd, POLLOUT, deadline))
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return false;
    }
    const uint32_t request[2] = {htonl(8), htonl(80877103)};
    if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request))
        return false;
    if (!waitFor(fd, POLLIN, deadline))
        return false;
    char answer = 0;
    return ::recv(fd, &answer, 1, MSG_DONTWAIT) == 1;
}

}  // namespace

LinkWatchdog::Watch::Watch(int socket, const QString& host, int port)
{
    if (socket < 0)
        return;
    m_entry = std::make_shared<Entry>();
    m_entry->socket = socket;
    m_entry->host = host;
    m_entry->port = port;
    watcher().add(m_entry);
}

LinkWatchdog::Watch::Watch(int socket, const QString& host, int port, const Login& login)
{
    if (socket < 0)
        return;
    m_entry = std::make_shared<Entry>();
    m_entry->socket = socket;
    m_entry->host = host;
    m_entry->port = port;
    if (login.backend > 0)
        m_entry->login = login;
    watcher().add(m_entry);
}

LinkWatchdog::Watch::~Watch()
{
    if (m_entry)
        watcher().remove(m_entry);
}

bool LinkWatchdog::Watch::cut() const
{
    return m_entry && m_entry->cut;
}

void LinkWatchdog::setTimes(const Times& times)
{
    watcher().setTimes(times);
}

LinkWatchdog::Times LinkWatchdog::times()
{
    return watcher().times();
}

bool LinkWatchdog::serverAnswers(const QString& host, int port, std::chrono::milliseconds answer)
{
    const Clock::time_point deadline = Clock::now() + answer;
    if (host.startsWith(u'/')) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QStringLiteral("%1/.s.PGSQL.%2").arg(host).arg(port).toLocal8Bit();
        if (path.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const bool ok = askForAnswer(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address, deadline);
        ::close(fd);
        return ok;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray name = (host.isEmpty() ? QStringLiteral("localhost") : host).toLocal8Bit();
    if (::getaddrinfo(name.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (addrinfo* a = found; a && !ok && Clock::now() < deadline; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        ok = askForAnswer(fd, a->ai_addr, a->ai_addrlen, deadline);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return ok;
}

LinkWatchdog::Backend LinkWatchdog::backendState(const QString& host, int port, const Watch::Login& login,
                                                 std::chrono::milliseconds answer)
{
    const QByteArray hostText = host.toUtf8();
    const QByteArray portText = QByteArray::number(port);
    const QByteArray database = login.database.toUtf8();
    const QByteArray user = login.user.toUtf8();
    const QByteArray password = login.password.toUtf8();
    const QByteArray timeout = QByteArray::number(std::max<long long>(2, (answer.count() + 999) / 1000));
    const char* keys[] = {"host", "port", "dbname", "user", "password", "connect_timeout",
                          "application_name", nullptr};
    const char* values[] = {hostText.constData(), portText.constData(), database.constData(), user.constData(),
                            password.isEmpty() ? nullptr : password.constData(), timeout.constData(),
                            "kelvora-watchdog", nullptr};
    PGconn* c = PQconnectdbParams(keys, values, 0);
    const auto close = [c] { PQfinish(c); };
    if (PQstatus(c) != CONNECTION_OK) {
        close();
        return Backend::Unknown;
    }
    // The question itself may wait no longer than the answer does.
    PQclear(PQexec(c, QByteArray("set statement_timeout = ").append(QByteArray::number(qint64(answer.count()))).constData()));
    const QByteArray pid = QByteArray::number(login.backend);
    const char* params[] = {pid.constData()};
    PGresult* r = PQexecParams(c, "select state from pg_stat_activity where pid = $1::int", 1, nullptr, params,
                               nullptr, nullptr, 0);
    Backend state = Backend::Unknown;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1) {
        // "idle", "idle in transaction", "idle in transaction (aborted)".
        state = QByteArray(PQgetvalue(r, 0, 0)).startsWith("idle") ? Backend::Idle : Backend::Working;
    }
    PQclear(r);
    close();
    return state;
}
