#include "support/helpers.h"

#include <commctrl.h>

#include "ui/main_window.h"

HDEVINFO WINAPI RefuseDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(ARRAYSIZE(folder), folder);
    return std::wstring(folder) + name;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            DispatchMessageW(&message);
        }
    }
}

// The visible main window of the process, or null.
static HWND ShownWindow(DWORD processId) {
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

static DWORD ListRows(HWND window) {
    DWORD_PTR rows = 0xffffffff;
    SendMessageTimeoutW(GetDlgItem(window, IDC_DEVICE_LIST), LVM_GETITEMCOUNT, 0, 0,
                        SMTO_ABORTIFHUNG, 5000, &rows);
    return static_cast<DWORD>(rows);
}

bool StartProgram(const wchar_t* path, const wchar_t* arguments, DWORD rows, DWORD timeoutMs,
                  StartedProgram* started) {
    *started = {};
    std::wstring commandLine = L"\"" + std::wstring(path) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started->process)) {
        return false;
    }
    // Polled every millisecond: the start-up is timed by the caller.
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
        if (started->window == nullptr &&
            (started->window = ShownWindow(started->process.dwProcessId)) != nullptr) {
            started->rowsWhenShown = ListRows(started->window);
        }
        if (started->window != nullptr && ListRows(started->window) == rows) {
            return true;
        }
        if (WaitForSingleObject(started->process.hProcess, 1) != WAIT_TIMEOUT) {
            return false;
        }
    }
    return false;
}

DWORD CloseProgram(StartedProgram* started, DWORD timeoutMs) {
    if (started->window != nullptr) {
        PostMessageW(started->window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(started->process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(started->process.hProcess, kProgramKilled);
        WaitForSingleObject(started->process.hProcess, 5000);
    }
    DWORD exitCode = kProgramKilled;
    GetExitCodeProcess(started->process.hProcess, &exitCode);
    CloseHandle(started->process.hThread);
    CloseHandle(started->process.hProcess);
    return exitCode;
}
