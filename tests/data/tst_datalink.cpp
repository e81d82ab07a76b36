#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(DataLink)

// The data link file "kavshiri.udl" as it is found beside the program: written
// by the Windows dialog (UTF-16 with a byte-order mark) or by hand (UTF-8), and
// what the connection makes of it.
class tst_datalink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void read_data();
    void read();
    void encodings_data();
    void encodings();
    void broken_data();
    void broken();
    void missingFile();
    void textRoundTrip_data();
    void textRoundTrip();
    void servers_data();
    void servers();
    void postgresOptions_data();
    void postgresOptions();
    void connectionOpensFromFile_data();
    void connectionOpensFromFile();
    void missingDatabaseFileIsNotCreated();
    void notADatabaseRefused_data();
    void notADatabaseRefused();
    void missingDataLinkFile();

private:
    QString writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("kavshiri.udl"));
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QString Header = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n");

QByteArray utf16le(const QString& text)
{
    auto encode = QStringEncoder(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(encode(text));
}

}  // namespace

void tst_datalink::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_datalink::cleanup()
{
    Connection::close();
    Connection::setDataLinkPath(QString());
    m_dir.reset();
}

QString tst_datalink::writeFile(const QByteArray& bytes, const QString& name)
{
    const QString path = m_dir->filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    return path;
}

void tst_datalink::read_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("provider");
    QTest::addColumn<QString>("dataSource");  // relative to the file's folder, or absolute
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    const int lite = int(DataLink::Provider::SQLite);
    const int pg = int(DataLink::Provider::PostgreSQL);
    QTest::newRow("sqlite, file beside the link")
        << "Provider=SQLite;Data Source=kelvora.db" << lite << "kelvora.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("sqlite, sub-folder")
        << "Provider=SQLite;Data Source=data/kelvora.db" << lite << "data/kelvora.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("sqlite, parent folder")
        << "Provider=SQLite;Data Source=../shared/kelvora.db" << lite << "../shared/kelvora.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("sqlite, absolute")
        << "Provider=SQLite;Data Source=/srv/kelvora/kelvora.db" << lite << "/srv/kelvora/kelvora.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("sqlite, Georgian file name")
        << "Provider=SQLite;Data Source=რესტორანი.db" << lite << "რესტორანი.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("sqlite, blanks and key case")
        << "  provider = sqlite ; DATA SOURCE = kelvora.db ;" << lite << "kelvora.db"
        << "" << 5432 << ""
        << ""
        << "";
    QTest::newRow("postgres, Host and Database")
        << "Provider=PostgreSQL;Host=db.local;Port=5433;Database=kelvora;User ID=kasa;Password=secret"
        << pg << ""
        << "db.local" << 5433 << "kelvora"
        << "kasa"
        << "secret";
    QTest::newRow("postgres, Server, Initial Catalog, other keys")
        << "Provider=PostgreSQL;Persist Security Info=False;Server=10.0.0.5;Initial Catalog=restorani;User ID=kasa"
        << pg << ""
        << "10.0.0.5" << 5432 << "restorani"
        << "kasa"
        << "";
    QTest::newRow("postgres, OLE DB Data Source as host")
        << "Provider=PostgreSQL;Data Source=server1;Initial Catalog=restorani;User ID=kasa;Password="
        << pg << ""
        << "server1" << 5432 << "restorani"
        << "kasa"
        << "";
    QTest::newRow("postgres, quoted password with a semicolon")
        << "Provider=PostgreSQL;Host=h;Database=d;User ID=u;Password=\"pa;ss\""
        << pg << ""
        << "h" << 5432 << "d"
        << "u"
        << "pa;ss";
    QTest::newRow("postgres, keys in any case")
        << "PROVIDER=postgresql;host=h;PORT=6000;database=d;user id=u;password=p"
        << pg << ""
        << "h" << 6000 << "d"
        << "u"
        << "p";
}

void tst_datalink::read()
{
    QFETCH(QString, line);
    QFETCH(int, provider);
    QFETCH(QString, dataSource);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, database);
    QFETCH(QString, user);
    QFETCH(QString, password);

    const QString path = writeFile(utf16le(Header + line + QStringLiteral("\r\n")));
    const DataLink link = DataLink::read(path);
    QCOMPARE(int(link.provider), provider);
    if (link.provider == DataLink::Provider::SQLite) {
        const QString expected = QDir::cleanPath(QDir(m_dir->path()).absoluteFilePath(dataSource));
        QCOMPARE(QDir::cleanPath(link.dataSource), expected);
    } else {
        QCOMPARE(link.host, host);
        QCOMPARE(link.port, port);
        QCOMPARE(link.database, database);
        QCOMPARE(link.user, user);
        QCOMPARE(link.password, password);
    }
}

