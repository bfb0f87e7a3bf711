#include "bench/measure.h"

#include <commctrl.h>
#include <setupapi.h>
#include <stdio.h>
#include <wchar.h>

#include <algorithm>

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

static bool FreshFloorPath(WCHAR* path, DWORD capacity) {
    DWORD length = GetTempPathW(capacity, path);
    if (length == 0 || length + 32 > capacity) {
        return false;
    }
    wcscat(path, L"halvoran-bench-floor.txt");
    return true;
}

bool RunFreshFloor(const WCHAR* resultsPath) {
    MemoryFigures before;
    ReadMemoryFigures(GetCurrentProcess(), &before);
    double start = NowMs();
    RunFloor(nullptr);
    double ms = NowMs() - start;
    MemoryFigures after;
    ReadMemoryFigures(GetCurrentProcess(), &after);
    FILE* file = _wfopen(resultsPath, L"w");
    if (file == nullptr) {
        return false;
    }
    fprintf(file, "%.3f %.0f\n", ms,
            static_cast<double>(after.peakWorkingSet) - static_cast<double>(before.workingSet));
    return fclose(file) == 0;
}

bool MeasureFreshFloor(FreshFloorFigures* figures) {
    figures->ms = 0;
    figures->peakGrowth = 0;
    WCHAR self[MAX_PATH];
    WCHAR resultsPath[MAX_PATH];
    if (GetModuleFileNameW(nullptr, self, ARRAYSIZE(self)) == 0 ||
        !FreshFloorPath(resultsPath, ARRAYSIZE(resultsPath))) {
        return false;
    }
    WCHAR commandLine[2 * MAX_PATH + 16];
    swprintf(commandLine, ARRAYSIZE(commandLine), L"\"%ls\" floor \"%ls\"", self, resultsPath);
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
