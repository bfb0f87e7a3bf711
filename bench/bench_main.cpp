// Halvoran's benchmark: realistic devices in a private prefix, the program's own code paths
// timed against a bare loop of the same system calls, and its handles, windows and memory.
//
//   halvoran_bench populate N
//   halvoran_bench measure N PROGRAM BARE_WINDOW RESULTS [soak] [full]
//   halvoran_bench table RESULTS...
//   halvoran_bench floor FILE   (run by measure: the floor in a fresh process, into FILE)
//
// measure writes "key value" lines to RESULTS; table prints them side by side. With soak it
// also changes the category 1,000 times and exports 100 times; with full it fills every
// category at every size (a visible list view takes about 16 ms a row under Wine, so without
// it the largest size fills only its two smallest categories).

#include <windows.h>
#include <commctrl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <map>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/populate.h"
#include "bench/process_stats.h"
#include "inventory/device_enum.h"
#include "inventory/device_types.h"
#include "report/export.h"
#include "report/inventory_report.h"
#include "ui/device_list.h"
#include "ui/main_window.h"

typedef std::map<std::string, double> Results;

// What one measure run does.
struct MeasurePlan {
    int repetitions;
    int fillRepetitions; // a shown list takes about 16 ms a row: fewer at larger sizes
    bool fillCategory[kDeviceCategoryCount];
    bool listShown; // the list view's rows alone in the shown window (one repetition)
    bool soak;
};

// Category changes and exports of the stability run.
static const int kSoakCategoryChanges = 1000;
static const int kSoakExports = 100;

static std::string Key(const char* name, int category) {
    return std::string(name) + "." + std::to_string(category);
}

static int Populate(DWORD count) {
    double start = NowMs();
    std::vector<PlannedDevice> devices;
    std::vector<PlannedService> services;
    if (!PlanDevices(count, &devices, &services)) {
        fwprintf(stderr, L"cannot read Z:\\usr\\share\\misc\\pci.ids or usb.ids\n");
        return 1;
    }
    DWORD created = CreatePlannedDevices(devices, services);
    wprintf(L"populate: %lu of %lu devices and %u services in %.1f s\n", created, count,
            static_cast<unsigned>(services.size()), (NowMs() - start) / 1000);
    return created == count ? 0 : 1;
}

static void MeasureStartups(DWORD devices, int repetitions, const WCHAR* program,
                            const WCHAR* bareWindow, Results* results) {
    std::vector<double> bare;
    std::vector<double> full;
    std::vector<double> barePeak;
    std::vector<double> fullPeak;
    std::vector<double> bareNow;
    std::vector<double> fullNow;
    std::vector<double> freshFloors;
    std::vector<double> freshGrowths;
    for (int r = 0; r < repetitions; ++r) {
        FreshFloorFigures fresh;
        if (MeasureFreshFloor(&fresh)) {
            freshFloors.push_back(fresh.ms);
            freshGrowths.push_back(fresh.peakGrowth);
        }
        StartupFigures figures;
        if (MeasureStartup(bareWindow, 0, &figures)) {
            bare.push_back(figures.ms);
            barePeak.push_back(static_cast<double>(figures.memory.peakWorkingSet));
            bareNow.push_back(static_cast<double>(figures.memory.workingSet));
        } else {
            fwprintf(stderr, L"bare window: no visible empty list (rows %lu)\n", figures.rows);
        }
        if (MeasureStartup(program, devices, &figures)) {
            full.push_back(figures.ms);
            fullPeak.push_back(static_cast<double>(figures.memory.peakWorkingSet));
            fullNow.push_back(static_cast<double>(figures.memory.workingSet));
        } else {
            fwprintf(stderr, L"program: no visible list of %lu rows (rows %lu)\n", devices,
                     figures.rows);
        }
    }
    (*results)["floor.fresh"] = Median(freshFloors);
    (*results)["floor.fresh.growth"] = Median(freshGrowths);
    (*results)["startup.bare"] = Median(bare);
    (*results)["startup.full"] = Median(full);
    (*results)["startup.runs"] = static_cast<double>(full.size());
    (*results)["ws.bare.peak"] = Median(barePeak);
    (*results)["ws.full.peak"] = Median(fullPeak);
    (*results)["ws.bare.now"] = Median(bareNow);
    (*results)["ws.full.now"] = Median(fullNow);
}

