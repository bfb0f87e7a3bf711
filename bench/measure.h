#pragma once

// The measured operations, each timed by its caller.

#include <windows.h>

#include <vector>

#include "bench/process_stats.h"

// The floor: the SetupAPI and registry calls the program makes for every device of the set
// (set, enumeration, name, hardware IDs, manufacturer, service and its ImagePath), with no
// record, no list view and no file. Returns the number of devices.
DWORD RunFloor(const GUID* classGuid);

// Starts program and waits until its main window is visible and lists expectedRows devices.
struct StartupFigures {
    double ms;
    DWORD rows;
    MemoryFigures memory; // once the window is idle after its first paint
};
bool MeasureStartup(const WCHAR* program, DWORD expectedRows, StartupFigures* figures);

// The floor of every class once in a fresh process: this program run as
// "halvoran_bench floor FILE", which writes to FILE the floor's time and how much its peak
// working set grew. Returns false when that process could not run.
struct FreshFloorFigures {
    double ms;
    double peakGrowth; // bytes
};
bool MeasureFreshFloor(FreshFloorFigures* figures);

// The child's side of MeasureFreshFloor.
bool RunFreshFloor(const WCHAR* resultsPath);

// Dispatches every pending message of this thread (paints after a fill).
void PumpMessages();

double Median(std::vector<double> values);
