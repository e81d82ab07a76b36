#pragma once

#include "data/datalink.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <chrono>

class QThread;
class ChangeFeedWorker;

// Tells this station which of the tables the screens show were written, by
// any writer: another station, this one, kelvora-db or a person at psql.
// It works on a thread and a connection of its own, so the user interface
// never waits for it:
// - PostgreSQL: LISTEN on the channel the database's triggers notify; an idle
//   station sends nothing. A lost link is opened again every few seconds,
//   and once subscribed again it reports every table changed, once.
// - SQLite: `pragma data_version` a few times a second (no disk read in WAL
//   mode); when it moved, the change record cvlilebebi says which tables.
// Changes arriving close together are reported together.
class ChangeFeed : public QObject
{
    Q_OBJECT

public:
    enum Table {
        Busytable = 0x01,
        Shekvetebi = 0x02,
        Kerdzebi = 0x04,
        Oficianti = 0x08,
        Uplebebi = 0x10,
        Parametres = 0x20,
    };
    Q_DECLARE_FLAGS(Tables, Table)
    static constexpr Tables everything() { return Tables(0x3f); }
    // The flag of a table by its name, without regard to case; none for
    // a table the feed does not follow.
    static Tables tableOf(const QString& name);

    struct Timing
    {
        std::chrono::milliseconds poll{250};        // SQLite: how often data_version is asked
        std::chrono::milliseconds gather{30};       // PostgreSQL: notifications gathered for so long
        std::chrono::milliseconds reconnect{2000};  // after a lost or refused link
    };

    explicit ChangeFeed(QObject* parent = nullptr);
    ~ChangeFeed() override;

    // Starts following the database of `link` (stops a running feed first).
    void start(const DataLink& link, const Timing& timing);
    void start(const DataLink& link) { start(link, Timing()); }
    void stop();
    bool isRunning() const { return m_thread != nullptr; }
    // Subscribed (PostgreSQL) or reading the change record (SQLite).
    bool isListening() const { return m_listening; }

Q_SIGNALS:
    void changed(ChangeFeed::Tables tables);
    // The feed's link is up (first time and after every loss).
    void listening();
    // The feed's link was lost or could not be opened; it keeps trying.
    void lost();

private:
    QThread* m_thread = nullptr;
    ChangeFeedWorker* m_worker = nullptr;
    bool m_listening = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ChangeFeed::Tables)
