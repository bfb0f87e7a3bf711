#include "bench/measure.h"

#include <commctrl.h>
#include <setupapi.h>
#include <stdio.h>
#include <wchar.h>

#include <algorithm>

#include "inventory/device_enum.h"
#include "ui/main_window.h"

DWORD RunFloor(const GUID* classGuid) {
    DWORD flags = DIGCF_PRESENT | (classGuid == nullptr ? DIGCF_ALLCLASSES : 0);
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        return 0;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    WCHAR text[512];
    WCHAR service[256];
    WCHAR keyPath[512];
    WCHAR imagePath[1024];
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
        BYTE* buffer = reinterpret_cast<BYTE*>(text);
        if (!SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_FRIENDLYNAME, nullptr, buffer,
                                               sizeof(text), nullptr)) {
            SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_DEVICEDESC, nullptr, buffer,
                                              sizeof(text), nullptr);
        }
        SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_HARDWAREID, nullptr, buffer,
                                          sizeof(text), nullptr);
        SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_MFG, nullptr, buffer, sizeof(text),
                                          nullptr);
        DWORD type = 0;
        if (!SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_SERVICE, &type,
                                               reinterpret_cast<BYTE*>(service), sizeof(service),
                                               nullptr)) {
            continue;
        }
        swprintf(keyPath, ARRAYSIZE(keyPath), L"SYSTEM\\CurrentControlSet\\Services\\%ls", service);
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            DWORD size = sizeof(imagePath);
            RegQueryValueExW(key, L"ImagePath", nullptr, &type, reinterpret_cast<BYTE*>(imagePath),
                             &size);
            RegCloseKey(key);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return index;
}

// The visible main window of the process, or null.
static HWND FindVisibleMainWindow(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kMainWindowClassName, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

static DWORD ListedRows(HWND mainWindow) {
    HWND list = GetDlgItem(mainWindow, IDC_DEVICE_LIST);
    DWORD_PTR rows = 0;
    if (list == nullptr ||
        !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &rows)) {
        return kNoCount;
    }
    return static_cast<DWORD>(rows);
}

static const double kStartupTimeoutMs = 180000;

bool MeasureStartup(const WCHAR* program, DWORD expectedRows, StartupFigures* figures) {
    figures->ms = 0;
    figures->rows = kNoCount;
    figures->memory.peakWorkingSet = 0;
    figures->memory.workingSet = 0;

    WCHAR commandLine[MAX_PATH + 2];
    swprintf(commandLine, ARRAYSIZE(commandLine), L"\"%ls\"", program);
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNOACTIVATE;
    PROCESS_INFORMATION process;
    double start = NowMs();
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        fwprintf(stderr, L"cannot start %ls (error %lu)\n", program, GetLastError());
        return false;
    }
    // The window becomes visible only after its first fill: from then on it lists every device.
    HWND window = nullptr;
    while (NowMs() - start < kStartupTimeoutMs) {
        window = FindVisibleMainWindow(process.dwProcessId);
        if (window != nullptr) {
            figures->rows = ListedRows(window);
            if (figures->rows == expectedRows) {
                break;
            }
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            break;
        }
    }
    figures->ms = NowMs() - start;
    bool listed = window != nullptr && figures->rows == expectedRows;

    if (window != nullptr) {
        WaitForInputIdle(process.hProcess, 10000);
        ReadMemoryFigures(process.hProcess, &figures->memory);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return listed;
}

static bool TempFilePath(const WCHAR* name, WCHAR* path, DWORD capacity) {
    DWORD length = GetTempPathW(capacity, path);
    if (length == 0 || length + wcslen(name) + 1 > capacity) {
        return false;
    }
    wcscat(path, name);
    return true;
}

static bool WriteFigures(const WCHAR* resultsPath, double first, double second) {
    FILE* file = _wfopen(resultsPath, L"w");
    if (file == nullptr) {
        return false;
    }
    fprintf(file, "%.3f %.0f\n", first, second);
    return fclose(file) == 0;
}

bool RunFreshFloor(const WCHAR* resultsPath) {
    MemoryFigures before;
    ReadMemoryFigures(GetCurrentProcess(), &before);
    double start = NowMs();
    RunFloor(nullptr);
    double ms = NowMs() - start;
    MemoryFigures after;
    ReadMemoryFigures(GetCurrentProcess(), &after);
    return WriteFigures(resultsPath, ms,
                        static_cast<double>(after.peakWorkingSet) -
                            static_cast<double>(before.workingSet));
}

// Appends the record to the stream given as context.
static void SaveRecord(void* context, DWORD, const DeviceRecord* record) {
    fwrite(record, sizeof(*record), 1, static_cast<FILE*>(context));
}