void tst_datalink::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QString text = Header + QStringLiteral("Provider=SQLite;Data Source=ბაზა/რესტორანი.db\r\n");
    QTest::newRow("UTF-16LE with BOM") << utf16le(text);
    QTest::newRow("UTF-8") << text.toUtf8();
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QTest::newRow("UTF-8, Unix line ends") << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    QTest::newRow("UTF-16LE, no header")
        << utf16le(QStringLiteral("Provider=SQLite;Data Source=ბაზა/რესტორანი.db"));
    QTest::newRow("UTF-16LE, blank lines and comments")
        << utf16le(QStringLiteral("\r\n[oledb]\r\n\r\n; one\r\n;two\r\nProvider=SQLite;Data Source=ბაზა/რესტორანი.db\r\n\r\n"));
}

void tst_datalink::encodings()
{
    QFETCH(QByteArray, bytes);
    const DataLink link = DataLink::read(writeFile(bytes));
    QCOMPARE(link.provider, DataLink::Provider::SQLite);
    QCOMPARE(link.dataSource, m_dir->filePath(QStringLiteral("ბაზა/რესტორანი.db")));
}

void tst_datalink::broken_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("only a BOM") << QByteArray("\xFF\xFE", 2);
    QTest::newRow("only header and comment") << utf16le(Header);
    QTest::newRow("no Provider") << utf16le(Header + QStringLiteral("Data Source=kelvora.db"));
    QTest::newRow("empty Provider") << utf16le(Header + QStringLiteral("Provider=;Data Source=kelvora.db"));
    QTest::newRow("unknown provider")
        << utf16le(Header + QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\kelvora.mdb"));
    QTest::newRow("sqlite without Data Source") << utf16le(Header + QStringLiteral("Provider=SQLite"));
    QTest::newRow("postgres without Database")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=h;User ID=u"));
    QTest::newRow("port not a number")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=h;Port=54x;Database=d"));
    QTest::newRow("port out of range")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=h;Port=70000;Database=d"));
    QTest::newRow("port zero")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=h;Port=0;Database=d"));
    QTest::newRow("garbage line") << utf16le(Header + QStringLiteral("this is not a data link"));
    QTest::newRow("garbage after the settings")
        << utf16le(Header + QStringLiteral("Provider=SQLite;Data Source=kelvora.db\r\nxyz"));
    QTest::newRow("entry without a name") << utf16le(Header + QStringLiteral("Provider=SQLite;=kelvora.db"));
    QTest::newRow("binary") << QByteArray("\x00\x01\x02\xFF\x10garbage", 12);
    QTest::newRow("more ports than servers")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=a,b;Port=1,2,3;Database=d"));
    QTest::newRow("a server left out") << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=a,,b;Database=d"));
    QTest::newRow("second port not a number")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=a,b;Port=5432,x;Database=d"));
    QTest::newRow("unknown SSL Mode")
        << utf16le(Header + QStringLiteral("Provider=PostgreSQL;Host=a;Database=d;SSL Mode=always"));
}

void tst_datalink::broken()
{
    QFETCH(QByteArray, bytes);
    const QString path = writeFile(bytes);
    try {
        DataLink::read(path);
        QFAIL("a broken data link file was accepted");
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QDir::toNativeSeparators(path)), qPrintable(e.text()));
    }
}

void tst_datalink::missingFile()
{
    const QString path = m_dir->filePath(QStringLiteral("kavshiri.udl"));
    try {
        DataLink::read(path);
        QFAIL("a missing data link file was accepted");
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QDir::toNativeSeparators(path)), qPrintable(e.text()));
        // It says how to make the file, and where.
        QVERIFY2(e.text().contains(QStringLiteral("„kelvora-db init“")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("„%1“").arg(QDir::toNativeSeparators(m_dir->path()))),
                 qPrintable(e.text()));
    }
}

void tst_datalink::textRoundTrip_data()
{
    QTest::addColumn<DataLink>("link");

    DataLink lite;
    lite.provider = DataLink::Provider::SQLite;
    lite.dataSource = QStringLiteral("/srv/რესტორანი/kelvora.db");
    QTest::newRow("sqlite") << lite;

    DataLink pg;
    pg.provider = DataLink::Provider::PostgreSQL;
    pg.host = QStringLiteral("db.local");
    pg.port = 5433;
    pg.database = QStringLiteral("kelvora");
    pg.user = QStringLiteral("kasa");
    pg.password = QStringLiteral("p;a=ss");
    QTest::newRow("postgres") << pg;

    pg.password.clear();
    QTest::newRow("postgres without password") << pg;

    // A value that looks like a marker of the written text stays as it is.
    pg.host = QStringLiteral("10%2.0.0.5");
    pg.user = QStringLiteral("%1%4");
    QTest::newRow("percent markers in values") << pg;

    pg.host = QStringLiteral("db.local");
    pg.otherServers = {{QStringLiteral("192.168.1.11"), 5433}};
    QTest::newRow("primary and standby, ports of their own") << pg;
    pg.otherServers = {{QStringLiteral("192.168.1.11"), 5433}, {QStringLiteral("192.168.1.12"), 5433}};
    pg.port = 5433;
    pg.sslMode = QStringLiteral("verify-full");
    QTest::newRow("three servers, one port, SSL Mode") << pg;
}

