#include "tools/shared/commandline.h"
#include "tools/shared/toolerror.h"

#include "data/dberror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

void CommandLine::printErr(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
}

void CommandLine::printOut(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

int CommandLine::run(QCommandLineParser& parser, const std::function<int()>& body)
{
    if (!parser.parse(QCoreApplication::arguments())) {
        printErr(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText());
        return 0;
    }
    try {
        return body();
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
}

QString CommandLine::absolute(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString CommandLine::optionName(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constFirst();
}

QString CommandLine::pathOption(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const QString v = parser.value(option);
    if (v.trimmed().isEmpty())
        throw UsageError(QStringLiteral("%1 needs a path").arg(optionName(option)));
    return absolute(v);
}

int CommandLine::intOption(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high)
{
    bool ok = false;
    const int v = parser.value(option).trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw UsageError(QStringLiteral("%1 \"%2\": expected a whole number from %3 to %4")
                             .arg(optionName(option), parser.value(option))
                             .arg(low)
                             .arg(high));
    return v;
}
