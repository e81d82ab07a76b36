#pragma once

#include <QString>
#include <functional>

class QCommandLineOption;
class QCommandLineParser;

// The command-line habits the tools share: messages on stderr behind the
// tool's name, --help on stdout, and exit code 2 for a command line the tool
// cannot run, 1 for a failure while running it.
namespace CommandLine {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// "NAME: text" on stderr, NAME being the application's name.
void printErr(const QString& text);
void printOut(const QString& text);

// Parses the application's arguments into `parser` (given its options and
// the help option), prints the help or the parser's error, and otherwise runs
// `body`, turning UsageError, ToolError and DbError into their message and
// exit code. Returns the exit code.
int run(QCommandLineParser& parser, const std::function<int()>& body);

// `path` made absolute against the current folder.
QString absolute(const QString& path);
// The option's value as an absolute path; throws UsageError when it is empty.
QString pathOption(const QCommandLineParser& parser, const QCommandLineOption& option);
// The option's value as a whole number within [low, high]; throws UsageError.
int intOption(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high);
// The option's first name with its dashes, for messages: "--tables".
QString optionName(const QCommandLineOption& option);

}  // namespace CommandLine
