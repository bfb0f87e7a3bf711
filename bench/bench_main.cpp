// The benchmark: the program's code paths timed against their baselines, in pairs, and its own
// memory, as CSV rows (method and usage: BENCHMARKS.md). Run by scripts/bench.sh as
//   halvoran_bench populate N
//   halvoran_bench measure PAIRS STARTUP_PAIRS PROGRAM CSV
//   halvoran_bench memory walk|floor CSV   (each in a fresh process)
//   halvoran_bench bare                    (the bare window, started by measure)

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "inventory/device_enum.h"
#include "report/export.h"
#include "support/floor.h"
#include "support/helpers.h"
#include "ui/device_list.h"
#include "ui/main_window.h"

DWORD PopulateDevices(DWORD count); // bench/populate.cpp
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showCommand);

static const char* const kBuild = sizeof(void*) == 8 ? "x86_64" : "i686";

static double TimeMs(const std::function<void()>& action) {
    auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A figure and its baseline, timed one right after the other in each pair: the baseline first in
// even pairs, the figure first in odd ones, so that neither always finds the system warmed up.
struct Pairs {
    std::vector<double> ms, base;

    void Measure(const std::function<double()>& figure, const std::function<double()>& baseline) {
        if (ms.size() % 2 == 0) {
            base.push_back(baseline());
            ms.push_back(figure());
        } else {
            ms.push_back(figure());
            base.push_back(baseline());
        }
    }
};

// One CSV row: build, devices, figure, pairs, median time and baseline, ratios' median, range.
static void WriteRow(FILE* csv, DWORD devices, const char* figure, const Pairs& pairs) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pairs.ms.size(); ++i) {
        ratios.push_back(pairs.ms[i] / pairs.base[i]);
    }
    fprintf(csv, "%s,%lu,%s,%u,%.1f,%.1f,%.3f,%.3f,%.3f\n", kBuild, devices, figure,
            static_cast<unsigned>(ratios.size()), Median(pairs.ms), Median(pairs.base),
            Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end()));
}

// A program started until its window is visible and lists rows devices, then closed.
static double StartupMs(const wchar_t* program, const wchar_t* arguments, DWORD rows, bool* ok) {
    StartedProgram started;
    bool listed = false;
    double ms = TimeMs([&] { listed = StartProgram(program, arguments, rows, 300000, &started); });
    *ok = CloseProgram(&started, 30000) == 0 && listed && *ok;
    return ms;
}

// The user's wait for a fill of every device: until its rows are drawn.
static void FillAndDraw(HWND window) {
    FillDeviceList(0);
    UpdateWindow(window);
}

// The fill and the export against the floor, then the start-up against the bare window.
static int Measure(int pairs, int startupPairs, const wchar_t* program, FILE* csv) {
    // The program's main window, created with the set refused (its creation walks nothing), shown.
    const DeviceSetApi system = g_deviceSetApi;
    g_deviceSetApi.getClassDevs = RefuseDeviceSet;
    RegisterMainWindowClass(GetModuleHandleW(nullptr));
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    g_deviceSetApi = system;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();

    DWORD present = 0, listed = 0, exported = 0;
    bool ok = true;
    const std::wstring report = TempPath(L"halvoran-bench-report.txt");
    auto floor = [&] { return TimeMs([&] { present = RunFloor(nullptr); }); };
    Pairs fill, exports, startup;
    for (int p = 0; p < pairs; ++p) {
        fill.Measure([&] { return TimeMs([window] { FillAndDraw(window); }); }, floor);
        listed = static_cast<DWORD>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
        PumpMessages();
        exports.Measure(
            [&] {
                return TimeMs([&] {
                    ok = WriteInventoryFile(report.c_str(), &exported) == kExportWritten && ok;
                });
            },
            floor);
    }
    DeleteFileW(report.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    for (int p = 0; p < startupPairs; ++p) {
        startup.Measure([&] { return StartupMs(program, L"", present, &ok); },
                        [&] { return StartupMs(self, L"bare", 0, &ok); });
    }
    if (!ok || listed != present || exported != present) {
        fprintf(stderr, "measure: %lu devices, %lu listed, %lu exported, %s\n", present, listed,
                exported, ok ? "every step done" : "a step failed");
        return 1;
    }
    WriteRow(csv, present, "fill", fill);
    WriteRow(csv, present, "export", exports);
    WriteRow(csv, present, "startup", startup);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && wcscmp(argv[1], L"populate") == 0) {
        DWORD count = wcstoul(argv[2], nullptr, 10);
        return PopulateDevices(count) == count ? 0 : 1;
    }
    // The bare window, the start-up's baseline: in a fresh process the floor of every class, then
    // the program's own entry point and main window with the device set refused (an empty list).
    if (argc == 2 && wcscmp(argv[1], L"bare") == 0) {
        RunFloor(nullptr);
        g_deviceSetApi.getClassDevs = RefuseDeviceSet;
        return wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOWDEFAULT);
    }
    const bool memory = argc == 4 && wcscmp(argv[1], L"memory") == 0;
    FILE* csv = memory || (argc == 6 && wcscmp(argv[1], L"measure") == 0)
                    ? _wfopen(argv[argc - 1], L"ab")
                    : nullptr;
    if (csv == nullptr) {
        fprintf(stderr, "usage: see BENCHMARKS.md\n");
        return 2;
    }
    int status = memory ? 0 : Measure(_wtoi(argv[2]), _wtoi(argv[3]), argv[4], csv);
    if (memory) {
        // In this fresh process, the program's walk or the floor of every device: how far the
        // peak working set rose above the working set before it, in MB.
        bool walk = wcscmp(argv[2], L"walk") == 0;
        PROCESS_MEMORY_COUNTERS before = {}, after = {};
        GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before));
        DWORD devices =
            walk ? WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr) : RunFloor(nullptr);
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after));
        fprintf(csv, "%s,%lu,memory_%s,1,%.2f,,,,\n", kBuild, devices, walk ? "walk" : "floor",
                (static_cast<double>(after.PeakWorkingSetSize) - before.WorkingSetSize) / 1048576);
    }
    return fclose(csv) != 0 ? 1 : status;
}
