// kelvora-db: makes a database for the program, fills a demo restaurant, checks
// and backs up the database of a kavshiri.udl.
//
//   kelvora-db init [--engine sqlite|postgres] [options]  new database + kavshiri.udl
//   kelvora-db demo [--dir FOLDER] [--force]              demo menu, waiters, cooks
//   kelvora-db check [--dir FOLDER]                       reachable? engine, version, orders; each server
//   kelvora-db standby --data DIR --host H [--port P] [--start] [--sync] [--dir FOLDER]
//                                                         this machine becomes the primary's standby
//   kelvora-db promote [--dir FOLDER] [--host H --port P] the standby takes over from a lost primary
//   kelvora-db backup [--dir FOLDER] [--to FILE]          online copy of an SQLite database

#include "backupdatabase.h"
#include "checkdatabase.h"
#include "demodata.h"
#include "initdatabase.h"
#include "standby.h"

#include "tools/shared/commandline.h"
#include "tools/shared/toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

using CommandLine::absolute;
using CommandLine::optionName;

const QString DefaultEstablishment = QStringLiteral("კელვორა");
constexpr int MaxTables = 500;
constexpr int MaxText = 50;   // Parametres.dawesebuleba
constexpr int MaxPath = 255;  // Parametres.COMMAND, ANSWER

struct Options
{
    QCommandLineOption engine{QStringLiteral("engine"), QStringLiteral("init: sqlite (default) or postgres."),
                              QStringLiteral("ENGINE")};
    QCommandLineOption file{QStringLiteral("file"),
                            QStringLiteral("init, sqlite: the database file (default FOLDER/kelvora.db)."),
                            QStringLiteral("PATH")};
    QCommandLineOption host{QStringLiteral("host"),
                            QStringLiteral("init, postgres: server (default 127.0.0.1). standby: this machine's "
                                           "address as the stations reach it. promote: the standby to promote."),
                            QStringLiteral("H")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("init, postgres: port (default 5432). standby: the port of the standby's "
                                           "server (default 5432). promote: the standby's port."),
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
                                            "demo: empty every table but the settings first. "
                                            "backup: replace an existing copy.")};
    QCommandLineOption to{QStringLiteral("to"),
                          QStringLiteral("backup: the copy to write (default kelvora-DATE-TIME.db in the "
                                         "current folder)."),
                          QStringLiteral("PATH")};

    QCommandLineOption data{QStringLiteral("data"),
                            QStringLiteral("standby: the standby's data folder, new or empty (Debian: the "
                                           "emptied /var/lib/postgresql/15/main of its stopped cluster)."),
                            QStringLiteral("DIR")};
    QCommandLineOption start{QStringLiteral("start"),
                             QStringLiteral("standby: start the standby's server from DIR and wait until it has "
                                            "caught up.")};
    QCommandLineOption sync{QStringLiteral("sync"),
                            QStringLiteral("standby: synchronous replication: every commit on the primary waits "
                                           "until the standby has it, so a lost primary loses nothing; a dead "
                                           "standby then stops every write.")};

    void addTo(QCommandLineParser& p)
    {
        for (QCommandLineOption* o : {&engine, &file, &host, &port, &database, &user, &password, &dir, &tables,
                                      &service, &establishment, &command, &answer, &force, &to, &data, &start, &sync})
            p.addOption(*o);
    }
};

QString folderOf(const QCommandLineParser& p, const Options& o)
{
    if (!p.isSet(o.dir))
        return QDir::currentPath();
    const QString dir = p.value(o.dir);
    if (dir.trimmed().isEmpty())
        throw UsageError(QStringLiteral("--dir needs a folder"));
    return absolute(dir);
}

QString pathValue(const QCommandLineParser& p, const QCommandLineOption& o, const QString& fallback)
{
    const QString v = p.isSet(o) ? CommandLine::pathOption(p, o) : fallback;
    if (v.size() > MaxPath)
        throw UsageError(QStringLiteral("%1: the path is longer than %2 characters")
                             .arg(optionName(o))
                             .arg(MaxPath));
    return v;
}

