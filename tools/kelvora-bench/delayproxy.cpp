#include "tools/kelvora-bench/delayproxy.h"
#include "data/dberror.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int connectTo(const QString& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd >= 0) {
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return fd;
}

struct Chunk
{
    qint64 dueUs;
    QByteArray bytes;
};

// One direction of a proxied connection: bytes read from `from`, written to
// `to` once due.
struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> held;
    bool closed = false;
};

// Counts the client's statements in its stream of messages: the untyped start
// (SSL and GSS requests, then the startup message), then typed messages.
struct MessageCounter
{
    QByteArray pending;
    bool started = false;

    qint64 feed(const QByteArray& bytes)
    {
        pending += bytes;
        qint64 counted = 0;
        for (;;) {
            const int head = started ? 5 : 4;
            if (pending.size() < head)
                break;
            const uchar* p = reinterpret_cast<const uchar*>(pending.constData()) + (started ? 1 : 0);
            const quint32 length = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
            const qsizetype whole = qsizetype(length) + (started ? 1 : 0);
            if (pending.size() < whole)
                break;
            if (started) {
                const char type = pending[0];
                if (type == 'Q' || type == 'S')
                    ++counted;
            } else if (length >= 8) {
                const uchar* c = p + 4;
                const quint32 code = (quint32(c[0]) << 24) | (quint32(c[1]) << 16) | (quint32(c[2]) << 8) | c[3];
                // 80877103: SSL, 80877104: GSS encryption; the startup message follows.
                started = code != 80877103 && code != 80877104;
            }
            pending.remove(0, whole);
        }
        return counted;
    }
};

struct Link
{
    Direction up;    // client -> server
    Direction down;  // server -> client
    MessageCounter counter;
};

}  // namespace

DelayProxy::DelayProxy(const QString& host, int port, double rttMs)
    : m_host(host), m_targetPort(port)
{
    setRtt(rttMs);
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_listen, 16) != 0
        || getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0 || pipe(m_wake) != 0)
        throw DbError(QStringLiteral("the delaying proxy cannot listen: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { serve(); });
}

DelayProxy::~DelayProxy()
{
    m_stop = true;
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
}

void DelayProxy::serve()
{
    std::vector<std::unique_ptr<Link>> links;
    std::vector<char> buffer(65536);
    while (!m_stop) {
        std::vector<pollfd> fds;
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        qint64 nextDue = -1;
        for (const auto& l : links)
            for (const Direction* d : {&l->up, &l->down}) {
                if (!d->closed)
                    fds.push_back({d->from, POLLIN, 0});
                if (!d->held.empty() && (nextDue < 0 || d->held.front().dueUs < nextDue))
                    nextDue = d->held.front().dueUs;
            }
        int timeout = -1;
        if (nextDue >= 0)
            timeout = int(std::max<qint64>(0, (nextDue - nowUs() + 999) / 1000));
        if (poll(fds.data(), nfds_t(fds.size()), timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = accept(m_listen, nullptr, nullptr);
            const int server = client >= 0 ? connectTo(m_host, m_targetPort) : -1;
            if (server < 0) {
                if (client >= 0)
                    close(client);
            } else {
                const int one = 1;
                setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                auto l = std::make_unique<Link>();
                l->up.from = client;
                l->up.to = server;
                l->down.from = server;
                l->down.to = client;
                links.push_back(std::move(l));
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            for (const auto& l : links)
                for (Direction* d : {&l->up, &l->down}) {
                    if (d->from != fds[i].fd || d->closed)
                        continue;
                    const ssize_t n = read(d->from, buffer.data(), buffer.size());
                    if (n <= 0) {
                        d->closed = true;
                        d->held.push_back({nowUs() + m_halfUs.load(), QByteArray()});
                        continue;
                    }
                    QByteArray bytes(buffer.data(), qsizetype(n));
                    if (d == &l->up)
                        m_statements += l->counter.feed(bytes);
                    d->held.push_back({nowUs() + m_halfUs.load(), std::move(bytes)});
                }
        }
        // What is due goes on; an empty chunk passes on the end of the stream.
        const qint64 now = nowUs();
        for (auto it = links.begin(); it != links.end();) {
            Link& l = **it;
            bool ended = false;
            for (Direction* d : {&l.up, &l.down})
                while (!d->held.empty() && d->held.front().dueUs <= now) {
                    const QByteArray bytes = std::move(d->held.front().bytes);
                    d->held.pop_front();
                    if (bytes.isEmpty()) {
                        ended = true;
                        break;
                    }
                    qsizetype sent = 0;
                    while (sent < bytes.size()) {
                        const ssize_t w = send(d->to, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
                        if (w <= 0) {
                            ended = true;
                            break;
                        }
                        sent += w;
                    }
                    if (ended)
                        break;
                }
            if (ended) {
                close(l.up.from);
                close(l.down.from);
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& l : links) {
        close(l->up.from);
        close(l->down.from);
    }
}
