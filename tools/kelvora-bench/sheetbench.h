#pragma once

// `kelvora-bench sheets`: the bill printout and the report export timed on a
// running office; `argv[0]` is the word "sheets", the options follow.
int sheetBench(int argc, char** argv);