bool RunFreshWalk(const WCHAR* recordsPath, const WCHAR* resultsPath) {
    FILE* records = _wfopen(recordsPath, L"wb");
    if (records == nullptr) {
        return false;
    }
    MemoryFigures before;
    ReadMemoryFigures(GetCurrentProcess(), &before);
    double start = NowMs();
    WalkDevices(OpenDeviceSet(nullptr), SaveRecord, records);
    double ms = NowMs() - start;
    MemoryFigures after;
    ReadMemoryFigures(GetCurrentProcess(), &after);
    if (fclose(records) != 0) {
        return false;
    }
    return WriteFigures(resultsPath, ms,
                        static_cast<double>(after.peakWorkingSet) -
                            static_cast<double>(before.workingSet));
}

static HDEVINFO WINAPI RefuseDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    return INVALID_HANDLE_VALUE;
}

bool RunRowsAlone(const WCHAR* recordsPath, const WCHAR* resultsPath) {
    std::vector<DeviceRecord> records;
    if (!ReadRecords(recordsPath, &records)) {
        return false;
    }
    // The main window with its list empty, as the bare window opens.
    g_deviceSetApi.getClassDevs = RefuseDeviceSet;
    RegisterMainWindowClass(GetModuleHandleW(nullptr));
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    if (window == nullptr) {
        return false;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();
    MemoryFigures before;
    ReadMemoryFigures(GetCurrentProcess(), &before);
    double start = NowMs();
    ListRecordsRedrawOff(window, records);
    double ms = NowMs() - start;
    PumpMessages();
    MemoryFigures after;
    ReadMemoryFigures(GetCurrentProcess(), &after);
    DestroyWindow(window);
    // Nothing is freed while the rows go in: what the working set gained is the list's.
    return WriteFigures(resultsPath, ms,
                        static_cast<double>(after.workingSet) -
                            static_cast<double>(before.workingSet));
}

// Runs this program again as "halvoran_bench <command> [argument] FILE" and reads back the two
// figures it wrote to FILE.
static bool RunChild(const WCHAR* command, const WCHAR* argument, ChildFigures* figures) {
    figures->ms = 0;
    figures->peakGrowth = 0;
    WCHAR self[MAX_PATH];
    WCHAR resultsPath[MAX_PATH];
    if (GetModuleFileNameW(nullptr, self, ARRAYSIZE(self)) == 0 ||
        !TempFilePath(L"halvoran-bench-child.txt", resultsPath, ARRAYSIZE(resultsPath))) {
        return false;
    }
    WCHAR commandLine[3 * MAX_PATH + 32];
    if (argument != nullptr) {
        swprintf(commandLine, ARRAYSIZE(commandLine), L"\"%ls\" %ls \"%ls\" \"%ls\"", self, command,
                 argument, resultsPath);
    } else {
        swprintf(commandLine, ARRAYSIZE(commandLine), L"\"%ls\" %ls \"%ls\"", self, command,
                 resultsPath);
    }
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(self, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    FILE* file = _wfopen(resultsPath, L"r");
    if (file == nullptr) {
        return false;
    }
    bool read = fscanf(file, "%lf %lf", &figures->ms, &figures->peakGrowth) == 2;
    fclose(file);
    DeleteFileW(resultsPath);
    return read;
}

bool MeasureFreshFloor(ChildFigures* figures) {
    return RunChild(L"floor", nullptr, figures);
}

bool MeasureFreshWalk(const WCHAR* recordsPath, ChildFigures* figures) {
    return RunChild(L"walk", recordsPath, figures);
}

bool MeasureRowsAlone(const WCHAR* recordsPath, ChildFigures* figures) {
    return RunChild(L"rows", recordsPath, figures);
}

bool ReadRecords(const WCHAR* path, std::vector<DeviceRecord>* records) {
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) {
        return false;
    }
    // Room for them all at once, so that no earlier copy raises the peak.
    fseek(file, 0, SEEK_END);
    records->reserve(static_cast<size_t>(ftell(file)) / sizeof(DeviceRecord));
    fseek(file, 0, SEEK_SET);
    DeviceRecord record;
    while (fread(&record, sizeof(record), 1, file) == 1) {
        records->push_back(record);
    }
    fclose(file);
    return true;
}

void ListRecords(const std::vector<DeviceRecord>& records) {
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

void ListRecordsRedrawOff(HWND window, const std::vector<DeviceRecord>& records) {
    SendMessageW(g_deviceList, WM_SETREDRAW, FALSE, 0);
    ListRecords(records);
    SendMessageW(g_deviceList, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(g_deviceList, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    UpdateWindow(window);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