static DWORD ListRows() {
    return static_cast<DWORD>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
}

// FillDeviceList for each category in turn, as when the user goes down the selector; each
// fill is paired with the floor of the same category.
static void MeasureFills(const MeasurePlan& plan, Results* results) {
    std::vector<std::vector<double>> floors(kDeviceCategoryCount);
    std::vector<std::vector<double>> fills(kDeviceCategoryCount);
    for (int r = 0; r < plan.fillRepetitions; ++r) {
        for (int c = 0; c < kDeviceCategoryCount; ++c) {
            if (!plan.fillCategory[c]) {
                continue;
            }
            const GUID* classGuid = DeviceCategoryTable[c].classGuid;
            double start = NowMs();
            DWORD floorCount = RunFloor(classGuid);
            floors[c].push_back(NowMs() - start);

            start = NowMs();
            FillDeviceList(c);
            fills[c].push_back(NowMs() - start);
            (*results)[Key("rows", c)] = ListRows();
            (*results)[Key("floorrows", c)] = floorCount;
            PumpMessages();
        }
    }
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        if (plan.fillCategory[c]) {
            (*results)[Key("floor", c)] = Median(floors[c]);
            (*results)[Key("fill", c)] = Median(fills[c]);
        }
    }
}

static void KeepRecord(void* context, DWORD, const DeviceRecord* record) {
    static_cast<std::vector<DeviceRecord>*>(context)->push_back(*record);
}

// The same messages as FillDeviceList, for records already in memory.
static void ListRecords(const std::vector<DeviceRecord>& records) {
    SendMessageW(g_deviceList, LVM_DELETEALLITEMS, 0, 0);
    for (size_t p = 0; p < records.size(); ++p) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(p);
        item.pszText = const_cast<WCHAR*>(records[p].name);
        SendMessageW(g_deviceList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        const WCHAR* cells[] = {records[p].hardwareId, records[p].manufacturer,
                                records[p].driverFile};
        for (int i = 0; i < 3; ++i) {
            LVITEMW cell = {};
            cell.iSubItem = i + 1;
            cell.pszText = const_cast<WCHAR*>(cells[i]);
            SendMessageW(g_deviceList, LVM_SETITEMTEXTW, p, reinterpret_cast<LPARAM>(&cell));
        }
    }
}

static bool WriteRecords(const WCHAR* path, const std::vector<DeviceRecord>& records) {
    FILE* stream = _wfopen(path, L"wb");
    if (stream == nullptr) {
        return false;
    }
    WriteReportMark(stream);
    WriteReportHeader(stream);
    for (size_t p = 0; p < records.size(); ++p) {
        WriteReportRecord(stream, static_cast<DWORD>(p + 1), &records[p]);
    }
    return fclose(stream) == 0;
}

static double FileBytes(const WCHAR* path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes)) {
        return 0;
    }
    return static_cast<double>(attributes.nFileSizeLow) +
           static_cast<double>(attributes.nFileSizeHigh) * 4294967296.0;
}

