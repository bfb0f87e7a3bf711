#pragma once

// What a process uses, its working set, and a clock; its handles and windows are counted by
// support/process_counters.h.

#include <windows.h>

#include "support/process_counters.h"

struct MemoryFigures {
    SIZE_T peakWorkingSet;
    SIZE_T workingSet;
};
bool ReadMemoryFigures(HANDLE process, MemoryFigures* figures);

// Milliseconds from an arbitrary origin, with sub-millisecond resolution.
double NowMs();
