// The main window used for a long while: category changes and exports, again and again, leave
// the process holding no more kernel handles and no more windows than before.

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "process_counters.h"
#include "report/export.h"
#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"

namespace {

const int kCategoryChanges = 200;
const int kExports = 20;

// Kernel handles and windows of this process (GetProcessHandleCount and GetGuiResources are
// stubs in Wine 8); a counter that cannot tell fails the test rather than passing it.
DWORD CountOwnHandles() {
    DWORD count = CountProcessHandles(GetCurrentProcessId());
    EXPECT_NE(kNoCount, count) << "the handle table could not be read";
    return count;
}

DWORD CountOwnWindows() {
    return CountProcessWindows(GetCurrentProcessId());
}

// One device in the class of each category with a class, each with a service whose ImagePath the
// fill reads, so that every category change opens and closes registry keys.
const int kSoakDevices = kDeviceCategoryCount - 1;

class SoakTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!SystemChangesAllowed()) {
            return;
        }
        RemoveLeftoverTestData();
        RegisterMainWindowClass(GetModuleHandleW(nullptr));
        for (int row = 1; row <= kSoakDevices; ++row) {
            const std::wstring name = L"HALVORAN_TEST_SOAK_" + std::to_wstring(row);
            const ListedDevice shown = {name, L"ROOT\\HALVORAN", L"Halvoran (Test)",
                                        L"halvsoak.sys"};
            ASSERT_TRUE(CreateShownTestDevice(TestCategoryGuid(row), name.c_str(), shown,
                                              L"HalvTestSoakSvc", &devices_[row - 1]));
        }
    }
    static void TearDownTestSuite() {
        for (TestDevice& device : devices_) {
            RemoveTestDevice(&device);
        }
        RemoveLeftoverTestData();
    }
    void SetUp() override {
        SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED("creates devices and registry keys");
    }
    static TestDevice devices_[kSoakDevices];
};

TestDevice SoakTest::devices_[kSoakDevices];

// The counters themselves: what is opened shows in them, and what is closed leaves them.
// Without this, a counter that always gave the same number would make the soak pass.
TEST_F(SoakTest, CountersSeeWhatIsOpenedAndClosed) {
    DWORD presentDevices = CountPresentDevices(nullptr);
    ASSERT_GE(presentDevices, static_cast<DWORD>(kSoakDevices));
    HKEY key = nullptr;
    FILE* file = nullptr;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    HWND window = nullptr;
    std::wstring path = TempPath(L"halvoran-soak-counter.txt");
    const struct {
        const char* what;
        std::function<void()> open;
        std::function<void()> close;
        DWORD minHandles; // handles the open adds, at least
        DWORD minWindows; // windows the open adds, at least
    } cases[] = {
        {"a registry key", [&] { RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM", 0, KEY_READ, &key); },
         [&] { RegCloseKey(key); }, 1, 0},
        {"a file", [&] { file = _wfopen(path.c_str(), L"wb"); }, [&] { fclose(file); }, 1, 0},
        // Wine's device set keeps one registry key open per device until it is destroyed;
        // another system's may hold none.
        {"a device set of every class", [&] { set = OpenDeviceSet(nullptr); },
         [&] { WalkDevices(set, nullptr, nullptr); }, RunningUnderWine() ? presentDevices : 0, 0},
        // The main window and its five controls at least (the list's header, the selector's
        // list come with them).
        {"the main window", [&] { window = CreateMainWindow(GetModuleHandleW(nullptr)); },
         [&] { DestroyWindow(window); }, 0, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DWORD handlesBefore = CountOwnHandles();
        DWORD windowsBefore = CountOwnWindows();
        c.open();
        DWORD handlesOpen = CountOwnHandles();
        DWORD windowsOpen = CountOwnWindows();
        c.close();
        PumpMessages();
        EXPECT_GE(handlesOpen, handlesBefore + c.minHandles);
        EXPECT_GE(windowsOpen, windowsBefore + c.minWindows);
        EXPECT_EQ(handlesBefore, CountOwnHandles());
        EXPECT_EQ(windowsBefore, CountOwnWindows());
    }
    DeleteFileW(path.c_str());
}

TEST_F(SoakTest, CategoryChangesAndExportsLeaveNoHandleOrWindowBehind) {
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();
    std::wstring path = TempPath(L"halvoran-soak-export.txt");

    // What each category lists, and what an export writes, as the system sees it now.
    DWORD expectedRows[kDeviceCategoryCount];
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        expectedRows[c] = CountPresentDevices(TestCategoryGuid(c));
    }

    // One round first: what the system sets up once per process is then already there.
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        ChooseCategory(window, c);
        PumpMessages();
    }
    DWORD count = 0;
    ASSERT_EQ(kExportWritten, WriteInventoryFile(path.c_str(), &count));
    const Bytes report = FileBytes(path);
    ASSERT_FALSE(report.empty());

    DWORD handlesBefore = CountOwnHandles();
    DWORD windowsBefore = CountOwnWindows();
    for (int i = 0; i < kCategoryChanges; ++i) {
        int index = (i + 1) % kDeviceCategoryCount;
        ChooseCategory(window, index);
        PumpMessages();
        DWORD rows = static_cast<DWORD>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
        ASSERT_EQ(expectedRows[index], rows) << "change " << i << " to category " << index;
    }
    for (int i = 0; i < kExports; ++i) {
        ASSERT_EQ(kExportWritten, WriteInventoryFile(path.c_str(), &count)) << "export " << i;
        ASSERT_EQ(expectedRows[0], count) << "export " << i;
        ASSERT_TRUE(report == FileBytes(path)) << "export " << i;
    }
    EXPECT_EQ(handlesBefore, CountOwnHandles());
    EXPECT_EQ(windowsBefore, CountOwnWindows());

    DestroyWindow(window);
    PumpMessages();
    DeleteFileW(path.c_str());
}

} // namespace
