// kelvora-fiscal-sim: a stand-in for the fiscal printer driver, for trying the
// program and for its tests without a printer.
//
//   kelvora-fiscal-sim --command PATH --answer PATH [options]
//   kelvora-fiscal-sim --udl FOLDER/kavshiri.udl [options]   paths from the settings row

#include "fiscaldriver.h"

#include "tools/shared/commandline.h"
#include "tools/shared/toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <csignal>

namespace {

constexpr int MaxDelay = 600000;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void requestStop(int)
{
    g_stop = 1;
}

struct Options
{
    QCommandLineOption command{QStringLiteral("command"), QStringLiteral("The command file to watch."),
                               QStringLiteral("PATH")};
    QCommandLineOption answer{QStringLiteral("answer"), QStringLiteral("The answer file to write."),
                              QStringLiteral("PATH")};
    QCommandLineOption udl{QStringLiteral("udl"),
                           QStringLiteral("Read both paths from the settings row (COMMAND, ANSWER) of the "
                                          "database this data link file points at."),
                           QStringLiteral("PATH")};
    QCommandLineOption code{QStringLiteral("code"),
                            QStringLiteral("The two-character code of a well-formed command (default 00). "
                                           "A malformed command is answered with %1.")
                                .arg(QLatin1String(FiscalDriver::MalformedCode)),
                            QStringLiteral("XX")};
    QCommandLineOption delay{QStringLiteral("delay"),
                             QStringLiteral("Write the answer MS milliseconds after the command file was "
                                            "written (default 0)."),
                             QStringLiteral("MS")};
    QCommandLineOption noAnswer{QStringLiteral("no-answer"),
                                QStringLiteral("Take the command but never answer.")};
    QCommandLineOption shortAnswer{QStringLiteral("short"),
                                   QStringLiteral("Answer with 14 characters: the code's first one only.")};
    QCommandLineOption garbled{QStringLiteral("garbled"), QStringLiteral("Answer with random bytes.")};
    QCommandLineOption split{QStringLiteral("split"),
                             QStringLiteral("Write the answer into the file itself in two pieces, its first ten "
                                            "characters and MS milliseconds later the rest."),
                             QStringLiteral("MS")};
    QCommandLineOption trickle{QStringLiteral("trickle"),
                               QStringLiteral("Write the answer into the file itself one character every MS "
                                              "milliseconds."),
                               QStringLiteral("MS")};
    QCommandLineOption once{QStringLiteral("once"), QStringLiteral("End after one exchange.")};
    QCommandLineOption journal{QStringLiteral("journal"),
                               QStringLiteral("Append one line per exchange: time, amount (- for a malformed "
                                              "command) and answer (its code, none, short or garbled), "
                                              "separated by tabs."),
                               QStringLiteral("PATH")};

