#pragma once

#include <QString>
#include <stdexcept>

// A user's entry refused before anything was written (a quantity that is no
// number). The error guard shows its Georgian text like any other error.
class InputError : public std::runtime_error
{
public:
    explicit InputError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
