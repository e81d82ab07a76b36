// kelvora-db: makes a database for the program and fills a demo restaurant.
//
//   kelvora-db init --engine sqlite|postgres [options]   new database + kavshiri.udl
//   kelvora-db demo [--dir FOLDER] [--force]             demo menu, waiters, cooks

#include "demodata.h"
#include "initdatabase.h"
#include "toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

const QString DefaultEstablishment = QStringLiteral("კელვორა");
constexpr int MaxTables = 500;
constexpr int MaxText = 50;       // Parametres.dawesebuleba
constexpr int MaxPath = 255;      // Parametres.COMMAND, ANSWER

void printErr(const QString& text)
{
    std::fprintf(stderr, "kelvora-db: %s\n", text.toLocal8Bit().constData());
}

void printOut(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
}

class UsageError : public ToolError
{
    using ToolError::ToolError;
};

struct Options
{
    QCommandLineOption engine{QStringLiteral("engine"), QStringLiteral("init: sqlite or postgres."),
                              QStringLiteral("ENGINE")};
    QCommandLineOption file{QStringLiteral("file"),
                            QStringLiteral("init, sqlite: the database file (default FOLDER/kelvora.db)."),
                            QStringLiteral("PATH")};
    QCommandLineOption host{QStringLiteral("host"), QStringLiteral("init, postgres: server (default 127.0.0.1)."),
                            QStringLiteral("H")};
    QCommandLineOption port{QStringLiteral("port"), QStringLiteral("init, postgres: port (default 5432)."),
                            QStringLiteral("P")};
    QCommandLineOption database{QStringLiteral("database"),
                                QStringLiteral("init, postgres: database, created when missing (default kelvora)."),
                                QStringLiteral("D")};
    QCommandLineOption user{QStringLiteral("user"), QStringLiteral("init, postgres: user (default postgres)."),
                            QStringLiteral("U")};
    QCommandLineOption password{QStringLiteral("password"),
                                QStringLiteral("init, postgres: password, written into kavshiri.udl."),
                                QStringLiteral("W")};
    QCommandLineOption dir{QStringLiteral("dir"),
                           QStringLiteral("The folder of kavshiri.udl, where the program is started "
                                          "(default: the current folder)."),
                           QStringLiteral("FOLDER")};
    QCommandLineOption tables{QStringLiteral("tables"), QStringLiteral("init: number of tables (default 12)."),
                              QStringLiteral("N")};
    QCommandLineOption service{QStringLiteral("service"),
                               QStringLiteral("init: service charge in per cent (default 10)."),
                               QStringLiteral("PERCENT")};
    QCommandLineOption establishment{QStringLiteral("establishment"),
                                     QStringLiteral("init: name of the establishment, also the key of the "
                                                    "maintenance window (default %1).")
                                         .arg(DefaultEstablishment),
                                     QStringLiteral("NAME")};
    QCommandLineOption command{QStringLiteral("command"),
                               QStringLiteral("init: the fiscal driver's command file "
                                              "(default FOLDER/fiscal/command.txt)."),
                               QStringLiteral("PATH")};
    QCommandLineOption answer{QStringLiteral("answer"),
                              QStringLiteral("init: the fiscal driver's answer file "
                                             "(default FOLDER/fiscal/answer.txt)."),
                              QStringLiteral("PATH")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("init: replace an existing database and kavshiri.udl. "
                                            "demo: empty every table but the settings first.")};

    void addTo(QCommandLineParser& p)
    {
        for (QCommandLineOption* o : {&engine, &file, &host, &port, &database, &user, &password, &dir, &tables,
                                      &service, &establishment, &command, &answer, &force})
            p.addOption(*o);
    }
};

