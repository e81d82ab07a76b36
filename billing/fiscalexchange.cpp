#include "billing/fiscalexchange.h"
#include "billing/fiscalwaitdialog.h"
#include "data/datamodule.h"
#include "data/formats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QByteArray SaleLineStart = QByteArrayLiteral("S,1,______,_,__;Dasaxeleba;");
const QByteArray SaleLineEnd = QByteArrayLiteral(";1.000;1;1;1;0;0;");
const QByteArray TotalLine = QByteArrayLiteral("T,1,______,_,__;");
const QByteArray LineBreak = QByteArrayLiteral("\r\n");

// Removes the answer file if there is one; false when it is still there. A late
// answer to an earlier sale may land just as the old one goes: removed again.
bool removeAnswer(const QString& path)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!QFileInfo::exists(path))
            return true;
        QFile::remove(path);
    }
    return !QFileInfo::exists(path);
}

// Written beside the target and renamed into place, so the driver never reads
// half a command; on failure nothing is left behind.
bool writeCommand(const QString& path, const QByteArray& bytes)
{
    QSaveFile command(path);
    return command.open(QIODevice::WriteOnly) && command.write(bytes) == bytes.size() && command.commit();
}

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits until `due` milliseconds on `clock`, keeping the windows painted.
void waitUntil(const QElapsedTimer& clock, qint64 due, bool indicatorShown)
{
    const qint64 left = due - clock.elapsed();
    if (left <= 0)
        return;
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(left));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    // The modal indicator blocks the other windows; without it, clicks made during
    // the wait must not run actions in the middle of this one.
    loop.exec(indicatorShown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

FiscalExchange::FiscalExchange()
    : FiscalExchange(Timing{})
{
}

FiscalExchange::FiscalExchange(Timing timing, Indicator indicator)
    : m_timing(timing), m_indicator(indicator)
{
    if (m_timing.checks < 1)
        m_timing.checks = 1;
    if (m_timing.interval.count() < 0)
        m_timing.interval = std::chrono::milliseconds(0);
    if (m_timing.settle.count() < 1)
        m_timing.settle = std::chrono::milliseconds(1);
    if (m_timing.poll.count() < 1)
        m_timing.poll = std::chrono::milliseconds(1);
}

FiscalExchange::Paths FiscalExchange::pathsFrom(TDM& dm)
{
    NamedQuery* setting = dm.setting;
    if (!setting->isOpen())
        setting->open();
    return {setting->asString(QStringLiteral("COMMAND")), setting->asString(QStringLiteral("ANSWER"))};
}

bool FiscalExchange::DPrint(TDM& dm, double amount, QString& status)
{
    return exchange(pathsFrom(dm), amount, status);
}

bool FiscalExchange::exchange(const Paths& paths, double amount, QString& status)
{
    m_checksMade = 0;
    if (QFileInfo::exists(paths.command)) {
        status = QString::fromLatin1(StatusOldFile);
        return false;
    }

    // An old answer left in place would be read as this sale's, so it must go
    // before anything is sent.
    if (!removeAnswer(paths.answer) || !writeCommand(paths.command, commandText(amount))) {
        status = QString::fromLatin1(StatusFailed);
        return false;
    }
    status = QString::fromLatin1(StatusOk);

    QByteArray answer;
    switch (awaitAnswer(paths, answer)) {
    case Wait::Answered:
        status = resultCode(answer);
        return status == QLatin1String(SuccessCode);
    case Wait::NoAnswer:
        status = QString::fromLatin1(withdraw(paths.command) ? StatusOff : StatusUnknown);
        return false;
    case Wait::Growing:
        status = QString::fromLatin1(StatusUnknown);
        return false;
    }
    return false;
}

bool FiscalExchange::certainlyNotRegistered(const QString& status)
{
    return status == QLatin1String(StatusOldFile) || status == QLatin1String(StatusFailed) || status == QLatin1String(StatusOff);
}

FiscalExchange::Wait FiscalExchange::awaitAnswer(const Paths& paths, QByteArray& answer)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 interval = m_timing.interval.count();
    const qint64 lastCheck = (m_timing.checks - 1) * interval;
    const qint64 poll = interval > 0 ? std::min<qint64>(m_timing.poll.count(), interval) : 1;
    QWidget* window = m_indicator == Indicator::Automatic ? indicatorWindow() : nullptr;
    QPointer<FiscalWaitDialog> indicator;
    const auto removeIndicator = qScopeGuard([&indicator] { delete indicator.data(); });

    // The driver's check that a look at `due` stands for: the first one at or
    // after it, as a look only at the checks would have found the answer there.
    const auto checkAt = [&](qint64 due) {
        if (interval <= 0)
            return 1;
        return int(std::min<qint64>(m_timing.checks, (due + interval - 1) / interval + 1));
    };

    qint64 foundAt = -1;
    int shownCheck = 0;
    for (qint64 due = 0;; due = std::min(due + poll, lastCheck)) {
        if (due > 0)
            waitUntil(clock, due, !indicator.isNull());
        m_checksMade = checkAt(due);
        if (QFileInfo::exists(paths.answer)) {
            // The driver removes the command before it answers: an answer beside
            // a command still waiting is a late one from an earlier exchange.
            if (!QFileInfo::exists(paths.command)) {
                foundAt = due;
                break;
            }
            QFile::remove(paths.answer);
        }
        if (due >= lastCheck)
            break;
        // The countdown follows the driver's checks passed.
        const int passed = interval > 0 ? int(due / interval) + 1 : 1;
        if (!window || passed <= shownCheck)
            continue;
        shownCheck = passed;
        if (!indicator)
            indicator = new FiscalWaitDialog(window);
        indicator->setTimeLeft(std::chrono::milliseconds((m_timing.checks - passed) * interval), passed,
                               m_timing.checks);
        indicator->show();
    }
    if (foundAt < 0) {
        m_checksMade = m_timing.checks;
        return Wait::NoAnswer;
    }

    // Read at once when the result code is there; a shorter answer once it has
    // stayed the same, and not empty, for `settle`.
    const qint64 settle = m_timing.settle.count();
    const qint64 readUntil = lastCheck + settle;
    QByteArray previous;
    qint64 sameSince = foundAt;
    for (qint64 due = foundAt;; due = std::min(due + std::min(poll, settle), readUntil)) {
        if (due > foundAt)
            waitUntil(clock, due, !indicator.isNull());
        QByteArray now = readWhole(paths.answer);
        if (resultCode(now).size() == 2) {
            answer = now;
            return Wait::Answered;
        }
        if (now != previous || due == foundAt) {
            previous = std::move(now);
            sameSince = due;
        } else if (!previous.isEmpty() && due - sameSince >= settle) {
            answer = previous;
            return Wait::Answered;
        }
        if (due >= readUntil)
            break;
    }
    return Wait::Growing;
}

