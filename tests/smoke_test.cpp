// The built program from the outside: started as its own process, its window found and read
// through the window manager's cross-process messages, then closed like a user closes it.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "test_devices.h"

namespace {

const DWORD kDeadlineMs = 30000;

const wchar_t kPrompt[] =
    L"S\u00e9lectionnez un p\u00e9riph\u00e9rique pour voir et copier les d\u00e9tails.";

// Ends the program if a check fails before it was closed.
struct StartedProgram {
    PROCESS_INFORMATION info = {};
    ~StartedProgram() {
        if (info.hProcess != nullptr) {
            if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info.hProcess, 99);
                WaitForSingleObject(info.hProcess, kDeadlineMs);
            }
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
};

TEST(ProgramTest, OpensListingEveryPresentDeviceAndClosesWithExitCodeZero) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"HALVORAN_EXE", path, ARRAYSIZE(path)), 0u)
        << "HALVORAN_EXE names the built program";
    ASSERT_EQ(nullptr, FindWindowW(L"HalvoranClass", nullptr)) << "a Halvoran window is open";
    RemoveLeftoverTestDevices();

    std::wstring commandLine = L"\"" + std::wstring(path) + L"\"";
    std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    StartedProgram program;
    ASSERT_TRUE(CreateProcessW(path, commandBuffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &program.info))
        << GetLastError();

    // The window becomes visible only once the list has been filled.
    HWND window = nullptr;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kDeadlineMs) {
        window = FindWindowW(L"HalvoranClass", L"Halvoran");
        if (window != nullptr && IsWindowVisible(window)) {
            break;
        }
        ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(program.info.hProcess, 50))
            << "the program ended before showing its window";
    }
    ASSERT_NE(nullptr, window) << "no window within " << kDeadlineMs << " ms";
    ASSERT_TRUE(IsWindowVisible(window));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(program.info.dwProcessId, owner);

    HWND list = GetDlgItem(window, 1002);
    ASSERT_NE(nullptr, list);
    DWORD present = CountPresentDevices(nullptr);
    EXPECT_GT(present, 0u);
    EXPECT_EQ(static_cast<LRESULT>(present), SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

    HWND pane = GetDlgItem(window, 1003);
    ASSERT_NE(nullptr, pane);
    wchar_t text[256] = {};
    // WM_GETTEXT goes to the edit control itself, across the process boundary.
    SendMessageW(pane, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(kPrompt, text);

    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program.info.hProcess, kDeadlineMs))
        << "the program did not end after WM_CLOSE";
    DWORD exitCode = 1234;
    ASSERT_TRUE(GetExitCodeProcess(program.info.hProcess, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
