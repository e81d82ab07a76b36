#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

// A TCP proxy of the benchmark's own between the program and the PostgreSQL
// server: every byte is held back half the round-trip time in each direction,
// as on a slow station link, and the client's round trips are counted from the
// wire: each simple query ('Q') and each extended-protocol batch ending in a
// Sync ('S') is one statement sent and waited for.
class DelayProxy
{
public:
    // Listens on 127.0.0.1 at a free port; forwards to host:port. Throws DbError.
    DelayProxy(const QString& host, int port, double rttMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return m_port; }
    void setRtt(double rttMs) { m_halfUs = qint64(rttMs * 500.0); }
    double rtt() const { return double(m_halfUs.load()) / 500.0; }
    // Statements the clients sent so far.
    qint64 statements() const { return m_statements.load(); }

private:
    void serve();

    QString m_host;
    int m_targetPort = 0;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<qint64> m_halfUs{0};
    std::atomic<qint64> m_statements{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
