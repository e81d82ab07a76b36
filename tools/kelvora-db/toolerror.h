#pragma once

#include <QString>
#include <stdexcept>

// A failure of kelvora-db that is not the engine's: a bad option, a file in the
// way, a folder that cannot be written. main() prints the text and exits non-zero.
class ToolError : public std::runtime_error
{
public:
    explicit ToolError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
