#pragma once

#include <QString>
#include <cstdio>
#include <cstdlib>

// A broken round trip is a finding: say what and stop, as libFuzzer expects.
#define FUZZ_CHECK(condition, what)                                                             \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "round trip broken: %s (%s)\n", #condition, qPrintable(what)); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)
