#pragma once

#include <QString>
#include <stdexcept>

// A failure of a command-line tool that is not the engine's: a file in the way,
// a folder that cannot be written. The tool prints the text and exits with 1.
class ToolError : public std::runtime_error
{
public:
    explicit ToolError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A command line the tool cannot run: the tool prints the text and exits with 2.
class UsageError : public ToolError
{
    using ToolError::ToolError;
};
