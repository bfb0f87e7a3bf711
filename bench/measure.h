#pragma once

// The measured operations, each timed by its caller.

#include <windows.h>

#include <vector>

#include "bench/process_stats.h"
#include "inventory/device_types.h"

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

// What a child run of this program measured: a time and how much its peak working set grew.
struct ChildFigures {
    double ms;
    double peakGrowth; // bytes
};

// The floor of every class once in a fresh process ("halvoran_bench floor FILE").
bool MeasureFreshFloor(ChildFigures* figures);
bool RunFreshFloor(const WCHAR* resultsPath);

// The program's walk of every device once in a fresh process ("halvoran_bench walk RECORDS
// FILE"), which saves every record to RECORDS as it goes.
bool MeasureFreshWalk(const WCHAR* recordsPath, ChildFigures* figures);
bool RunFreshWalk(const WCHAR* recordsPath, const WCHAR* resultsPath);

// The list view's rows alone, in a fresh process holding the main window with an empty list
// and the records of RECORDS in memory ("halvoran_bench rows RECORDS FILE"): the time and the
// memory that listing them, redrawing off, takes.
bool MeasureRowsAlone(const WCHAR* recordsPath, ChildFigures* figures);
bool RunRowsAlone(const WCHAR* recordsPath, const WCHAR* resultsPath);

bool ReadRecords(const WCHAR* path, std::vector<DeviceRecord>* records);

// The messages FillDeviceList sends the list for these records: emptied, then one insertion
// and three cell texts a row.
void ListRecords(const std::vector<DeviceRecord>& records);

// The same with the list's redrawing off, as FillDeviceList does, then the list drawn.
void ListRecordsRedrawOff(HWND window, const std::vector<DeviceRecord>& records);

// Dispatches every pending message of this thread (paints after a fill).
void PumpMessages();

double Median(std::vector<double> values);