bool FiscalExchange::withdraw(const QString& commandPath)
{
    // The driver takes a command by removing it. Renaming it first to a name of
    // our own settles who had it: a rename that finds no file means the driver
    // took it, and once renamed the driver can no longer take it.
    const QByteArray from = QFile::encodeName(commandPath);
    const QByteArray to =
        QFile::encodeName(commandPath + QStringLiteral(".withdrawn.%1").arg(QCoreApplication::applicationPid()));
    if (std::rename(from.constData(), to.constData()) != 0)
        return false;
    QFile::remove(QFile::decodeName(to));
    return true;
}

QWidget* FiscalExchange::indicatorWindow() const
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    QWidget* window = m_window ? m_window.data() : WaitIndicator::frontWindow();
    return window && window->isVisible() ? window : nullptr;
}

QString FiscalExchange::correctnum(double amount)
{
    // The driver reads a full stop whatever the locale; the rounding is the one
    // the bill's amounts are written with.
    if (!std::isfinite(amount))
        amount = 0;
    QString text = Formats::fixedTwo(amount);
    text.replace(Formats::decimalSeparator(), u'.');
    return text;
}

QByteArray FiscalExchange::commandText(double amount)
{
    // The price text is plain ASCII, the same in every ANSI code page.
    return SaleLineStart + correctnum(amount).toLatin1() + SaleLineEnd + LineBreak + TotalLine + LineBreak;
}

QString FiscalExchange::resultCode(const QByteArray& answer)
{
    // One character per byte, as the driver's single-byte code page has it.
    QString text;
    text.reserve(answer.size() + 8);
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const char c = answer[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < answer.size() && answer[i + 1] == '\n')
                ++i;
            if (i + 1 < answer.size())  // a break after the last line joins nothing
                text += QLatin1String("\r\n");
            continue;
        }
        text += QChar(uchar(c));
    }
    return text.mid(13, 2);
}