// Where the time of a fill and of an export goes: the program's walk alone (enumeration and
// records, nothing done with them), the list view's rows alone (from records held in memory:
// in the shown window as the program does, in a hidden window as at start-up, and with the
// list's redrawing switched off during the fill) and the report's writing alone.
static void MeasureParts(HWND window, const MeasurePlan& plan, const WCHAR* path,
                         Results* results) {
    // The walk that gathers the records is the first timing of the walk (keeping a record
    // costs a copy of 4 KB, nothing beside the walk itself).
    std::vector<DeviceRecord> records;
    records.reserve(20000);
    std::vector<double> walks;
    std::vector<double> hidden;
    std::vector<double> redrawOff;
    std::vector<double> writes;
    for (int r = 0; r < plan.repetitions; ++r) {
        double start = NowMs();
        if (r == 0) {
            WalkDevices(OpenDeviceSet(nullptr), KeepRecord, &records);
        } else {
            WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr);
        }
        walks.push_back(NowMs() - start);

        ShowWindow(window, SW_HIDE);
        start = NowMs();
        ListRecords(records);
        hidden.push_back(NowMs() - start);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);

        start = NowMs();
        SendMessageW(g_deviceList, WM_SETREDRAW, FALSE, 0);
        ListRecords(records);
        SendMessageW(g_deviceList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(g_deviceList, nullptr, TRUE);
        UpdateWindow(window);
        redrawOff.push_back(NowMs() - start);

        start = NowMs();
        WriteRecords(path, records);
        writes.push_back(NowMs() - start);
    }
    (*results)["walk"] = Median(walks);
    (*results)["list.hidden"] = Median(hidden);
    (*results)["list.redrawoff"] = Median(redrawOff);
    (*results)["writeonly"] = Median(writes);
    if (plan.listShown) {
        double start = NowMs();
        ListRecords(records);
        UpdateWindow(window);
        (*results)["list.shown"] = NowMs() - start;
    }
    PumpMessages();
}

static void MeasureExports(int repetitions, const WCHAR* path, Results* results) {
    std::vector<double> floors;
    std::vector<double> exports;
    DWORD count = 0;
    for (int r = 0; r < repetitions; ++r) {
        double start = NowMs();
        RunFloor(nullptr);
        floors.push_back(NowMs() - start);

        start = NowMs();
        if (WriteInventoryFile(path, &count) != kExportWritten) {
            fwprintf(stderr, L"export to %ls failed\n", path);
        }
        exports.push_back(NowMs() - start);
    }
    (*results)["export.floor"] = Median(floors);
    (*results)["export"] = Median(exports);
    (*results)["export.count"] = count;
    (*results)["export.bytes"] = FileBytes(path);
}

static void ChangeCategory(HWND window, int index) {
    SendMessageW(g_categoryCombo, CB_SETCURSEL, index, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(g_categoryCombo));
    PumpMessages();
}

// Handles and windows before and after many category changes and exports.
static void MeasureSoak(HWND window, const WCHAR* path, Results* results) {
    DWORD self = GetCurrentProcessId();
    DWORD count = 0;
    // Hidden, the list takes its rows some thirty times faster: 1,000 changes fit in minutes.
    ShowWindow(window, SW_HIDE);
    // One round first, so that what the system sets up once per process is already there.
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        ChangeCategory(window, c);
    }
    WriteInventoryFile(path, &count);

    double start = NowMs();
    DWORD handlesBefore = CountProcessHandles(self);
    DWORD windowsBefore = CountProcessWindows(self);
    for (int i = 0; i < kSoakCategoryChanges; ++i) {
        ChangeCategory(window, (i + 1) % kDeviceCategoryCount);
    }
    DWORD failures = 0;
    for (int i = 0; i < kSoakExports; ++i) {
        if (WriteInventoryFile(path, &count) != kExportWritten) {
            ++failures;
        }
    }
    (*results)["soak.handles.before"] = handlesBefore;
    (*results)["soak.handles.after"] = CountProcessHandles(self);
    (*results)["soak.windows.before"] = windowsBefore;
    (*results)["soak.windows.after"] = CountProcessWindows(self);
    (*results)["soak.changes"] = kSoakCategoryChanges;
    (*results)["soak.exports"] = kSoakExports;
    (*results)["soak.failures"] = failures;
    (*results)["soak.seconds"] = (NowMs() - start) / 1000;
}

