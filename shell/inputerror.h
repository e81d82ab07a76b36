#pragma once

#include <QString>
#include <stdexcept>

// A user's entry refused before anything was written (a quantity that is no
// number). The error guard shows its Georgian text like any other error.
class InputError : public std::runtime_error
{
public:
    // A form refused as a whole: a box left empty or a value that is no number.
    static inline const QString CheckAllFieldsText = QStringLiteral("შეამოწმეთ ყველა ველი!!!");

    explicit InputError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