void tst_datalink::textRoundTrip()
{
    QFETCH(DataLink, link);
    const DataLink back = DataLink::read(writeFile(link.toText().toUtf8()));
    QCOMPARE(back.provider, link.provider);
    QCOMPARE(back.dataSource, link.dataSource);
    if (link.provider == DataLink::Provider::PostgreSQL) {
        QCOMPARE(back.host, link.host);
        QCOMPARE(back.port, link.port);
        QCOMPARE(back.servers(), link.servers());
        QCOMPARE(back.sslMode, link.sslMode);
        QCOMPARE(back.database, link.database);
        QCOMPARE(back.user, link.user);
        QCOMPARE(back.password, link.password);
    }
}

// A primary and its standby in one file; a file of one server reads as before.
void tst_datalink::servers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("servers");
    QTest::addColumn<QString>("sslMode");

    QTest::newRow("one server, as older files have it")
        << "Provider=PostgreSQL;Host=192.168.1.10;Port=5432;Database=kelvora;User ID=kelvora" << QStringList{"192.168.1.10:5432"}
        << "";
    QTest::newRow("one server, no port") << "Provider=PostgreSQL;Server=db;Database=kelvora" << QStringList{"db:5432"} << "";
    QTest::newRow("two servers, one port")
        << "Provider=PostgreSQL;Host=192.168.1.10, 192.168.1.11;Port=5433;Database=kelvora"
        << QStringList{"192.168.1.10:5433", "192.168.1.11:5433"} << "";
    QTest::newRow("two servers, a port each")
        << "Provider=PostgreSQL;Host=127.0.0.1,127.0.0.1;Port=5432, 5433;Database=kelvora;SSL Mode=Require"
        << QStringList{"127.0.0.1:5432", "127.0.0.1:5433"} << "require";
}

void tst_datalink::servers()
{
    QFETCH(QString, line);
    QFETCH(QStringList, servers);
    QFETCH(QString, sslMode);
    const DataLink link = DataLink::read(writeFile(utf16le(Header + line)));
    QStringList read;
    for (const DataLink::Server& s : link.servers())
        read << QStringLiteral("%1:%2").arg(s.host).arg(s.port);
    QCOMPARE(read, servers);
    QCOMPARE(link.sslMode, sslMode);
}

// What every PostgreSQL connection asks of libpq: the server that takes
// writes (a standby refuses them), and encryption once the link leaves the
// machine, unless the file says otherwise.
void tst_datalink::postgresOptions_data()
{
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<QString>("sslMode");
    QTest::addColumn<bool>("anyServer");
    QTest::addColumn<QStringList>("wanted");
    QTest::addColumn<QStringList>("unwanted");

    const QString writes = QStringLiteral("target_session_attrs=read-write");
    const QString encrypted = QStringLiteral("sslmode=require");
    QTest::newRow("this machine") << QStringList{"127.0.0.1"} << "" << false << QStringList{writes, "port=5432"}
                                  << QStringList{"sslmode="};
    QTest::newRow("this machine by name, and a socket folder")
        << QStringList{"localhost", "/run/postgresql"} << "" << false << QStringList{writes, "port=5432,5433"}
        << QStringList{"sslmode="};
    QTest::newRow("IPv6 loopback") << QStringList{"::1"} << "" << false << QStringList{writes} << QStringList{"sslmode="};
    QTest::newRow("another machine") << QStringList{"192.168.1.10"} << "" << false << QStringList{writes, encrypted}
                                     << QStringList{};
    QTest::newRow("a standby on another machine")
        << QStringList{"127.0.0.1", "db2.local"} << "" << false << QStringList{writes, encrypted} << QStringList{};
    QTest::newRow("the file's own SSL Mode") << QStringList{"192.168.1.10"} << "verify-full" << false
                                             << QStringList{"sslmode=verify-full"} << QStringList{encrypted};
    QTest::newRow("a tool looking at a standby")
        << QStringList{"192.168.1.11"} << "" << true << QStringList{encrypted} << QStringList{"target_session_attrs"};
}