static bool WriteResults(const WCHAR* path, const Results& results) {
    FILE* file = _wfopen(path, L"w");
    if (file == nullptr) {
        return false;
    }
    for (const auto& entry : results) {
        fprintf(file, "%s %.3f\n", entry.first.c_str(), entry.second);
    }
    return fclose(file) == 0;
}

static int Measure(DWORD devices, const WCHAR* program, const WCHAR* bareWindow,
                   const WCHAR* resultsPath, const MeasurePlan& plan) {
    int repetitions = plan.repetitions;
    Results results;
    results["n"] = devices;
    results["repetitions"] = repetitions;
    results["fillrepetitions"] = plan.fillRepetitions;
    DWORD present = RunFloor(nullptr);
    results["devices"] = present;
    wprintf(L"measure: %lu devices present, %d repetitions\n", present, repetitions);

    double start = NowMs();
    MeasureStartups(present, repetitions, program, bareWindow, &results);
    wprintf(L"measure: start-up done in %.1f s\n", (NowMs() - start) / 1000);

    WCHAR exportPath[MAX_PATH];
    DWORD length = GetTempPathW(ARRAYSIZE(exportPath), exportPath);
    if (length == 0 || length > ARRAYSIZE(exportPath) - 40) {
        return 1;
    }
    wcscat(exportPath, L"halvoran-bench-export.txt");

    RegisterMainWindowClass(GetModuleHandleW(nullptr));
    start = NowMs();
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    results["create"] = NowMs() - start;
    if (window == nullptr) {
        fwprintf(stderr, L"cannot create the main window\n");
        return 1;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();

    start = NowMs();
    MeasureFills(plan, &results);
    wprintf(L"measure: fills done in %.1f s\n", (NowMs() - start) / 1000);
    start = NowMs();
    MeasureParts(window, plan, exportPath, &results);
    MeasureExports(repetitions, exportPath, &results);
    wprintf(L"measure: exports done in %.1f s\n", (NowMs() - start) / 1000);
    if (plan.soak) {
        MeasureSoak(window, exportPath, &results);
        wprintf(L"measure: soak done in %.1f s\n", results["soak.seconds"]);
    }
    DestroyWindow(window);
    PumpMessages();
    DeleteFileW(exportPath);
    return WriteResults(resultsPath, results) ? 0 : 1;
}

static bool ReadResults(const WCHAR* path, Results* results) {
    FILE* file = _wfopen(path, L"r");
    if (file == nullptr) {
        return false;
    }
    char key[128];
    double value = 0;
    while (fscanf(file, "%127s %lf", key, &value) == 2) {
        (*results)[key] = value;
    }
    fclose(file);
    return true;
}

static double Get(const Results& results, const std::string& key) {
    auto found = results.find(key);
    return found != results.end() ? found->second : 0;
}

static bool Has(const Results& results, const std::string& key) {
    return results.find(key) != results.end();
}

static double Ratio(double value, double floor) {
    return floor > 0 ? value / floor : 0;
}

// One row of the table: a label, then one cell per size.
static void PrintRow(const wchar_t* label, const std::vector<std::wstring>& cells) {
    wprintf(L"%-44ls", label);
    for (const std::wstring& cell : cells) {
        wprintf(L" %20ls", cell.c_str());
    }
    wprintf(L"\n");
}

static const double kMegabyte = 1024.0 * 1024.0;

static int PrintTable(int count, WCHAR** paths) {
    std::vector<Results> sizes(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!ReadResults(paths[i], &sizes[i])) {
            fwprintf(stderr, L"cannot read %ls\n", paths[i]);
            return 1;
        }
    }
    std::vector<std::wstring> cells;
    for (const Results& r : sizes) {
        cells.push_back(Format(L"N=%.0f", Get(r, "n")));
    }
    PrintRow(L"", cells);
    auto row = [&](const wchar_t* label, auto cell) {
        cells.clear();
        for (const Results& r : sizes) {
            cells.push_back(cell(r));
        }
        PrintRow(label, cells);
    };
    row(L"Devices created / present",
        [](const Results& r) { return Format(L"%.0f / %.0f", Get(r, "n"), Get(r, "devices")); });
    row(L"Repetitions, fills (median shown)", [](const Results& r) {
        return Format(L"%.0f, %.0f", Get(r, "repetitions"), Get(r, "fillrepetitions"));
    });
    row(L"Floor, all classes (ms)",
        [](const Results& r) { return Format(L"%.1f", Get(r, "export.floor")); });
    static const wchar_t* kFillLabels[kDeviceCategoryCount] = {
        L"Fill 0 all (ms, x floor)",       L"Fill 1 net (ms, x floor)",
        L"Fill 2 diskdrive (ms, x floor)", L"Fill 3 hdc (ms, x floor)",
        L"Fill 4 display (ms, x floor)",   L"Fill 5 usb (ms, x floor)",
        L"Fill 6 media (ms, x floor)"};
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        row(kFillLabels[c], [c](const Results& r) {
            if (!Has(r, Key("fill", c))) {
                return std::wstring(L"-");
            }
            double fill = Get(r, Key("fill", c));
            return Format(L"%.1f %.2fx", fill, Ratio(fill, Get(r, Key("floor", c))));
        });
    }
    row(L"  rows listed, categories 0..6", [](const Results& r) {
        std::wstring text;
        for (int c = 0; c < kDeviceCategoryCount; ++c) {
            if (c > 0) {
                text += L"/";
            }
            text += Has(r, Key("rows", c)) ? Format(L"%.0f", Get(r, Key("rows", c))) : L"-";
        }
        return text;
    });
    row(L"  program's walk alone, all (ms)", [](const Results& r) {
        return Format(L"%.1f %.2fx", Get(r, "walk"), Ratio(Get(r, "walk"), Get(r, "export.floor")));
    });
    row(L"  list rows alone, shown window (ms)", [](const Results& r) {
        return Has(r, "list.shown") ? Format(L"%.1f", Get(r, "list.shown")) : std::wstring(L"-");
    });
    row(L"  list rows alone, hidden window (ms)",
        [](const Results& r) { return Format(L"%.1f", Get(r, "list.hidden")); });
    row(L"  list rows alone, redraw off (ms)",
        [](const Results& r) { return Format(L"%.1f", Get(r, "list.redrawoff")); });
    row(L"Export (ms, x floor)", [](const Results& r) {
        return Format(L"%.1f %.2fx", Get(r, "export"),
                      Ratio(Get(r, "export"), Get(r, "export.floor")));
    });
    row(L"  report writing alone (ms)",
        [](const Results& r) { return Format(L"%.1f", Get(r, "writeonly")); });
    row(L"  file size (KB, records)", [](const Results& r) {
        return Format(L"%.0f KB %.0f", Get(r, "export.bytes") / 1024, Get(r, "export.count"));
    });
    row(L"Start-up, bare window (ms)",
        [](const Results& r) { return Format(L"%.0f", Get(r, "startup.bare")); });
    row(L"Start-up, Halvoran (ms)",
        [](const Results& r) { return Format(L"%.0f", Get(r, "startup.full")); });
    row(L"  x (floor + bare start-up)", [](const Results& r) {
        double base = Get(r, "export.floor") + Get(r, "startup.bare");
        return Format(L"%.2fx", Ratio(Get(r, "startup.full"), base));
    });
    row(L"  floor in a fresh process (ms)",
        [](const Results& r) { return Format(L"%.0f", Get(r, "floor.fresh")); });
    row(L"  x (fresh floor + bare start-up)", [](const Results& r) {
        double base = Get(r, "floor.fresh") + Get(r, "startup.bare");
        return Format(L"%.2fx", Ratio(Get(r, "startup.full"), base));
    });
    row(L"Peak working set, bare / filled (MB)", [](const Results& r) {
        return Format(L"%.1f / %.1f", Get(r, "ws.bare.peak") / kMegabyte,
                      Get(r, "ws.full.peak") / kMegabyte);
    });
    row(L"  growth (MB, KB per device)", [](const Results& r) {
        double growth = Get(r, "ws.full.peak") - Get(r, "ws.bare.peak");
        double devices = Get(r, "devices");
        return Format(L"%.1f %.2f", growth / kMegabyte, devices > 0 ? growth / 1024 / devices : 0);
    });
    row(L"  growth of the floor alone, fresh (MB)",
        [](const Results& r) { return Format(L"%.1f", Get(r, "floor.fresh.growth") / kMegabyte); });
    row(L"Working set when idle, bare / filled (MB)", [](const Results& r) {
        return Format(L"%.1f / %.1f", Get(r, "ws.bare.now") / kMegabyte,
                      Get(r, "ws.full.now") / kMegabyte);
    });
    row(L"Soak: handles before -> after", [](const Results& r) {
        if (Get(r, "soak.changes") == 0) {
            return std::wstring(L"-");
        }
        return Format(L"%.0f -> %.0f", Get(r, "soak.handles.before"), Get(r, "soak.handles.after"));
    });
    row(L"Soak: windows before -> after", [](const Results& r) {
        if (Get(r, "soak.changes") == 0) {
            return std::wstring(L"-");
        }
        return Format(L"%.0f -> %.0f", Get(r, "soak.windows.before"), Get(r, "soak.windows.after"));
    });
    row(L"Soak: changes / exports / failures (s)", [](const Results& r) {
        if (Get(r, "soak.changes") == 0) {
            return std::wstring(L"-");
        }
        return Format(L"%.0f/%.0f/%.0f %.0fs", Get(r, "soak.changes"), Get(r, "soak.exports"),
                      Get(r, "soak.failures"), Get(r, "soak.seconds"));
    });
    return 0;
}

