// The built program started as its own process, its window read from outside, then closed.

#include <gtest/gtest.h>
#include <string>

#include <windows.h>
#include <commctrl.h>

#include "test_devices.h"

namespace {

const DWORD kDeadlineMs = 30000;

TEST(ProgramTest, OpensListingEveryPresentDeviceAndClosesWithExitCodeZero) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"HALVORAN_EXE", path, ARRAYSIZE(path)), 0u);
    ASSERT_EQ(nullptr, FindWindowW(L"HalvoranClass", nullptr)) << "a Halvoran window is open";
    RemoveLeftoverTestData();

    std::wstring commandLine = L"\"" + std::wstring(path) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program = {};
    ASSERT_TRUE(CreateProcessW(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &program))
        << GetLastError();

    // The window becomes visible once its list is filled.
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kDeadlineMs;) {
        window = FindWindowW(L"HalvoranClass", L"Halvoran");
        if ((window != nullptr && IsWindowVisible(window)) ||
            WaitForSingleObject(program.hProcess, 50) != WAIT_TIMEOUT) {
            break;
        }
    }
    DWORD exitCode = 1234;
    if (window != nullptr && IsWindowVisible(window)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        EXPECT_EQ(program.dwProcessId, owner);
        EXPECT_EQ(static_cast<LRESULT>(CountPresentDevices(nullptr)),
                  SendMessageW(GetDlgItem(window, 1002), LVM_GETITEMCOUNT, 0, 0));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program.hProcess, kDeadlineMs))
            << "the program did not end after WM_CLOSE";
        GetExitCodeProcess(program.hProcess, &exitCode);
        EXPECT_EQ(0u, exitCode);
    } else {
        ADD_FAILURE() << "no visible window within " << kDeadlineMs << " ms";
    }
    if (WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.hProcess, 99);
    }
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
}

} // namespace
