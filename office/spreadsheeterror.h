#pragma once

#include <QString>
#include <stdexcept>

// A failure reported by the spreadsheet application (it cannot be started, a
// template it cannot load, a lost connection). The text is the application's own.
class SpreadsheetError : public std::runtime_error
{
public:
    explicit SpreadsheetError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
