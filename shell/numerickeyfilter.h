#pragma once

#include <QObject>
#include <functional>

class QKeyEvent;
class QLineEdit;

// The key rule of the quantity, quantity-change, prepayment, receiving quantity
// and price boxes: "." and "," become the system's decimal separator, and only
// digits, Backspace and that separator pass. Keys that type nothing (Enter,
// arrows, Delete) and selecting, copying and cutting go on as usual; pasted text
// goes in only when all of it passes, its "." and "," become the separator.
class NumericKeyFilter : public QObject
{
    Q_OBJECT

public:
    // Installs the rule on the box; the filter is owned by the box.
    static void install(QLineEdit* box);
    // The same, with every key press on the box handed to a screen's own key
    // handler (its "Edit1KeyPress"), which applies the rule through keyPress().
    static void installHandler(QLineEdit* box, std::function<bool(QKeyEvent*)> handler);
    // The rule for one key press on `box`: true when the key goes no further
    // (dropped, or typed here as the decimal separator).
    static bool keyPress(QLineEdit* box, QKeyEvent* key);

    // What a typed character becomes: the separator for "." and ",", the
    // character itself for a digit or Backspace, nothing (a null QChar) otherwise.
    static QChar filter(QChar typed);
    // A box without the key rule (a grid's editor) read as if it had it: "."
    // and "," become the system's decimal separator.
    static QString normalized(const QString& typed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    std::function<bool(QKeyEvent*)> m_handler;
};