InitOptions initOptions(const QCommandLineParser& p, const Options& o)
{
    InitOptions io;
    io.folder = folderOf(p, o);
    io.force = p.isSet(o.force);

    // A newcomer's first run, with no options, makes an SQLite database here.
    const QString engine = p.isSet(o.engine) ? p.value(o.engine).trimmed().toLower() : QStringLiteral("sqlite");
    if (engine == QLatin1String("sqlite")) {
        for (const QCommandLineOption* pg : {&o.host, &o.port, &o.database, &o.user, &o.password})
            if (p.isSet(*pg))
                throw UsageError(QStringLiteral("%1 is for --engine postgres").arg(optionName(*pg)));
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
        io.link.port = p.isSet(o.port) ? CommandLine::intOption(p, o.port, 1, 65535) : 5432;
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
    s.tables = p.isSet(o.tables) ? CommandLine::intOption(p, o.tables, 1, MaxTables) : 12;
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

// Refuses the options `command` does not take.
void refuseOptions(const QCommandLineParser& p, const QString& command,
                   std::initializer_list<const QCommandLineOption*> others, const QString& owner)
{
    for (const QCommandLineOption* opt : others)
        if (p.isSet(*opt))
            throw UsageError(QStringLiteral("%1 is an option of %2, not of %3").arg(optionName(*opt), owner, command));
}

QString udlOf(const QCommandLineParser& p, const Options& o)
{
    const QString udl = QDir(folderOf(p, o)).filePath(QString::fromLatin1(DataLink::FileName));
    if (!QFileInfo::exists(udl))
        throw ToolError(QStringLiteral("%1 not found: make the database with kelvora-db init first")
                            .arg(QDir::toNativeSeparators(udl)));
    return udl;
}

QString runDemo(const QCommandLineParser& p, const Options& o)
{
    const QString demo = QStringLiteral("demo");
    refuseOptions(p, demo,
                  {&o.engine, &o.file, &o.host, &o.port, &o.database, &o.user, &o.password, &o.tables, &o.service,
                   &o.establishment, &o.command, &o.answer},
                  QStringLiteral("init"));
    refuseOptions(p, demo, {&o.to}, QStringLiteral("backup"));
    refuseOptions(p, demo, {&o.data, &o.start, &o.sync}, QStringLiteral("standby"));
    Connection::setDataLinkPath(udlOf(p, o));
    QString done;
    {
        TDM dm;
        done = DemoData::fill(dm, p.isSet(o.force));
    }
    Connection::close();
    return done;
}

// check and backup take only the folder (and backup its target).
void refuseForLink(const QCommandLineParser& p, const Options& o, const QString& command)
{
    refuseOptions(p, command,
                  {&o.engine, &o.file, &o.host, &o.port, &o.database, &o.user, &o.password, &o.tables, &o.service,
                   &o.establishment, &o.command, &o.answer},
                  QStringLiteral("init"));
}

int runCheck(const QCommandLineParser& p, const Options& o)
{
    const QString check = QStringLiteral("check");
    refuseForLink(p, o, check);
    refuseOptions(p, check, {&o.force, &o.to}, QStringLiteral("init, demo or backup"));
    refuseOptions(p, check, {&o.data, &o.start, &o.sync}, QStringLiteral("standby"));
    const CheckResult r = checkDatabase(udlOf(p, o));
    if (r.reachable)
        CommandLine::printOut(r.line);
    else
        CommandLine::printErr(r.line);
    for (const QString& line : r.details)
        CommandLine::printOut(line);
    return r.reachable ? 0 : CommandLine::ExitFailure;
}

QString runStandby(const QCommandLineParser& p, const Options& o)
{
    const QString standby = QStringLiteral("standby");
    refuseOptions(p, standby,
                  {&o.engine, &o.file, &o.database, &o.user, &o.password, &o.tables, &o.service, &o.establishment,
                   &o.command, &o.answer},
                  QStringLiteral("init"));
    refuseOptions(p, standby, {&o.force, &o.to}, QStringLiteral("init, demo or backup"));
    if (!p.isSet(o.data))
        throw UsageError(QStringLiteral("standby needs --data, the standby's new data folder"));
    if (!p.isSet(o.host) || p.value(o.host).trimmed().isEmpty())
        throw UsageError(QStringLiteral("standby needs --host, this machine's address as the stations reach it"));
    StandbyOptions so;
    so.udl = udlOf(p, o);
    so.dataDir = CommandLine::pathOption(p, o.data);
    so.standby = {p.value(o.host).trimmed(), p.isSet(o.port) ? CommandLine::intOption(p, o.port, 1, 65535) : 5432};
    if (so.standby.host.contains(u',') || so.standby.host.contains(u';') || so.standby.host.contains(u'\''))
        throw UsageError(QStringLiteral("--host: one server name or address"));
    so.start = p.isSet(o.start);
    so.synchronous = p.isSet(o.sync);
    return makeStandby(so);
}

QString runPromote(const QCommandLineParser& p, const Options& o)
{
    const QString promote = QStringLiteral("promote");
    refuseForLink(p, o, promote);
    refuseOptions(p, promote, {&o.force, &o.to}, QStringLiteral("init, demo or backup"));
    refuseOptions(p, promote, {&o.data, &o.start, &o.sync}, QStringLiteral("standby"));
    std::optional<DataLink::Server> which;
    if (p.isSet(o.host) != p.isSet(o.port))
        throw UsageError(QStringLiteral("promote: give both --host and --port, or neither"));
    if (p.isSet(o.host))
        which = DataLink::Server{p.value(o.host).trimmed(), CommandLine::intOption(p, o.port, 1, 65535)};
    return promoteStandby(udlOf(p, o), which);
}

QString runBackup(const QCommandLineParser& p, const Options& o)
{
    refuseForLink(p, o, QStringLiteral("backup"));
    refuseOptions(p, QStringLiteral("backup"), {&o.data, &o.start, &o.sync}, QStringLiteral("standby"));
    const QString udl = udlOf(p, o);
    const QString to = p.isSet(o.to) ? CommandLine::pathOption(p, o.to)
                                     : absolute(QStringLiteral("kelvora-%1.db")
                                                    .arg(QDateTime::currentDateTime().toString(
                                                        QStringLiteral("yyyyMMdd-HHmmss"))));
    return backupDatabase(DataLink::read(udl), to, p.isSet(o.force));
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvora-db"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes a database for Kelvora, fills a demo restaurant, checks and backs up a database.\n\n"
        "  init    a new database (tables and the settings row) and kavshiri.udl in FOLDER;\n"
        "          with no options an SQLite database kelvora.db in the current folder\n"
        "  demo    a demo menu, waiters and cooks in the database of FOLDER/kavshiri.udl\n"
        "  check   opens FOLDER/kavshiri.udl as the program does and says in one line whether\n"
        "          the database is reachable, its engine and version and how many orders it holds\n"
        "  backup  a consistent copy of the SQLite database of FOLDER/kavshiri.udl, safe while\n"
        "          stations work (for PostgreSQL use pg_dump)\n"
        "  standby on a second machine: makes DIR a streaming standby of the PostgreSQL primary of\n"
        "          FOLDER/kavshiri.udl and adds it to the file\n"
        "  promote when the primary is lost: the standby becomes the primary; the stations follow it"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init, demo, check, backup, standby or promote"));
    parser.addHelpOption();
    Options options;
    options.addTo(parser);

    return CommandLine::run(parser, [&] {
        const QStringList args = parser.positionalArguments();
        if (args.size() != 1)
            throw UsageError(QStringLiteral("expected one command, init, demo, check, backup, standby or promote (see --help)"));
        const QString& command = args.first();
        if (command == QLatin1String("init")) {
            refuseOptions(parser, command, {&options.to}, QStringLiteral("backup"));
            refuseOptions(parser, command, {&options.data, &options.start, &options.sync}, QStringLiteral("standby"));
            CommandLine::printOut(initDatabase(initOptions(parser, options)));
        } else if (command == QLatin1String("demo")) {
            CommandLine::printOut(runDemo(parser, options));
        } else if (command == QLatin1String("check")) {
            return runCheck(parser, options);
        } else if (command == QLatin1String("backup")) {
            CommandLine::printOut(runBackup(parser, options));
        } else if (command == QLatin1String("standby")) {
            CommandLine::printOut(runStandby(parser, options));
        } else if (command == QLatin1String("promote")) {
            CommandLine::printOut(runPromote(parser, options));
        } else {
            throw UsageError(
                QStringLiteral("unknown command \"%1\": expected init, demo, check, backup, standby or promote").arg(command));
        }
        return 0;
    });
}
