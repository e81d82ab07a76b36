#include "fiscaldriver.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>

namespace {

void printErr(const QString& text)
{
    std::fprintf(stderr, "kelvora-fiscal-sim: %s\n", text.toLocal8Bit().constData());
}

void printOut(const QString& text)
{
    std::fprintf(stdout, "kelvora-fiscal-sim: %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

}  // namespace

FiscalDriver::FiscalDriver(const Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
    m_poll.setInterval(PollInterval);
    connect(&m_poll, &QTimer::timeout, this, &FiscalDriver::poll);
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, &FiscalDriver::answer);
    m_piece.setSingleShot(true);
    m_piece.setTimerType(Qt::PreciseTimer);
    connect(&m_piece, &QTimer::timeout, this, &FiscalDriver::writeNextPiece);
}

void FiscalDriver::start()
{
    m_poll.start();
    printOut(QStringLiteral("watching %1").arg(m_settings.commandPath));
    poll();
}

std::optional<QByteArray> FiscalDriver::priceOf(const QByteArray& command)
{
    static const QRegularExpression shape(QStringLiteral(
        "\\AS,1,______,_,__;Dasaxeleba;(-?(?:0|[1-9][0-9]*)\\.[0-9]{2});1\\.000;1;1;1;0;0;\\r\\n"
        "T,1,______,_,__;\\r\\n\\z"));
    const QRegularExpressionMatch m = shape.match(QString::fromLatin1(command));
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLatin1();
}

QByteArray FiscalDriver::answerLine(const QByteArray& code, const QByteArray& rest)
{
    return QByteArrayLiteral("FISCAL;RESULT") + code + rest + QByteArrayLiteral("\r\n");
}

void FiscalDriver::poll()
{
    if (!m_busy && QFileInfo::exists(m_settings.commandPath))
        take();
}

void FiscalDriver::take()
{
    QFile file(m_settings.commandPath);
    const QDateTime written = QFileInfo(file).lastModified();
    if (!file.open(QIODevice::ReadOnly))
        return;  // gone already, or not readable yet: the next poll sees
    const QByteArray command = file.readAll();
    file.close();
    if (!file.remove()) {
        // Taking a command means removing it: one that went meanwhile was
        // withdrawn by the program and is not registered.
        if (!QFileInfo::exists(m_settings.commandPath)) {
            printOut(QStringLiteral("withdrawn before it was taken"));
            return;
        }
        fail(QStringLiteral("cannot remove %1: %2").arg(m_settings.commandPath, file.errorString()));
        return;
    }

    const std::optional<QByteArray> price = priceOf(command);
    const QByteArray code = price ? m_settings.code : QByteArray(MalformedCode);
    QByteArray outcome;
    switch (m_settings.answer) {
    case Answer::Normal:
        ++m_receipt;
        m_pending = price ? answerLine(code, QByteArrayLiteral(";RECEIPT ") + QByteArray::number(m_receipt).rightJustified(6, '0') + QByteArrayLiteral(";SUM ") + *price)
                          : answerLine(code, QByteArrayLiteral(";ERROR COMMAND"));
        outcome = code;
        break;
    case Answer::Short:
        // The code's first character only, and no line break: 14 characters.
        m_pending = QByteArrayLiteral("FISCAL;RESULT") + code.left(1);
        outcome = "short";
        break;
    case Answer::Garbled: {
        // Random bytes, but never a '0', so that they cannot read as success.
        m_pending.resize(48);
        for (char& c : m_pending) {
            do
                c = char(QRandomGenerator::global()->bounded(1, 256));
            while (c == '0');
        }
        outcome = "garbled";
        break;
    }
    case Answer::None:
        m_pending.clear();
        outcome = "none";
        break;
    }
    if (!appendJournal(price.value_or(QByteArrayLiteral("-")), outcome))
        return;
    printOut(QStringLiteral("took %1: %2")
                 .arg(QString::fromLatin1(price.value_or(QByteArrayLiteral("a malformed command"))),
                      QString::fromLatin1(outcome)));

    if (m_settings.answer == Answer::None) {
        if (m_settings.once)
            emit finished(0);
        return;
    }
    m_busy = true;
    const qint64 due = written.isValid() ? written.toMSecsSinceEpoch() + m_settings.delay.count()
                                         : QDateTime::currentMSecsSinceEpoch() + m_settings.delay.count();
    m_due.start(std::chrono::milliseconds(std::max<qint64>(0, due - QDateTime::currentMSecsSinceEpoch())));
}

void FiscalDriver::answer()
{
    if (m_settings.writing != Writing::Whole) {
        m_written = 0;
        writeNextPiece();
        return;
    }
    if (!writeAtomically(m_settings.answerPath, m_pending, "answer"))
        return;
    done();
}

void FiscalDriver::writeNextPiece()
{
    qsizetype size = 1;
    if (m_settings.writing == Writing::Split)
        size = m_written == 0 ? 10 : m_pending.size() - m_written;
    const QByteArray piece = m_pending.mid(m_written, size);
    QFile file(m_settings.answerPath);
    const QIODevice::OpenMode mode = m_written == 0 ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append;
    if (!file.open(mode) || file.write(piece) != piece.size() || !file.flush()) {
        fail(QStringLiteral("cannot write the answer file %1: %2").arg(m_settings.answerPath, file.errorString()));
        return;
    }
    file.close();
    m_written += piece.size();
    if (m_written < m_pending.size())
        m_piece.start(m_settings.pause);
    else
        done();
}

void FiscalDriver::done()
{
    m_busy = false;
    if (m_settings.once) {
        m_poll.stop();  // no second command before the program ends
        emit finished(0);
    }
}

bool FiscalDriver::writeAtomically(const QString& path, const QByteArray& bytes, const char* what)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        fail(QStringLiteral("cannot write the %1 file %2: %3")
                 .arg(QLatin1String(what), path, file.errorString()));
        return false;
    }
    return true;
}

bool FiscalDriver::appendJournal(const QByteArray& price, const QByteArray& outcome)
{
    if (m_settings.journalPath.isEmpty())
        return true;
    QFile journal(m_settings.journalPath);
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1() + '\t' + price + '\t' + outcome + '\n';
    if (!journal.open(QIODevice::Append) || journal.write(line) != line.size() || !journal.flush()) {
        fail(QStringLiteral("cannot append to the journal %1: %2")
                 .arg(m_settings.journalPath, journal.errorString()));
        return false;
    }
    return true;
}

void FiscalDriver::fail(const QString& text)
{
    printErr(text);
    m_poll.stop();
    m_due.stop();
    m_piece.stop();
    emit finished(1);
}