void tst_datalink::postgresOptions()
{
    QFETCH(QStringList, hosts);
    QFETCH(QString, sslMode);
    QFETCH(bool, anyServer);
    QFETCH(QStringList, wanted);
    QFETCH(QStringList, unwanted);
    DataLink link;
    link.provider = DataLink::Provider::PostgreSQL;
    link.database = QStringLiteral("kelvora");
    link.sslMode = sslMode;
    for (int i = 0; i < hosts.size(); ++i) {
        if (i == 0)
            link.host = hosts[i];
        else
            link.otherServers << DataLink::Server{hosts[i], 5432 + i};
    }
    if (anyServer)
        link = link.toServer(link.servers().first());
    const QStringList options = Connection::postgresOptions(link).split(u';');
    for (const QString& w : wanted)
        QVERIFY2(options.contains(w), qPrintable(options.join(u';')));
    for (const QString& u : unwanted)
        QVERIFY2(!options.join(u';').contains(u), qPrintable(options.join(u';')));
    // The same settings reach a connection libpq opens itself.
    const QByteArray conninfo = Connection::postgresConnInfo(link);
    for (const QString& w : wanted)
        QVERIFY2(conninfo.contains(QStringLiteral("%1='%2'").arg(w.section(u'=', 0, 0), w.section(u'=', 1)).toUtf8()),
                 conninfo.constData());
}

void tst_datalink::connectionOpensFromFile_data()
{
    TestDb::addEngineRows();
}

// The connection kavshiri opens from whatever link file it is pointed at, in
// either encoding, and reaches the database that file names.
void tst_datalink::connectionOpensFromFile()
{
    QFETCH(int, engine);
    TestDb db{Engine(engine)};
    QFile written(db.udlPath());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    written.close();
    QVERIFY(written.open(QIODevice::WriteOnly | QIODevice::Truncate));
    written.write(utf16le(text));
    written.close();

    Connection::setDataLinkPath(db.udlPath());
    QSqlDatabase kavshiri = Connection::database();
    QVERIFY(kavshiri.isOpen());
    QCOMPARE(kavshiri.connectionName(), QStringLiteral("kavshiri"));
    QCOMPARE(Connection::engine(), Engine(engine));
    QSqlQuery q(kavshiri);
    QVERIFY(q.exec(QStringLiteral("select count(*) from Parametres")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void tst_datalink::missingDatabaseFileIsNotCreated()
{
    const QString dbFile = m_dir->filePath(QStringLiteral("kelvora.db"));
    Connection::setDataLinkPath(
        writeFile(utf16le(Header + QStringLiteral("Provider=SQLite;Data Source=kelvora.db\r\n"))));
    try {
        Connection::database();
        QFAIL("a missing database file was opened");
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QDir::toNativeSeparators(dbFile)), qPrintable(e.text()));
    }
    QVERIFY(!QFileInfo::exists(dbFile));
    QVERIFY(!Connection::isOpen());
}

void tst_datalink::missingDataLinkFile()
{
    const QString path = m_dir->filePath(QStringLiteral("kavshiri.udl"));
    Connection::setDataLinkPath(path);
    try {
        Connection::database();
        QFAIL("opened without a data link file");
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QDir::toNativeSeparators(path)), qPrintable(e.text()));
    }
    QVERIFY(!Connection::isOpen());
}

void tst_datalink::notADatabaseRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty file") << "empty" << QStringLiteral("ცარიელია");
    QTest::newRow("not SQLite") << "text" << QStringLiteral("არ არის მონაცემთა ბაზა");
    QTest::newRow("SQLite of another program") << "other" << QStringLiteral("ცხრილები");
}

// A file that is no database of this program is refused when the connection
// opens, with its name in the message, and stays exactly as it was.
void tst_datalink::notADatabaseRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    const QString dbFile = m_dir->filePath(QStringLiteral("kelvora.db"));
    if (kind == QLatin1String("other")) {
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other_program"));
            other.setDatabaseName(dbFile);
            QVERIFY(other.open());
            QSqlQuery(other).exec(QStringLiteral("create table notes (ID integer primary key, body text)"));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other_program"));
    } else {
        QFile f(dbFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("text"))
            f.write("Tables=12\r\n");
    }
    QFile before(dbFile);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    Connection::setDataLinkPath(writeFile(QStringLiteral("Provider=SQLite;Data Source=kelvora.db\r\n").toUtf8()));
    QString error;
    try {
        Connection::database();
    } catch (const DbError& e) {
        error = e.text();
    }
    QVERIFY2(error.contains(text), qPrintable(error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(dbFile)), qPrintable(error));
    QVERIFY(!Connection::isOpen());
    Connection::close();

    QFile after(dbFile);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
    QVERIFY(!QFileInfo::exists(dbFile + QStringLiteral("-wal")));
}

QTEST_GUILESS_MAIN(tst_datalink)
#include "tst_datalink.moc"
