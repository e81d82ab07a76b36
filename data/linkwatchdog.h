#pragma once

#include <QString>
#include <chrono>
#include <memory>

// Keeps a statement on a PostgreSQL link from waiting for ever. A stopped
// server (or a machine whose processes hang) still has its kernel acknowledge
// TCP, so neither keep-alives nor the TCP user timeout ever fire, and libpq
// would wait on the socket with no end. A thread of its own looks at every
// statement that has run for longer than `stall`: it asks the server for a sign
// of life on a connection of its own (the server's first answer to an SSL
// request, one byte). A server that gives no answer within `answer` is taken as
// gone, and the statement's socket is shut down, so libpq returns an error at
// once. A server that answers is then asked, on a session of its own, what the
// statement's own server process is doing: one at work (a long report, a wait
// for a lock another station holds) lets the statement go on; one that still
// stands idle has never taken the statement (the process is stopped or hung),
// and the link is cut as for a server that is gone.
class LinkWatchdog
{
public:
    struct Times
    {
        std::chrono::milliseconds stall{10000};
        std::chrono::milliseconds answer{3000};
    };

    // One statement under watch, from construction to destruction.
    class Watch
    {
    public:
        // `socket` is the link's socket; `host` and `port` the server's address
        // as libpq has it (a host starting with '/' is a socket folder).
        Watch(int socket, const QString& host, int port);
        // With the login to ask the server about the link's own server process
        // (`backend`: its process ID), as a second session.
        struct Login
        {
            QString database;
            QString user;
            QString password;
            int backend = 0;
        };
        Watch(int socket, const QString& host, int port, const Login& login);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

        // True once the watchdog found the server gone and cut the link.
        bool cut() const;

        struct Entry;

    private:
        std::shared_ptr<Entry> m_entry;
    };

    static void setTimes(const Times& times);
    static Times times();

    // Whether the server at `host`:`port` answers within `answer`.
    static bool serverAnswers(const QString& host, int port, std::chrono::milliseconds answer);

    enum class Backend { Working,
                         Idle,
                         Unknown };
    // What the server says, within `answer`, of its process `login.backend`:
    // at work on a statement, idle (waiting for a statement of its link), or
    // unknown (no answer, no such process).
    static Backend backendState(const QString& host, int port, const Watch::Login& login,
                                std::chrono::milliseconds answer);
};
