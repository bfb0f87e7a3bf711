// Halvoran's benchmark: realistic devices in a private prefix, the program's own code paths
// timed against a bare loop of the same system calls, and its handles, windows and memory.
//
//   halvoran_bench populate N
//   halvoran_bench measure N PROGRAM BARE_WINDOW RESULTS [soak] [full]
//   halvoran_bench table RESULTS...
//   halvoran_bench chart RESULTS...   (one line a size: devices, then medians in ms)
//   halvoran_bench floor FILE         (run by measure: the floor in a fresh process)
//   halvoran_bench walk RECORDS FILE  (run by measure: the program's walk, fresh process)
//   halvoran_bench rows RECORDS FILE  (run by measure: the list's rows alone, fresh process)
//
// Every time is measured in pairs with what it is compared with, both inside one repetition,
// and the table shows the median ratio of the pairs with the lowest and highest: single
// timings under Wine drift by 2 to 4 times over minutes, a pair's two halves do not. measure
// writes "key value" lines to RESULTS; table prints them side by side.

#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <functional>
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
    int pairs;        // of each category's fill
    int wholePairs;   // of the fill of every device and the export: two whole walks a pair
    int walkPairs;    // of the walk alone against the floor (none: not measured)
    int startupPairs; // three processes a pair, two of them walking every device
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

static double TimeMs(const std::function<void()>& action) {
    double start = NowMs();
    action();
    return NowMs() - start;
}

// A figure and its base, one pair a repetition. The two are timed one right after the other,
// the base first in even repetitions and the figure first in odd ones, so that neither is
// always the one that finds the system warmed up by the other.
struct Pairs {
    std::vector<double> figures;
    std::vector<double> bases;

    void Measure(int repetition, const std::function<double()>& figure,
                 const std::function<double()>& base) {
        if (repetition % 2 == 0) {
            bases.push_back(base());
            figures.push_back(figure());
        } else {
            figures.push_back(figure());
            bases.push_back(base());
        }
    }
};

// Stores key.ms and key.base (medians), key.ratio (the median of the pairs' ratios), key.lo and
// key.hi (the lowest and highest ratio) and key.pairs.
static void StorePairs(const std::string& key, const Pairs& pairs, Results* results) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pairs.figures.size(); ++i) {
        ratios.push_back(pairs.bases[i] > 0 ? pairs.figures[i] / pairs.bases[i] : 0);
    }
    (*results)[key + ".ms"] = Median(pairs.figures);
    (*results)[key + ".base"] = Median(pairs.bases);
    (*results)[key + ".ratio"] = Median(ratios);
    (*results)[key + ".lo"] = ratios.empty() ? 0 : *std::min_element(ratios.begin(), ratios.end());
    (*results)[key + ".hi"] = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
    (*results)[key + ".pairs"] = static_cast<double>(ratios.size());
}

static void KeepRecord(void* context, DWORD, const DeviceRecord* record) {
    static_cast<std::vector<DeviceRecord>*>(context)->push_back(*record);
}

static DWORD ListRows() {
    return static_cast<DWORD>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
}

// Times action against the floor of every class, one pair a repetition, as key; the floor's
// device count goes to key.floor.count.
static void MeasureAgainstFloor(const std::string& key, int repetitions,
                                const std::function<void()>& action, Results* results) {
    Pairs pairs;
    DWORD floorCount = 0;
    for (int r = 0; r < repetitions; ++r) {
        pairs.Measure(
            r, [&] { return TimeMs(action); },
            [&] { return TimeMs([&] { floorCount = RunFloor(nullptr); }); });
    }
    StorePairs(key, pairs, results);
    (*results)[key + ".floor.count"] = floorCount;
}

// The program's walk of every device against the floor: both make the same system calls, so
// their ratio says what the program's own code adds.
static void MeasureWalks(int repetitions, Results* results) {
    DWORD walkCount = 0;
    MeasureAgainstFloor(
        "walk", repetitions,
        [&] { walkCount = WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr); }, results);
    (*results)["walk.count"] = walkCount;
}

