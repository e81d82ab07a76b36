#pragma once

#include <vector>

// Every named query and statement of the data module: its name, what it is, the
// one table its rows are written back to (queries that are only read have none)
// and its SQL text.
struct CatalogueEntry
{
    enum Kind { Query,
                Statement };
    const char* name;
    Kind kind;
    const char* table;
    const char* sql;
};

const std::vector<CatalogueEntry>& catalogue();