    void addTo(QCommandLineParser& p)
    {
        for (QCommandLineOption* o :
             {&command, &answer, &udl, &code, &delay, &noAnswer, &shortAnswer, &garbled, &split, &trickle, &once, &journal})
            p.addOption(*o);
    }
};

using CommandLine::pathOption;

std::chrono::milliseconds millisecondsOption(const QCommandLineParser& p, const QCommandLineOption& o)
{
    bool ok = false;
    const int ms = p.value(o).trimmed().toInt(&ok);
    if (!ok || ms < 0 || ms > MaxDelay)
        throw UsageError(QStringLiteral("--%1 \"%2\": expected milliseconds from 0 to %3")
                             .arg(o.names().constFirst(), p.value(o))
                             .arg(MaxDelay));
    return std::chrono::milliseconds(ms);
}

void pathsFromDatabase(const QString& udl, FiscalDriver::Settings& s)
{
    if (!QFileInfo::exists(udl))
        throw UsageError(QStringLiteral("%1 not found").arg(QDir::toNativeSeparators(udl)));
    Connection::setDataLinkPath(udl);
    {
        TDM dm;
        dm.setting->open();
        s.commandPath = dm.setting->asString(QStringLiteral("COMMAND"));
        s.answerPath = dm.setting->asString(QStringLiteral("ANSWER"));
    }
    Connection::close();
    if (s.commandPath.isEmpty() || s.answerPath.isEmpty())
        throw UsageError(QStringLiteral("the settings row holds no command or answer path"));
}

FiscalDriver::Settings settingsFrom(const QCommandLineParser& p, const Options& o)
{
    FiscalDriver::Settings s;
    if (p.isSet(o.udl)) {
        if (p.isSet(o.command) || p.isSet(o.answer))
            throw UsageError(QStringLiteral("give either --udl or --command and --answer"));
        pathsFromDatabase(pathOption(p, o.udl), s);
    } else {
        if (!p.isSet(o.command) || !p.isSet(o.answer))
            throw UsageError(QStringLiteral("give --command and --answer, or --udl (see --help)"));
        s.commandPath = pathOption(p, o.command);
        s.answerPath = pathOption(p, o.answer);
    }
    if (s.commandPath == s.answerPath)
        throw UsageError(QStringLiteral("the command and answer files must differ"));

    if (p.isSet(o.code)) {
        const QString code = p.value(o.code);
        bool printable = code.size() == 2;
        for (QChar c : code)
            printable = printable && c.unicode() > 0x20 && c.unicode() < 0x7f;
        if (!printable)
            throw UsageError(QStringLiteral("--code \"%1\": expected two printable ASCII characters").arg(code));
        s.code = code.toLatin1();
    }
    if (p.isSet(o.delay))
        s.delay = millisecondsOption(p, o.delay);
    int kinds = 0;
    if (p.isSet(o.noAnswer)) {
        s.answer = FiscalDriver::Answer::None;
        ++kinds;
    }
    if (p.isSet(o.shortAnswer)) {
        s.answer = FiscalDriver::Answer::Short;
        ++kinds;
    }
    if (p.isSet(o.garbled)) {
        s.answer = FiscalDriver::Answer::Garbled;
        ++kinds;
    }
    if (kinds > 1)
        throw UsageError(QStringLiteral("--no-answer, --short and --garbled exclude each other"));
    if (p.isSet(o.split) && p.isSet(o.trickle))
        throw UsageError(QStringLiteral("--split and --trickle exclude each other"));
    if (p.isSet(o.split)) {
        s.writing = FiscalDriver::Writing::Split;
        s.pause = millisecondsOption(p, o.split);
    } else if (p.isSet(o.trickle)) {
        s.writing = FiscalDriver::Writing::Trickle;
        s.pause = millisecondsOption(p, o.trickle);
    }
    s.once = p.isSet(o.once);
    if (p.isSet(o.journal))
        s.journalPath = pathOption(p, o.journal);
    return s;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvora-fiscal-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stands in for the fiscal printer driver: takes each command file, checks its two lines and\n"
        "writes an answer file whose characters 14 and 15 hold the result code, for example\n"
        "  FISCAL;RESULT00;RECEIPT 000001;SUM 12.50\n"
        "Ends on SIGTERM or SIGINT, or after one exchange with --once."));
    parser.addHelpOption();
    Options options;
    options.addTo(parser);

    return CommandLine::run(parser, [&] {
        if (!parser.positionalArguments().isEmpty())
            throw UsageError(
                QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));
        const FiscalDriver::Settings settings = settingsFrom(parser, options);

        std::signal(SIGTERM, requestStop);
        std::signal(SIGINT, requestStop);
        QTimer stopCheck;
        QObject::connect(&stopCheck, &QTimer::timeout, &app, [] {
            if (g_stop)
                QCoreApplication::exit(0);
        });
        stopCheck.start(FiscalDriver::PollInterval);

        FiscalDriver driver(settings);
        QObject::connect(&driver, &FiscalDriver::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
        driver.start();
        return app.exec();
    });
}