// FillDeviceList for each category, as the user goes down the selector, until its rows are
// drawn, against the category's floor plus the window's part of the same fill: the prompt put
// in the pane and the same rows put in the list with its redrawing off (from records in
// memory), both drawn once at the end.
static void MeasureFills(HWND window, const MeasurePlan& plan, const std::vector<DeviceRecord>& all,
                         Results* results) {
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        const int repetitions = c == 0 ? plan.wholePairs : plan.pairs;
        const GUID* classGuid = DeviceCategoryTable[c].classGuid;
        std::vector<DeviceRecord> category;
        if (classGuid != nullptr) {
            WalkDevices(OpenDeviceSet(classGuid), KeepRecord, &category);
        }
        const std::vector<DeviceRecord>& records = classGuid != nullptr ? category : all;
        DWORD listed = 0;
        Pairs pairs;
        std::vector<double> floors;
        std::vector<double> rows;
        for (int r = 0; r < repetitions; ++r) {
            pairs.Measure(
                r,
                [&] {
                    double ms = TimeMs([&] {
                        FillDeviceList(c);
                        UpdateWindow(window);
                    });
                    listed = ListRows();
                    return ms;
                },
                [&] {
                    floors.push_back(TimeMs([&] { RunFloor(classGuid); }));
                    rows.push_back(TimeMs([&] {
                        SetWindowTextW(g_detailsEdit, kDetailsPrompt);
                        ListRecordsRedrawOff(window, records);
                    }));
                    return floors.back() + rows.back();
                });
            PumpMessages();
        }
        (*results)[Key("rows", c)] = listed;
        (*results)[Key("expected", c)] = static_cast<double>(records.size());
        (*results)[Key("fill", c) + ".floor"] = Median(floors);
        (*results)[Key("fill", c) + ".rows"] = Median(rows);
        StorePairs(Key("fill", c), pairs, results);
    }
}

// WriteInventoryFile (the export after its dialog) against the floor of every class; and the
// report's writing alone, from records in memory.
static void MeasureExports(int repetitions, const WCHAR* path,
                           const std::vector<DeviceRecord>& records, Results* results) {
    DWORD count = 0;
    int failures = 0;
    MeasureAgainstFloor(
        "export", repetitions,
        [&] {
            if (WriteInventoryFile(path, &count) != kExportWritten) {
                ++failures;
            }
        },
        results);
    (*results)["export.count"] = count;
    (*results)["export.failures"] = failures;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &attributes)) {
        (*results)["export.bytes"] = static_cast<double>(attributes.nFileSizeLow) +
                                     static_cast<double>(attributes.nFileSizeHigh) * 4294967296.0;
    }

    std::vector<double> writes;
    for (int r = 0; r < repetitions; ++r) {
        writes.push_back(TimeMs([&] {
            FILE* stream = _wfopen(path, L"wb");
            if (stream != nullptr) {
                WriteReportMark(stream);
                WriteReportHeader(stream);
                for (size_t p = 0; p < records.size(); ++p) {
                    WriteReportRecord(stream, static_cast<DWORD>(p + 1), &records[p]);
                }
                fclose(stream);
            }
        }));
    }
    (*results)["writeonly"] = Median(writes);
}

// Halvoran started until its window shows every device, against the floor in a fresh process
// plus the bare window's start-up, all three in each repetition; the memory of each, and of
// the list's rows alone (those of recordsPath) in a fresh process.
static void MeasureStartups(int repetitions, const WCHAR* program, const WCHAR* bareWindow,
                            DWORD devices, const WCHAR* recordsPath, Results* results) {
    Pairs pairs;
    std::vector<double> bare, fresh, barePeak, fullPeak, floorGrowth;
    int failures = 0;
    for (int r = 0; r < repetitions; ++r) {
        pairs.Measure(
            r,
            [&] {
                StartupFigures figures;
                if (!MeasureStartup(program, devices, &figures)) {
                    ++failures;
                }
                fullPeak.push_back(static_cast<double>(figures.memory.peakWorkingSet));
                return figures.ms;
            },
            [&] {
                ChildFigures floor;
                if (!MeasureFreshFloor(&floor)) {
                    ++failures;
                }
                StartupFigures figures;
                if (!MeasureStartup(bareWindow, 0, &figures)) {
                    ++failures;
                }
                fresh.push_back(floor.ms);
                floorGrowth.push_back(floor.peakGrowth);
                bare.push_back(figures.ms);
                barePeak.push_back(static_cast<double>(figures.memory.peakWorkingSet));
                return floor.ms + figures.ms;
            });
    }
    StorePairs("startup", pairs, results);
    (*results)["startup.bare"] = Median(bare);
    (*results)["startup.freshfloor"] = Median(fresh);
    (*results)["startup.failures"] = failures;
    (*results)["mem.bare"] = Median(barePeak);
    (*results)["mem.full"] = Median(fullPeak);
    (*results)["mem.setupapi"] = Median(floorGrowth);

    ChildFigures rows;
    if (MeasureRowsAlone(recordsPath, &rows)) {
        (*results)["mem.rows"] = rows.peakGrowth;
        (*results)["rows.fresh"] = rows.ms;
    }
}

