#include "data/datalink.h"
#include "data/dberror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <sys/stat.h>

#include <algorithm>

namespace {

[[noreturn]] void fail(const QString& path, const QString& what)
{
    throw DbError(QStringLiteral("მონაცემთა ბაზასთან კავშირის ფაილი „%1“: %2")
                      .arg(QDir::toNativeSeparators(path), what));
}

}  // namespace

QString DataLink::decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        auto toUtf16 = QStringDecoder(QStringDecoder::Utf16LE);
        QString text = toUtf16(bytes.mid(2));
        return text;
    }
    if (bytes.startsWith("\xFE\xFF")) {
        auto toUtf16 = QStringDecoder(QStringDecoder::Utf16BE);
        return toUtf16(bytes.mid(2));
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.mid(3);
    return QString::fromUtf8(body);
}

DataLink DataLink::read(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        // The program reads the file from the folder it starts in: name that
        // folder and the command that makes the file there.
        fail(path, QStringLiteral("ფაილი ვერ მოიძებნა. შექმენით იგი ბრძანებით „kelvora-db init“ საქაღალდეში "
                                  "„%1“ (პროგრამა ამ ფაილს იმ საქაღალდეში ეძებს, რომელშიც იხსნება)")
                       .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
    if (!file.open(QIODevice::ReadOnly))
        fail(path, QStringLiteral("ფაილი ვერ წავიკითხე (%1)").arg(file.errorString()));
    return parse(decode(file.readAll()), path);
}

DataLink DataLink::parse(const QString& text, const QString& path)
{
    // Half a UTF-16 pair names no file or server and cannot be written back.
    if (!QStringView(text).isValidUtf16())
        fail(path, QStringLiteral("ფაილის ტექსტი დაზიანებულია (არასწორი UTF-16)"));
    QString settings;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.compare(QStringLiteral("[oledb]"), Qt::CaseInsensitive) == 0)
            continue;
        if (!settings.isEmpty())
            fail(path, QStringLiteral("პარამეტრები ერთ სტრიქონში უნდა იყოს"));
        settings = line;
    }
    if (settings.isEmpty())
        fail(path, QStringLiteral("ფაილში კავშირის პარამეტრები არ არის"));

    // name=value pairs separated by ";"; a value may be quoted with " or ' to hold
    // a ";" (a password), a doubled quote standing for the quote itself.
    QHash<QString, QString> values;
    const qsizetype n = settings.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = settings.indexOf(u'=', i);
        const qsizetype semi = settings.indexOf(u';', i);
        if (semi >= 0 && (eq < 0 || semi < eq)) {
            if (!settings.mid(i, semi - i).trimmed().isEmpty())
                fail(path, QStringLiteral("გაუგებარი ჩანაწერი „%1“ (მოსალოდნელია სახელი=მნიშვნელობა)")
                               .arg(settings.mid(i, semi - i).trimmed()));
            i = semi + 1;
            continue;
        }
        const QString name = eq < 0 ? QString() : settings.mid(i, eq - i).trimmed();
        if (name.isEmpty()) {
            const QString rest = settings.mid(i).trimmed();
            if (rest.isEmpty())
                break;
            fail(path, QStringLiteral("გაუგებარი ჩანაწერი „%1“ (მოსალოდნელია სახელი=მნიშვნელობა)")
                           .arg(rest.section(u';', 0, 0).trimmed()));
        }
        i = eq + 1;
        while (i < n && settings[i].isSpace())
            ++i;
        QString value;
        if (i < n && (settings[i] == u'"' || settings[i] == u'\'')) {
            const QChar quote = settings[i++];
            bool closed = false;
            while (i < n) {
                if (settings[i] == quote) {
                    if (i + 1 < n && settings[i + 1] == quote) {
                        value.append(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value.append(settings[i++]);
            }
            while (i < n && settings[i].isSpace())
                ++i;
            if (!closed || (i < n && settings[i] != u';'))
                fail(path, QStringLiteral("„%1“: ბრჭყალები არ არის დახურული").arg(name));
            ++i;
        } else {
            const qsizetype end = settings.indexOf(u';', i);
            value = settings.mid(i, end < 0 ? n - i : end - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        values.insert(name.toLower(), value);
    }
    auto get = [&values](std::initializer_list<const char*> keys) {
        for (const char* k : keys) {
            const auto it = values.constFind(QString::fromLatin1(k));
            if (it != values.constEnd())
                return *it;
        }
        return QString();
    };

    DataLink link;
    const QString provider = get({"provider"});
    if (provider.isEmpty())
        fail(path, QStringLiteral("Provider არ არის მითითებული"));
    const QString folder = QFileInfo(path).absolutePath();
    if (provider.compare(QStringLiteral("SQLite"), Qt::CaseInsensitive) == 0) {
        link.provider = Provider::SQLite;
        const QString file = get({"data source"});
        if (file.isEmpty())
            fail(path, QStringLiteral("Data Source (მონაცემთა ბაზის ფაილი) არ არის მითითებული"));
        link.dataSource = QDir(folder).absoluteFilePath(file);
    } else if (provider.compare(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        link.provider = Provider::PostgreSQL;
        // Several servers (a primary and its standby) are separated by commas,
        // with one port for all of them or one port each.
        QStringList hosts = get({"host", "server", "data source"}).split(u',');
        for (QString& h : hosts)
            h = h.trimmed();
        if (hosts.size() == 1 && hosts.first().isEmpty())
            hosts.first() = QStringLiteral("127.0.0.1");
        if (hosts.contains(QString()))
            fail(path, QStringLiteral("Host-ში სერვერის სახელი გამოტოვებულია"));
        const QString portText = get({"port"});
        QList<int> ports;
        for (const QString& raw : portText.split(u',', portText.isEmpty() ? Qt::SkipEmptyParts : Qt::KeepEmptyParts)) {
            const QString port = raw.trimmed();
            bool ok = false;
            const int p = port.toInt(&ok);
            if (!ok || p <= 0 || p > 65535)
                fail(path, QStringLiteral("Port „%1“ არასწორია").arg(port));
            ports << p;
        }
        if (ports.size() > 1 && ports.size() != hosts.size())
            fail(path, QStringLiteral("Port-ების რაოდენობა (%1) არ ემთხვევა Host-ში დასახელებული სერვერების რაოდენობას (%2)")
                           .arg(ports.size())
                           .arg(hosts.size()));
        for (qsizetype s = 0; s < hosts.size(); ++s) {
            const Server server{hosts[s], ports.isEmpty() ? 5432 : ports[ports.size() == 1 ? 0 : s]};
            if (s == 0) {
                link.host = server.host;
                link.port = server.port;
            } else {
                link.otherServers << server;
            }
        }
        link.sslMode = get({"ssl mode", "sslmode"}).toLower();
        static const QStringList sslModes{QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                          QStringLiteral("require"), QStringLiteral("verify-ca"),
                                          QStringLiteral("verify-full")};
        if (!link.sslMode.isEmpty() && !sslModes.contains(link.sslMode))
            fail(path, QStringLiteral("SSL Mode „%1“ არასწორია (შესაძლებელია %2)")
                           .arg(get({"ssl mode", "sslmode"}), sslModes.join(QStringLiteral(", "))));
        link.database = get({"database", "initial catalog"});
        if (link.database.isEmpty())
            fail(path, QStringLiteral("Database (მონაცემთა ბაზის სახელი) არ არის მითითებული"));
        link.user = get({"user id", "user", "uid"});
        link.password = get({"password", "pwd"});
    } else {
        fail(path, QStringLiteral("უცნობი Provider „%1“ (შესაძლებელია SQLite ან PostgreSQL)").arg(provider));
    }
    return link;
}

QString DataLink::toText() const
{
    // A value that holds a ";", a quote or outer blanks is written in double quotes.
    auto quoted = [](const QString& value) {
        const bool plain = !value.contains(u';') && !value.contains(u'"') && !value.contains(u'\'')
                           && value.trimmed() == value;
        if (plain)
            return value;
        return QStringLiteral("\"%1\"").arg(QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")));
    };
    QString line;
    if (provider == Provider::SQLite) {
        line = QStringLiteral("Provider=SQLite;Data Source=%1").arg(quoted(dataSource));
    } else {
        // One arg() for all: chained ones would read a "%2" in the host as a marker.
        QStringList hosts;
        QStringList ports;
        for (const Server& s : servers()) {
            hosts << s.host;
            ports << QString::number(s.port);
        }
        // One port for all when they share it, as a file with one server has it.
        if (std::all_of(ports.cbegin(), ports.cend(), [&](const QString& p) { return p == ports.first(); }))
            ports = QStringList{ports.first()};
        line = QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User ID=%4")
                   .arg(quoted(hosts.join(u',')), ports.join(u','), quoted(database), quoted(user));
        if (!password.isEmpty())
            line += QStringLiteral(";Password=%1").arg(quoted(password));
        if (!sslMode.isEmpty())
            line += QStringLiteral(";SSL Mode=%1").arg(sslMode);
    }
    return QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%1\r\n").arg(line);
}

QList<DataLink::Server> DataLink::servers() const
{
    return QList<Server>{Server{host, port}} + otherServers;
}

DataLink DataLink::toServer(const Server& server) const
{
    DataLink one = *this;
    one.host = server.host;
    one.port = server.port;
    one.otherServers.clear();
    one.target = Target::Any;
    return one;
}

void DataLink::addServer(const Server& server)
{
    if (!servers().contains(server))
        otherServers << server;
}

bool DataLink::write(const QString& path, QString* error) const
{
    QSaveFile file(path);
    // Owner-only before a byte is written: the file may hold the password.
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0
        || file.write(toText().toUtf8()) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool DataLink::passwordExposed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    try {
        if (parse(decode(file.readAll()), path).password.isEmpty())
            return false;
    } catch (const DbError&) {
        return false;
    }
    return file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther);
}
