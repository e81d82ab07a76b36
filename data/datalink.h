#pragma once

#include <QString>

// What "kavshiri.udl" says: which engine, and where the database is.
struct DataLink
{
    enum class Provider { SQLite,
                          PostgreSQL };

    Provider provider = Provider::SQLite;
    QString dataSource;  // SQLite: the database file, absolute
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;

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
};
