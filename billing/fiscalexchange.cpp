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
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cmath>

namespace {

const QByteArray SaleLineStart = QByteArrayLiteral("S,1,______,_,__;Dasaxeleba;");
const QByteArray SaleLineEnd = QByteArrayLiteral(";1.000;1;1;1;0;0;");
const QByteArray TotalLine = QByteArrayLiteral("T,1,______,_,__;");
const QByteArray LineBreak = QByteArrayLiteral("\r\n");

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

    // Failures of these two steps are not reported: the wait then ends with "off".
    QFile::remove(paths.answer);
    {
        // Written beside the target and renamed into place, so the driver never
        // reads half a command.
        QSaveFile command(paths.command);
        if (command.open(QIODevice::WriteOnly)) {
            command.write(commandText(amount));
            command.commit();
        }
    }
    status = QString::fromLatin1(StatusOk);

    if (!awaitAnswer(paths.answer)) {
        status = QString::fromLatin1(StatusOff);
        return false;
    }
    QFile answer(paths.answer);
    QByteArray text;
    if (answer.open(QIODevice::ReadOnly))
        text = answer.readAll();
    status = resultCode(text);
    return status == QLatin1String(SuccessCode);
}

bool FiscalExchange::awaitAnswer(const QString& answerPath)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 interval = m_timing.interval.count();
    QWidget* window = m_indicator == Indicator::Automatic ? indicatorWindow() : nullptr;
    QPointer<FiscalWaitDialog> indicator;
    bool found = false;
    for (int check = 1; check <= m_timing.checks; ++check) {
        if (check > 1)
            waitUntil(clock, (check - 1) * interval, !indicator.isNull());
        m_checksMade = check;
        if (QFileInfo::exists(answerPath)) {
            found = true;
            break;
        }
        if (check == m_timing.checks)
            break;
        if (!window)
            continue;
        if (!indicator)
            indicator = new FiscalWaitDialog(window);
        indicator->setTimeLeft(std::chrono::milliseconds((m_timing.checks - check) * interval), check,
                               m_timing.checks);
        indicator->show();
    }
    delete indicator.data();
    return found;
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
