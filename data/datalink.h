#pragma once

#include <QList>
#include <QString>

// What "kavshiri.udl" says: which engine, and where the database is.
struct DataLink
{
    enum class Provider { SQLite,
                          PostgreSQL };

    // One PostgreSQL server of the link.
    struct Server
    {
        QString host;
        int port = 5432;
        bool operator==(const Server&) const = default;
    };
    // Which of the servers a connection takes.
    enum class Target { Primary,  // the one that accepts writes (the program's own connections)
                        Any };    // the first that answers (the tools, to look at a standby)

    Provider provider = Provider::SQLite;
    QString dataSource;  // SQLite: the database file, absolute
    // PostgreSQL: the first server, and the others that may take over from it
    // (a standby); the file names them all as "Host=a,b;Port=5432,5433".
    QString host;
    int port = 5432;
    QList<Server> otherServers;
    QString database;
    QString user;
    QString password;
    // libpq's sslmode as the file gives it ("SSL Mode"); empty: the program's
    // choice (see Connection::postgresOptions).
    QString sslMode;
    Target target = Target::Primary;  // not in the file

    // Every server, the first one first.
    QList<Server> servers() const;
    // The link to `server` alone, taken whatever its role.
    DataLink toServer(const Server& server) const;
    // Adds `server` behind the others unless the link names it already.
    void addServer(const Server& server);

    static constexpr const char* FileName = "kavshiri.udl";

    // Reads and checks a data link file. Throws DbError with a Georgian text that
    // names the file and what is wrong with it.
    static DataLink read(const QString& path);
    // Parses the text of a data link file; `path` only serves the messages and
    // the folder a relative SQLite file is taken from.
    static DataLink parse(const QString& text, const QString& path);
    // The file's bytes as text: UTF-16LE with a byte-order mark, or UTF-8.
    static QString decode(const QByteArray& bytes);

    // The text of a data link file for this link (written as UTF-8 by the tools).
    QString toText() const;
    // Writes the data link file at `path` readable and writable by its owner
    // only (it may hold the server's password). Returns false with `error` set.
    bool write(const QString& path, QString* error) const;
    // A PostgreSQL link's file holds a password and others than its owner may read it.
    static bool passwordExposed(const QString& path);
};
