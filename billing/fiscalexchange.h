#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <chrono>

class TDM;

// The exchange with the fiscal printer driver, a separate program that watches a
// command file and answers in an answer file; both paths live in the settings row
// (Parametres.COMMAND and ANSWER). One exchange registers one sale of an amount:
// write the two-line command, wait for the answer, read its result code.
//
// What the status of an exchange tells the caller:
//   "00"       registered.
//   "oldfile"  certainly not registered: the driver has not taken the last
//              command, so nothing was written.
//   "failed"   certainly not registered: the old answer could not be removed or
//              the command could not be written; nothing is left for the driver.
//   "off"      certainly not registered: the driver never took the command, and
//              it was withdrawn, so it cannot be registered later either.
//   "unknown"  may have been registered: the driver took the command but gave no
//              whole answer within the wait.
//   any other  the driver's own code: it refused the registration.
class FiscalExchange
{
public:
    // Outputs other than the driver's own two-character code.
    static constexpr const char* StatusOldFile = "oldfile";  // the driver has not taken the last command
    static constexpr const char* StatusFailed = "failed";    // the exchange could not be started
    static constexpr const char* StatusOk = "ok";            // command written, waiting
    static constexpr const char* StatusOff = "off";          // command never taken, withdrawn
    static constexpr const char* StatusUnknown = "unknown";  // command taken, no whole answer in time
    static constexpr const char* SuccessCode = "00";

    struct Paths
    {
        QString command;
        QString answer;
    };

    // How the answer is awaited: the driver's checks, the first at once, then
    // one every `interval`, `checks` in all (by default the last one 19.5 s
    // after the first), bound the wait; between them the answer file is looked
    // at every `poll`. The result code stands at characters 14 and 15: an answer
    // that holds them is read at once, as nothing written after can change them.
    // A shorter answer is read once it has stayed the same, and not empty, for
    // `settle`: a driver may write it in pieces. The last answer found may
    // settle until `settle` after the last check.
    struct Timing
    {
        std::chrono::milliseconds interval{500};
        int checks = 40;
        std::chrono::milliseconds settle{500};
        std::chrono::milliseconds poll{20};
    };

    // The wait indicator: a small modal window counting down the seconds left.
    // Automatic shows it when there is a visible window to hold it (the one
    // given to setWindow(), or else the active modal or active window).
    enum class Indicator { Automatic,
                           Hidden };

    FiscalExchange();  // the driver's timing, as the program uses it
    explicit FiscalExchange(Timing timing, Indicator indicator = Indicator::Automatic);

    void setWindow(QWidget* window) { m_window = window; }

    // The paths of the settings row, through the query `setting` (opened if closed).
    // Throws DbError.
    static Paths pathsFrom(TDM& dm);

    // DPrint: one exchange at the paths of the settings row. Returns true when the
    // driver answered "00"; `status` gets one of the outcomes above.
    bool DPrint(TDM& dm, double amount, QString& status);
    // The same exchange at the given paths.
    bool exchange(const Paths& paths, double amount, QString& status);

    // How many times the last exchange looked for the answer file (0 for "oldfile"
    // and "failed").
    int checksMade() const { return m_checksMade; }

    // True for the outcomes after which the sale is surely not registered, now or
    // later: "oldfile", "failed" and "off".
    static bool certainlyNotRegistered(const QString& status);

    // The price text: exactly two decimals rounded half away from zero, a point
    // whatever the user's settings, no grouping, a leading minus (0.125 -> 0.13).
    static QString correctnum(double amount);
    // The two command lines, each ended by CR LF, as the bytes written.
    static QByteArray commandText(double amount);
    // Characters 14 and 15 (counting from 1) of the answer read as lines joined by
    // CR LF; fewer when the answer is shorter.
    static QString resultCode(const QByteArray& answer);

private:
    enum class Wait { Answered,
                      NoAnswer,
                      Growing };
    Wait awaitAnswer(const Paths& paths, QByteArray& answer);
    static bool withdraw(const QString& commandPath);
    QWidget* indicatorWindow() const;

    Timing m_timing;
    Indicator m_indicator;
    QPointer<QWidget> m_window;
    int m_checksMade = 0;
};
