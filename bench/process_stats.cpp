#include "bench/process_stats.h"

#include <psapi.h>

bool ReadMemoryFigures(HANDLE process, MemoryFigures* figures) {
    figures->peakWorkingSet = 0;
    figures->workingSet = 0;
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof(counters));
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        return false;
    }
    figures->peakWorkingSet = counters.PeakWorkingSetSize;
    figures->workingSet = counters.WorkingSetSize;
    return true;
}

double NowMs() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}
