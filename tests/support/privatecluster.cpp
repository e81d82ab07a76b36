#include "tests/support/privatecluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

PrivateCluster::PrivateCluster()
    : m_bin(programs())
{
    m_user = ::getuid() == 0 ? QStringLiteral("postgres") : qEnvironmentVariable("USER", QStringLiteral("postgres"));
}

PrivateCluster::~PrivateCluster()
{
    stop(QStringLiteral("immediate"));
}

QString PrivateCluster::programs()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    return versions.isEmpty() ? QString() : QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
}

bool PrivateCluster::create()
{
    if (m_bin.isEmpty() || !m_dir.isValid())
        return false;
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    if (::getuid() == 0
        && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), m_dir.path()}) != 0)
        return false;
    if (!pg(QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"), m_user, QStringLiteral("--auth=trust"),
                                       QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")}))
        return false;
    // A port free a moment ago may have been taken since: another one then.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freePort();
        if (start())
            return true;
    }
    return false;
}

bool PrivateCluster::start()
{
    m_running = pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                                              QStringLiteral("-w"), QStringLiteral("-o"),
                                              QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -c fsync=off").arg(m_port).arg(m_dir.path()),
                                              QStringLiteral("start")});
    return m_running;
}

bool PrivateCluster::stop(const QString& mode)
{
    if (!m_running)
        return true;
    m_running = !pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-m"), mode, QStringLiteral("stop")});
    return !m_running;
}

DataLink PrivateCluster::link(const QString& database) const
{
    DataLink l;
    l.provider = DataLink::Provider::PostgreSQL;
    l.host = QStringLiteral("127.0.0.1");
    l.port = m_port;
    l.database = database;
    l.user = m_user;
    return l;
}

QString PrivateCluster::data() const
{
    return m_dir.filePath(QStringLiteral("data"));
}

bool PrivateCluster::pg(const QString& program, const QStringList& args) const
{
    QProcess p;
    if (::getuid() == 0)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), m_bin + program} + args);
    else
        p.start(m_bin + program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("%s: %s%s", qPrintable(program), p.readAllStandardOutput().constData(), p.readAllStandardError().constData());
        return false;
    }
    return true;
}

int PrivateCluster::freePort()
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