QString absolute(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString folderOf(const QCommandLineParser& p, const Options& o)
{
    if (!p.isSet(o.dir))
        return QDir::currentPath();
    const QString dir = p.value(o.dir);
    if (dir.trimmed().isEmpty())
        throw UsageError(QStringLiteral("--dir needs a folder"));
    return absolute(dir);
}

int intValue(const QCommandLineParser& p, const QCommandLineOption& o, int low, int high)
{
    bool ok = false;
    const int v = p.value(o).trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw UsageError(QStringLiteral("--%1 \"%2\": expected a whole number from %3 to %4")
                             .arg(o.names().constFirst(), p.value(o))
                             .arg(low)
                             .arg(high));
    return v;
}

QString pathValue(const QCommandLineParser& p, const QCommandLineOption& o, const QString& fallback)
{
    const QString v = p.isSet(o) ? absolute(p.value(o)) : fallback;
    if (p.isSet(o) && p.value(o).trimmed().isEmpty())
        throw UsageError(QStringLiteral("--%1 needs a path").arg(o.names().constFirst()));
    if (v.size() > MaxPath)
        throw UsageError(QStringLiteral("--%1: the path is longer than %2 characters")
                             .arg(o.names().constFirst())
                             .arg(MaxPath));
    return v;
}

InitOptions initOptions(const QCommandLineParser& p, const Options& o)
{
    InitOptions io;
    io.folder = folderOf(p, o);
    io.force = p.isSet(o.force);

    const QString engine = p.value(o.engine).trimmed().toLower();
    if (!p.isSet(o.engine))
        throw UsageError(QStringLiteral("init needs --engine sqlite or --engine postgres"));
    if (engine == QLatin1String("sqlite")) {
        for (const QCommandLineOption* pg : {&o.host, &o.port, &o.database, &o.user, &o.password})
            if (p.isSet(*pg))
                throw UsageError(QStringLiteral("--%1 is for --engine postgres").arg(pg->names().constFirst()));
        io.link.provider = DataLink::Provider::SQLite;
        if (p.isSet(o.file) && p.value(o.file).trimmed().isEmpty())
            throw UsageError(QStringLiteral("--file needs a path"));
        io.link.dataSource = p.isSet(o.file) ? absolute(p.value(o.file))
                                             : QDir(io.folder).filePath(QStringLiteral("kelvora.db"));
    } else if (engine == QLatin1String("postgres") || engine == QLatin1String("postgresql")) {
        if (p.isSet(o.file))
            throw UsageError(QStringLiteral("--file is for --engine sqlite"));
        io.link.provider = DataLink::Provider::PostgreSQL;
        io.link.host = p.isSet(o.host) ? p.value(o.host).trimmed() : QStringLiteral("127.0.0.1");
        if (io.link.host.isEmpty())
            throw UsageError(QStringLiteral("--host needs a server name"));
        io.link.port = p.isSet(o.port) ? intValue(p, o.port, 1, 65535) : 5432;
        io.link.database = p.isSet(o.database) ? p.value(o.database) : QStringLiteral("kelvora");
        io.link.user = p.isSet(o.user) ? p.value(o.user) : QStringLiteral("postgres");
        io.link.password = p.value(o.password);
        // The data link file holds its settings on one line.
        for (const QString& v : {io.link.host, io.link.user, io.link.password})
            if (v.contains(u'\n') || v.contains(u'\r'))
                throw UsageError(QStringLiteral("a server, user or password cannot hold a line break"));
    } else {
        throw UsageError(QStringLiteral("--engine \"%1\": expected sqlite or postgres").arg(p.value(o.engine)));
    }
    if (io.link.dataSource.contains(u'\n') || io.link.dataSource.contains(u'\r'))
        throw UsageError(QStringLiteral("the database file's path cannot hold a line break"));

    Setup::Settings& s = io.settings;
    s.tables = p.isSet(o.tables) ? intValue(p, o.tables, 1, MaxTables) : 12;
    s.servicePercent = 10;
    if (p.isSet(o.service)) {
        bool ok = false;
        QString text = p.value(o.service).trimmed();
        text.replace(u',', u'.');
        s.servicePercent = text.toDouble(&ok);
        if (!ok || s.servicePercent < 0 || s.servicePercent > 100)
            throw UsageError(QStringLiteral("--service \"%1\": expected a per cent from 0 to 100")
                                 .arg(p.value(o.service)));
    }
    s.establishment = p.isSet(o.establishment) ? p.value(o.establishment).trimmed() : DefaultEstablishment;
    if (s.establishment.isEmpty() || s.establishment.size() > MaxText)
        throw UsageError(QStringLiteral("--establishment: give a name of 1 to %1 characters").arg(MaxText));
    const QString fiscal = QDir(io.folder).filePath(QStringLiteral("fiscal"));
    s.commandPath = pathValue(p, o.command, QDir(fiscal).filePath(QStringLiteral("command.txt")));
    s.answerPath = pathValue(p, o.answer, QDir(fiscal).filePath(QStringLiteral("answer.txt")));
    io.makeFiscalFolder = !p.isSet(o.command) && !p.isSet(o.answer);
    return io;
}

QString runDemo(const QCommandLineParser& p, const Options& o)
{
    for (const QCommandLineOption* opt : {&o.engine, &o.file, &o.host, &o.port, &o.database, &o.user, &o.password,
                                          &o.tables, &o.service, &o.establishment, &o.command, &o.answer})
        if (p.isSet(*opt))
            throw UsageError(QStringLiteral("--%1 is an option of init, not of demo").arg(opt->names().constFirst()));
    const QString folder = folderOf(p, o);
    const QString udl = QDir(folder).filePath(QString::fromLatin1(DataLink::FileName));
    if (!QFileInfo::exists(udl))
        throw ToolError(QStringLiteral("%1 not found: make the database with kelvora-db init first")
                            .arg(QDir::toNativeSeparators(udl)));
    Connection::setDataLinkPath(udl);
    QString done;
    {
        TDM dm;
        done = DemoData::fill(dm, p.isSet(o.force));
    }
    Connection::close();
    return done;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvora-db"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes a database for Kelvora and fills a demo restaurant.\n\n"
        "  init   a new database (tables and the settings row) and kavshiri.udl in FOLDER\n"
        "  demo   a demo menu, waiters and cooks in the database of FOLDER/kavshiri.udl"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init or demo"));
    const QCommandLineOption help = parser.addHelpOption();
    Options options;
    options.addTo(parser);

    if (!parser.parse(QCoreApplication::arguments())) {
        printErr(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(help)) {
        printOut(parser.helpText());
        return 0;
    }

    try {
        const QStringList args = parser.positionalArguments();
        if (args.size() != 1)
            throw UsageError(QStringLiteral("expected one command, init or demo (see --help)"));
        if (args.first() == QLatin1String("init")) {
            printOut(initDatabase(initOptions(parser, options)));
        } else if (args.first() == QLatin1String("demo")) {
            printOut(runDemo(parser, options));
        } else {
            throw UsageError(QStringLiteral("unknown command \"%1\": expected init or demo").arg(args.first()));
        }
    } catch (const UsageError& e) {
        printErr(e.text());
        return ExitUsage;
    } catch (const ToolError& e) {
        printErr(e.text());
        return ExitFailure;
    } catch (const DbError& e) {
        printErr(e.text());
        return ExitFailure;
    }
    return 0;
}
