#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

// A stand-in for the fiscal printer driver: watches the command file, takes each
// command (removes the file), checks its two lines and, after the chosen delay,
// writes the answer file whose characters 14 and 15 hold the result code:
//
//     FISCAL;RESULT00;RECEIPT 000001;SUM 12.50<CR><LF>
//
// Every exchange is appended to an optional journal: time, amount, answer.
class FiscalDriver : public QObject
{
    Q_OBJECT

public:
    enum class Answer { Normal,
                        None,
                        Short,
                        Garbled };

    // How the answer file comes into being: whole by rename, or written into
    // the file itself in pieces with a pause between them.
    enum class Writing { Whole,
                         Split,      // the first ten characters, then the rest
                         Trickle };  // one character at a time

    static constexpr const char* MalformedCode = "01";
    static constexpr std::chrono::milliseconds PollInterval{50};

    struct Settings
    {
        QString commandPath;
        QString answerPath;
        QString journalPath;  // empty: no journal
        QByteArray code = "00";
        // The answer is written this long after the command file was written
        // (its modification time), or at once when that moment has passed.
        std::chrono::milliseconds delay{0};
        Answer answer = Answer::Normal;
        Writing writing = Writing::Whole;
        std::chrono::milliseconds pause{0};  // between the pieces of the answer
        bool once = false;                   // end after one exchange
    };

    explicit FiscalDriver(const Settings& settings, QObject* parent = nullptr);

    void start();

    // The price text of a well-formed command, or nothing.
    static std::optional<QByteArray> priceOf(const QByteArray& command);
    // "FISCAL;RESULT" followed by the code: the code's characters are 14 and 15.
    static QByteArray answerLine(const QByteArray& code, const QByteArray& rest);

Q_SIGNALS:
    void finished(int exitCode);

private:
    void poll();
    void take();
    void answer();
    void writeNextPiece();
    void done();
    bool writeAtomically(const QString& path, const QByteArray& bytes, const char* what);
    bool appendJournal(const QByteArray& price, const QByteArray& outcome);
    void fail(const QString& text);

    Settings m_settings;
    QTimer m_poll;
    QTimer m_due;
    QTimer m_piece;
    QByteArray m_pending;     // the answer waiting for its moment
    qsizetype m_written = 0;  // of m_pending, when written in pieces
    bool m_busy = false;
    int m_receipt = 0;
};
