#pragma once

// What a process holds and uses: kernel handles, windows, working set; and a clock.

#include <windows.h>

// Returned by the counters when the system cannot tell.
const DWORD kNoCount = 0xffffffff;

// Kernel handles the process holds, counted in the system's handle table.
DWORD CountProcessHandles(DWORD processId);

// Windows of the process: top-level, message-only and all their descendants.
DWORD CountProcessWindows(DWORD processId);

struct MemoryFigures {
    SIZE_T peakWorkingSet;
    SIZE_T workingSet;
};
bool ReadMemoryFigures(HANDLE process, MemoryFigures* figures);

// Milliseconds from an arbitrary origin, with sub-millisecond resolution.
double NowMs();