static void ChangeCategory(HWND window, int index) {
    SendMessageW(g_categoryCombo, CB_SETCURSEL, index, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(g_categoryCombo));
    PumpMessages();
}

// Handles and windows before and after many category changes and exports, on the shown
// window.
static void MeasureSoak(HWND window, const WCHAR* path, Results* results) {
    DWORD self = GetCurrentProcessId();
    DWORD count = 0;
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
    Results results;
    results["n"] = devices;
    results["bits"] = static_cast<double>(8 * sizeof(void*));
    results["pairs"] = plan.pairs;
    results["pairs.whole"] = plan.wholePairs;
    results["pairs.startup"] = plan.startupPairs;
    // Every device's record, from the program's walk in a fresh process, which also tells what
    // that walk adds to SetupAPI's memory.
    WCHAR recordsPath[MAX_PATH];
    DWORD folder = GetTempPathW(ARRAYSIZE(recordsPath), recordsPath);
    if (folder == 0 || folder > ARRAYSIZE(recordsPath) - 40) {
        return 1;
    }
    wcscat(recordsPath, L"halvoran-bench-records.bin");
    double start = NowMs();
    ChildFigures walk;
    std::vector<DeviceRecord> all;
    if (!MeasureFreshWalk(recordsPath, &walk) || !ReadRecords(recordsPath, &all)) {
        fwprintf(stderr, L"cannot walk the devices in a fresh process\n");
        return 1;
    }
    results["mem.walk"] = walk.peakGrowth;
    const DWORD present = static_cast<DWORD>(all.size());
    results["devices"] = present;
    wprintf(L"measure: %lu devices present (fresh walk %.1f s), %d pairs a category\n", present,
            (NowMs() - start) / 1000, plan.pairs);
    // Where a walk takes no more than seconds, one first, outside the figures.
    if (present <= 5000) {
        RunFloor(nullptr);
    }

    start = NowMs();
    MeasureStartups(plan.startupPairs, program, bareWindow, present, recordsPath, &results);
    DeleteFileW(recordsPath);
    wprintf(L"measure: start-up and memory done in %.1f s\n", (NowMs() - start) / 1000);

    WCHAR exportPath[MAX_PATH];
    DWORD length = GetTempPathW(ARRAYSIZE(exportPath), exportPath);
    if (length == 0 || length > ARRAYSIZE(exportPath) - 40) {
        return 1;
    }
    wcscat(exportPath, L"halvoran-bench-export.txt");

    RegisterMainWindowClass(GetModuleHandleW(nullptr));
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    if (window == nullptr) {
        fwprintf(stderr, L"cannot create the main window\n");
        return 1;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();

    start = NowMs();
    if (plan.walkPairs > 0) {
        MeasureWalks(plan.walkPairs, &results);
    }
    MeasureFills(window, plan, all, &results);
    wprintf(L"measure: walks and fills done in %.1f s\n", (NowMs() - start) / 1000);
    start = NowMs();
    MeasureExports(plan.wholePairs, exportPath, all, &results);
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

static bool ReadAll(int count, WCHAR** paths, std::vector<Results>* sizes) {
    for (int i = 0; i < count; ++i) {
        sizes->emplace_back();
        if (!ReadResults(paths[i], &sizes->back())) {
            fwprintf(stderr, L"cannot read %ls\n", paths[i]);
            return false;
        }
    }
    return true;
}

// "1234.5 1.02x (0.98-1.10)": the median time, the median ratio of its pairs and their spread.
static std::wstring PairCell(const Results& r, const std::string& key) {
    if (!Has(r, key + ".ms")) {
        return L"-";
    }
    return Format(L"%.1f %.2fx (%.2f-%.2f)", Get(r, key + ".ms"), Get(r, key + ".ratio"),
                  Get(r, key + ".lo"), Get(r, key + ".hi"));
}

// One row of the table: a label, then one cell per size.
static void PrintRow(const wchar_t* label, const std::vector<std::wstring>& cells) {
    wprintf(L"%-46ls", label);
    for (const std::wstring& cell : cells) {
        wprintf(L" %27ls", cell.c_str());
    }
    wprintf(L"\n");
}

static const double kMegabyte = 1024.0 * 1024.0;

static int PrintTable(int count, WCHAR** paths) {
    std::vector<Results> sizes;
    if (!ReadAll(count, paths, &sizes)) {
        return 1;
    }
    auto row = [&](const wchar_t* label, const std::function<std::wstring(const Results&)>& cell) {
        std::vector<std::wstring> cells;
        for (const Results& r : sizes) {
            cells.push_back(cell(r));
        }
        PrintRow(label, cells);
    };
    auto number = [](const char* key, const wchar_t* format) {
        return [key, format](const Results& r) { return Format(format, Get(r, key)); };
    };
    auto megabytes = [](const char* key) {
        return [key](const Results& r) { return Format(L"%.1f", Get(r, key) / kMegabyte); };
    };
    row(L"", number("n", L"N=%.0f"));
    row(L"Build measured", [](const Results& r) {
        return std::wstring(Get(r, "bits") == 32 ? L"i686 (32-bit)" : L"x86_64 (64-bit)");
    });
    row(L"Devices created / present",
        [](const Results& r) { return Format(L"%.0f / %.0f", Get(r, "n"), Get(r, "devices")); });
    row(L"Pairs: categories / every device / start-up", [](const Results& r) {
        return Format(L"%.0f / %.0f / %.0f", Get(r, "pairs"), Get(r, "pairs.whole"),
                      Get(r, "pairs.startup"));
    });
    row(L"Floor, all classes (ms)", number("export.base", L"%.1f"));
    row(L"Walk alone, all (ms, x floor)", [](const Results& r) { return PairCell(r, "walk"); });
    row(L"  devices seen by the floor / the walk", [](const Results& r) {
        return Has(r, "walk.count")
                   ? Format(L"%.0f / %.0f", Get(r, "walk.floor.count"), Get(r, "walk.count"))
                   : std::wstring(L"-");
    });
    static const wchar_t* kFillLabels[kDeviceCategoryCount] = {
        L"Fill 0 all (ms, x floor + list)",       L"Fill 1 net (ms, x floor + list)",
        L"Fill 2 diskdrive (ms, x floor + list)", L"Fill 3 hdc (ms, x floor + list)",
        L"Fill 4 display (ms, x floor + list)",   L"Fill 5 usb (ms, x floor + list)",
        L"Fill 6 media (ms, x floor + list)"};
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        row(kFillLabels[c], [c](const Results& r) { return PairCell(r, Key("fill", c)); });
    }
    row(L"  fill 0: floor / list and pane alone (ms)", [](const Results& r) {
        return Format(L"%.1f / %.1f", Get(r, "fill.0.floor"), Get(r, "fill.0.rows"));
    });
    row(L"  rows listed, categories 0..6", [](const Results& r) {
        std::wstring text;
        for (int c = 0; c < kDeviceCategoryCount; ++c) {
            text += Format(c == 0 ? L"%.0f" : L"/%.0f", Get(r, Key("rows", c)));
        }
        return text;
    });
    row(L"Export (ms, x floor)", [](const Results& r) { return PairCell(r, "export"); });
    row(L"  report writing alone (ms)", number("writeonly", L"%.1f"));
    row(L"  file size (KB, records)", [](const Results& r) {
        return Format(L"%.0f KB %.0f", Get(r, "export.bytes") / 1024, Get(r, "export.count"));
    });
    row(L"Start-up (ms, x fresh floor + bare)",
        [](const Results& r) { return PairCell(r, "startup"); });
    row(L"  fresh floor / bare window (ms)", [](const Results& r) {
        return Format(L"%.0f / %.0f", Get(r, "startup.freshfloor"), Get(r, "startup.bare"));
    });
    row(L"Peak working set, bare / filled (MB)", [](const Results& r) {
        return Format(L"%.1f / %.1f", Get(r, "mem.bare") / kMegabyte,
                      Get(r, "mem.full") / kMegabyte);
    });
    row(L"  growth (MB)", [](const Results& r) {
        return Format(L"%.1f", (Get(r, "mem.full") - Get(r, "mem.bare")) / kMegabyte);
    });
    row(L"  SetupAPI: the floor alone, fresh (MB)", megabytes("mem.setupapi"));
    row(L"  list view: the rows alone, fresh (MB)", megabytes("mem.rows"));
    row(L"  the rest: growth less both (MB)", [](const Results& r) {
        double rest =
            Get(r, "mem.full") - Get(r, "mem.bare") - Get(r, "mem.setupapi") - Get(r, "mem.rows");
        return Format(L"%.1f", rest / kMegabyte);
    });
    row(L"  the program's own: its walk less floor (MB)", [](const Results& r) {
        return Format(L"%.1f", (Get(r, "mem.walk") - Get(r, "mem.setupapi")) / kMegabyte);
    });
    auto soak = [](const char* before, const char* after) {
        return [before, after](const Results& r) {
            return Get(r, "soak.changes") == 0
                       ? std::wstring(L"-")
                       : Format(L"%.0f -> %.0f", Get(r, before), Get(r, after));
        };
    };
    row(L"Soak: handles before -> after", soak("soak.handles.before", "soak.handles.after"));
    row(L"Soak: windows before -> after", soak("soak.windows.before", "soak.windows.after"));
    row(L"Soak: changes / exports / failures (s)", [](const Results& r) {
        if (Get(r, "soak.changes") == 0) {
            return std::wstring(L"-");
        }
        return Format(L"%.0f/%.0f/%.0f %.0fs", Get(r, "soak.changes"), Get(r, "soak.exports"),
                      Get(r, "soak.failures"), Get(r, "soak.seconds"));
    });
    return 0;
}

// The chart's data: devices present, then the medians of the floor, the fill of every device,
// the export and the start-up, in ms.
static int PrintChartData(int count, WCHAR** paths) {
    std::vector<Results> sizes;
    if (!ReadAll(count, paths, &sizes)) {
        return 1;
    }
    for (const Results& r : sizes) {
        wprintf(L"%.0f %.1f %.1f %.1f %.1f\n", Get(r, "devices"), Get(r, "export.base"),
                Get(r, "fill.0.ms"), Get(r, "export.ms"), Get(r, "startup.ms"));
    }
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
    if (argc == 4 && wcscmp(argv[1], L"walk") == 0) {
        return RunFreshWalk(argv[2], argv[3]) ? 0 : 1;
    }
    if (argc == 4 && wcscmp(argv[1], L"rows") == 0) {
        return RunRowsAlone(argv[2], argv[3]) ? 0 : 1;
    }
    if (argc >= 6 && wcscmp(argv[1], L"measure") == 0) {
        DWORD devices = wcstoul(argv[2], nullptr, 10);
        bool full = false;
        MeasurePlan plan = {};
        for (int i = 6; i < argc; ++i) {
            plan.soak = plan.soak || wcscmp(argv[i], L"soak") == 0;
            full = full || wcscmp(argv[i], L"full") == 0;
        }
        // Fewer pairs where each walk takes seconds; at the largest size a walk of every
        // device takes 20 to 50 s, so the default run makes one pair of the figures that walk
        // every device there (full: three) and leaves the walk alone out.
        const bool large = devices > 5000;
        plan.pairs = devices <= 500 ? 15 : large ? 3 : 5;
        plan.wholePairs = large && !full ? 1 : plan.pairs;
        plan.walkPairs = large && !full ? 0 : plan.pairs;
        plan.startupPairs = large && !full ? 1 : large ? 3 : devices <= 500 ? 7 : 5;
        return Measure(devices, argv[3], argv[4], argv[5], plan);
    }
    if (argc >= 3 && wcscmp(argv[1], L"table") == 0) {
        return PrintTable(argc - 2, argv + 2);
    }
    if (argc >= 3 && wcscmp(argv[1], L"chart") == 0) {
        return PrintChartData(argc - 2, argv + 2);
    }
    fwprintf(stderr, L"usage: halvoran_bench populate N\n"
                     L"       halvoran_bench measure N PROGRAM BARE_WINDOW RESULTS [soak]"
                     L" [full]\n"
                     L"       halvoran_bench table RESULTS...\n"
                     L"       halvoran_bench chart RESULTS...\n");
    return 2;
}
