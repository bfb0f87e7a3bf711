// The built program started as its own process, its window read from outside, then closed.

#include <gtest/gtest.h>
#include <string>

#include <windows.h>

#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"

namespace {

const DWORD kDeadlineMs = 30000;

TEST(ProgramTest, OpensListingEveryPresentDeviceAndClosesWithExitCodeZero) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"HALVORAN_EXE", path, ARRAYSIZE(path)), 0u);
    ASSERT_EQ(nullptr, FindWindowW(L"HalvoranClass", nullptr)) << "a Halvoran window is open";
    RemoveLeftoverTestData();
    const DWORD present = CountPresentDevices(nullptr);

    StartedProgram program;
    EXPECT_TRUE(StartProgram(path, L"", present, kDeadlineMs, &program))
        << "no visible window listing " << present << " devices within " << kDeadlineMs << " ms";
    ASSERT_NE(nullptr, program.process.hProcess) << GetLastError();
    if (program.window != nullptr) {
        EXPECT_WTEXT(L"HalvoranClass", ClassName(program.window));
        EXPECT_WTEXT(L"Halvoran", WindowText(program.window));
        // The window becomes visible once its list is filled.
        EXPECT_EQ(present, program.rowsWhenShown);
    }
    EXPECT_EQ(0u, CloseProgram(&program, kDeadlineMs)) << "the program did not end after WM_CLOSE";
}

} // namespace
