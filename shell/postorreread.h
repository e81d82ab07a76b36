#pragma once

#include "data/namedquery.h"

// Posts the edit of `query`. When the write is refused (another station changed
// the row since it was read, or the database said no), `reread` drops the edit
// and shows what the database holds now, and the error goes on to the guard
// that shows it: nothing a person sees is left as if it had been written.
template <typename Reread>
void postOrReread(NamedQuery* query, Reread&& reread)
{
    try {
        query->post();
    } catch (...) {
        reread();
        throw;
    }
}
