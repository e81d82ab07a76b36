#pragma once

#include "data/datalink.h"
#include "data/engine.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

// The connection `kavshiri`: described by "kavshiri.udl" in the working folder,
// opened at the first query and kept until the program ends. Several copies of the
// program share the database: SQLite in WAL mode with a busy timeout, PostgreSQL
// for stations on several machines.
//
// A PostgreSQL link may break (the server restarted, stopped, or stopped
// answering). A link found broken between actions is opened again before the
// next one. A read that loses the link on its way runs once more on a new link;
// a write, or anything inside a transaction, is not repeated and ends in a
// clear message (DbError::linkLostText / linkLostWhileWritingText).
class Connection
{
public:
    static constexpr const char* Name = "kavshiri";

    enum class Step { Read,
                      Write };
    // Runs `work` on the connection kavshiri as one step of an action, with the
    // handling of a broken link described above. Throws DbError.
    static void run(Step step, const std::function<void(QSqlDatabase&)>& work);
    // Runs `work` on `db` under the watchdog that cuts a link whose server no
    // longer answers (PostgreSQL; on SQLite it simply runs). `cut`, when given,
    // tells whether the watchdog cut it.
    static void watched(QSqlDatabase& db, const std::function<void()>& work, bool* cut = nullptr);
    // PostgreSQL: the link of `db` is broken (libpq gave it up).
    static bool linkBroken(const QSqlDatabase& db);
    // Closes and opens `db` again; throws DbError(linkLostText) when the server
    // cannot be reached.
    static void reconnect(QSqlDatabase& db);

    // One user action, from the event that starts it to its end, with every
    // handler it sets off on the way (a field emptied runs its change handler).
    // Once a step of the action lost the link, the later steps give up at once
    // with the same message instead of each waiting again for a server that is
    // not there. An action started inside another (a dialog's own event loop)
    // is one of its own. Outside any action every step tries on its own.
    class Action
    {
    public:
        Action();
        ~Action();
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

        static bool running();
        // True the first time the running action tells that the link was
        // lost: the later steps that give up say nothing more.
        static bool firstLinkLossTold();

    private:
        bool m_lostBefore;
        bool m_toldBefore;
    };

    // The open connection; opens it first if needed (throws DbError).
    static QSqlDatabase database();
    static Engine engine();  // of the open connection (opens it first)
    static bool isOpen();
    static void close();

    // Where the data link file is read from; empty means "kavshiri.udl" in the
    // working folder. Tests point it elsewhere.
    static void setDataLinkPath(const QString& path);
    static QString dataLinkPath();

    // Opens a further connection under its own name (a tool, or a test playing
    // a second station). With `requireSchema` (the program's own connection) a
    // database without this program's tables is refused, and an SQLite file
    // that is empty or no SQLite database at all is refused unopened, so
    // nothing is ever written into it. Throws DbError.
    static QSqlDatabase openNamed(const DataLink& link, const QString& connectionName, bool requireSchema = false);
    static Engine engineOf(const QSqlDatabase& db);

    // The libpq settings of a PostgreSQL link beyond host, database, user and
    // password, as "name=value;..." (Qt's connect options): how a lost link is
    // found, the ports of the servers, the server that accepts writes (for
    // Target::Primary) and an encrypted link to a server on another machine.
    // Every PostgreSQL connection the program makes takes them.
    static QString postgresOptions(const DataLink& link);
    // The whole libpq connection string of a link, for a connection opened by
    // libpq itself rather than Qt.
    static QByteArray postgresConnInfo(const DataLink& link);
};
