#pragma once

#include "data/sqltext.h"

#include <QObject>
#include <QString>

// A statement of the catalogue that changes many rows at once; run once each time
// it is executed, it returns nothing.
class NamedStatement : public QObject
{
    Q_OBJECT

public:
    NamedStatement(const QString& name, const QString& sql, QObject* parent = nullptr);

    const QString& name() const { return m_name; }
    const QString& sql() const { return m_sql.original(); }
    void setParam(const QString& name, const QString& value) { m_sql.setParam(name, value); }
    QString param(const QString& name) const { return m_sql.param(name); }

    // Runs the statement; returns the number of rows it changed. Throws DbError.
    int execute();

private:
    QString m_name;
    SqlText m_sql;
};
