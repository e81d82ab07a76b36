#pragma once

// kelvora-bench feed: how soon the other stations' floor plans show a change
// one station made, and what an idle station costs.
int feedBench(int argc, char** argv);
