#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <memory>

// The fiscal driver simulator running beside a screen test on the command and
// answer paths of the settings row, keeping a journal of what it registered.
// Ended when the object goes.
class FiscalSim
{
public:
    FiscalSim(const QString& command, const QString& answer, const QString& journal,
              const QStringList& extra = {})
        : m_journal(journal)
    {
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.start(QStringLiteral(KELVORA_FISCAL_SIM),
                        extra + QStringList{QStringLiteral("--command"), command, QStringLiteral("--answer"), answer, QStringLiteral("--journal"), journal});
        if (!m_process.waitForStarted(10000))
            return;
        QByteArray out;
        while (!out.contains("watching") && m_process.waitForReadyRead(20000))
            out += m_process.readAllStandardOutput();
        m_watching = out.contains("watching");
    }

    ~FiscalSim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
        }
    }

    bool isWatching() const { return m_watching; }

    // The amounts registered so far, as the command file carried them ("50.00").
    QStringList amounts() const
    {
        QFile f(m_journal);
        QStringList out;
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (const QList<QByteArray> fields = line.split('\t'); fields.size() >= 2)
                out << QString::fromLatin1(fields[1]);
        return out;
    }

private:
    QProcess m_process;
    QString m_journal;
    bool m_watching = false;
};
