#pragma once

#include "data/rowreader.h"

// Reads through Qt's driver: every engine, every column type.
class QtRowReader : public RowReader
{
public:
    bool read(QSqlDatabase& db, const SqlText& sql, Result* out) override;
};