int wmain(int argc, WCHAR** argv) {
    // Progress shows as it happens, even when the output goes to a file.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && wcscmp(argv[1], L"populate") == 0) {
        return Populate(wcstoul(argv[2], nullptr, 10));
    }
    if (argc == 3 && wcscmp(argv[1], L"floor") == 0) {
        return RunFreshFloor(argv[2]) ? 0 : 1;
    }
    if (argc >= 6 && wcscmp(argv[1], L"measure") == 0) {
        DWORD devices = wcstoul(argv[2], nullptr, 10);
        bool full = false;
        MeasurePlan plan = {};
        for (int i = 6; i < argc; ++i) {
            plan.soak = plan.soak || wcscmp(argv[i], L"soak") == 0;
            full = full || wcscmp(argv[i], L"full") == 0;
        }
        // Fewer repetitions where each one takes seconds.
        plan.repetitions = devices <= 500 ? 5 : devices <= 5000 ? 3 : 1;
        plan.fillRepetitions = devices <= 500 ? 5 : 1;
        bool large = devices > 5000 && !full;
        for (int c = 0; c < kDeviceCategoryCount; ++c) {
            plan.fillCategory[c] = !large || c == 3 || c == 4;
        }
        plan.listShown = devices <= 500 || full;
        return Measure(devices, argv[3], argv[4], argv[5], plan);
    }
    if (argc >= 3 && wcscmp(argv[1], L"table") == 0) {
        return PrintTable(argc - 2, argv + 2);
    }
    fwprintf(stderr, L"usage: halvoran_bench populate N\n"
                     L"       halvoran_bench measure N PROGRAM BARE_WINDOW RESULTS [soak] [full]\n"
                     L"       halvoran_bench table RESULTS...\n"
                     L"       halvoran_bench floor FILE\n");
    return 2;
}
