// The main window used for a long while: category changes and exports, again and again, leave
// the process holding no more kernel handles and no more windows than before.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "inventory/device_enum.h"
#include "inventory/device_types.h"
#include "report/export.h"
#include "test_devices.h"
#include "ui/main_window.h"

namespace {

const int kCategoryChanges = 200;
const int kExports = 20;

// The system's handle table as NtQuerySystemInformation(SystemHandleInformation) gives it.
struct HandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
typedef LONG(WINAPI* QuerySystemInformationProc)(ULONG, PVOID, ULONG, PULONG);
const ULONG kSystemHandleInformation = 16;
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// Kernel handles this process holds (GetProcessHandleCount is a stub in Wine 8).
DWORD CountOwnHandles() {
    QuerySystemInformationProc query =
        reinterpret_cast<QuerySystemInformationProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        ADD_FAILURE() << "NtQuerySystemInformation is missing";
        return 0;
    }
    std::vector<BYTE> buffer(64 * 1024);
    LONG status = kStatusInfoLengthMismatch;
    for (int attempt = 0; attempt < 16 && status == kStatusInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kStatusInfoLengthMismatch) {
            buffer.resize(needed > buffer.size() * 2 ? needed + 4096 : buffer.size() * 2);
        }
    }
    EXPECT_EQ(0, status) << "the handle table could not be read";
    const HandleTable* table = reinterpret_cast<const HandleTable*>(buffer.data());
    DWORD self = GetCurrentProcessId();
    DWORD count = 0;
    for (ULONG i = 0; status == 0 && i < table->count; ++i) {
        if (table->entries[i].ownerProcessId == self) {
            ++count;
        }
    }
    return count;
}

BOOL CALLBACK CountDescendant(HWND, LPARAM context) {
    ++*reinterpret_cast<DWORD*>(context);
    return TRUE;
}

void CountIfOwn(HWND window, DWORD* count) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == GetCurrentProcessId()) {
        ++*count;
        EnumChildWindows(window, CountDescendant, reinterpret_cast<LPARAM>(count));
    }
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM context) {
    CountIfOwn(window, reinterpret_cast<DWORD*>(context));
    return TRUE;
}

// Windows of this process: top-level and message-only ones and all their descendants
// (GetGuiResources is a stub in Wine 8).
DWORD CountOwnWindows() {
    DWORD count = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    HWND window = nullptr;
    while ((window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr) {
        CountIfOwn(window, &count);
    }
    return count;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::wstring TempFilePath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(ARRAYSIZE(folder), folder);
    return std::wstring(folder) + name;
}

LONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        return -1;
    }
    return (static_cast<LONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
}

// Devices in the classes of the seven categories, each with a service whose ImagePath the fill
// reads, so that every category change opens and closes registry keys.
const struct {
    GUID classGuid;
    const wchar_t* name;
} kSoakDevices[] = {
    {{0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 8, 0, 0x2b, 0xe1, 3, 0x18}},
     L"HALVORAN_TEST_SOAK_NET"},
    {{0x4d36e967, 0xe325, 0x11ce, {0xbf, 0xc1, 8, 0, 0x2b, 0xe1, 3, 0x18}},
     L"HALVORAN_TEST_SOAK_DISK"},
    {{0x4d36e96a, 0xe325, 0x11ce, {0xbf, 0xc1, 8, 0, 0x2b, 0xe1, 3, 0x18}},
     L"HALVORAN_TEST_SOAK_HDC"},
    {{0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 8, 0, 0x2b, 0xe1, 3, 0x18}},
     L"HALVORAN_TEST_SOAK_DISPLAY"},
    {{0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}},
     L"HALVORAN_TEST_SOAK_USB"},
    {{0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 8, 0, 0x2b, 0xe1, 3, 0x18}},
     L"HALVORAN_TEST_SOAK_MEDIA"},
};
const wchar_t kSoakService[] = L"HalvoranTestSoakSvc";
const wchar_t kSoakImagePath[] = L"\\SystemRoot\\System32\\drivers\\halvsoak.sys";

class SoakTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RemoveLeftoverTestDevices();
        RegisterMainWindowClass(GetModuleHandleW(nullptr));
        ASSERT_TRUE(
            WriteTestService(kSoakService, REG_EXPAND_SZ, kSoakImagePath, sizeof(kSoakImagePath)));
        for (size_t i = 0; i < ARRAYSIZE(kSoakDevices); ++i) {
            TestDevice* device = &devices_[i];
            ASSERT_TRUE(CreateTestDevice(&kSoakDevices[i].classGuid, kSoakDevices[i].name, device));
            ASSERT_TRUE(SetTestDeviceText(device, SPDRP_DEVICEDESC, kSoakDevices[i].name));
            ASSERT_TRUE(SetTestDeviceText(device, SPDRP_MFG, L"Halvoran (Test)"));
            ASSERT_TRUE(SetTestDeviceText(device, SPDRP_SERVICE, kSoakService));
        }
    }
    static void TearDownTestSuite() {
        for (TestDevice& device : devices_) {
            RemoveTestDevice(&device);
        }
        DeleteTestService(kSoakService);
    }
    static TestDevice devices_[ARRAYSIZE(kSoakDevices)];
};

TestDevice SoakTest::devices_[ARRAYSIZE(kSoakDevices)];

// The counters themselves: what is opened shows in them, and what is closed leaves them.
// Without this, a counter that always gave the same number would make the soak pass.
TEST_F(SoakTest, CountersSeeWhatIsOpenedAndClosed) {
    DWORD presentDevices = CountPresentDevices(nullptr);
    ASSERT_GE(presentDevices, ARRAYSIZE(kSoakDevices));
    HKEY key = nullptr;
    FILE* file = nullptr;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    HWND window = nullptr;
    std::wstring path = TempFilePath(L"halvoran-soak-counter.txt");
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
        // Wine's device set keeps one registry key open per device until it is destroyed.
        {"a device set of every class", [&] { set = OpenDeviceSet(nullptr); },
         [&] { WalkDevices(set, nullptr, nullptr); }, presentDevices, 0},
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
    std::wstring path = TempFilePath(L"halvoran-soak-export.txt");

    // What each category lists, and what an export writes, as the system sees it now.
    DWORD expectedRows[kDeviceCategoryCount];
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        expectedRows[c] = CountPresentDevices(DeviceCategoryTable[c].classGuid);
    }
    auto changeCategory = [&](int index) {
        SendMessageW(g_categoryCombo, CB_SETCURSEL, index, 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(g_categoryCombo));
        PumpMessages();
    };

    // One round first: what the system sets up once per process is then already there.
    for (int c = 0; c < kDeviceCategoryCount; ++c) {
        changeCategory(c);
    }
    DWORD count = 0;
    ASSERT_EQ(kExportWritten, WriteInventoryFile(path.c_str(), &count));
    LONGLONG reportSize = FileSize(path);
    ASSERT_GT(reportSize, 0);

    DWORD handlesBefore = CountOwnHandles();
    DWORD windowsBefore = CountOwnWindows();
    for (int i = 0; i < kCategoryChanges; ++i) {
        int index = (i + 1) % kDeviceCategoryCount;
        changeCategory(index);
        DWORD rows = static_cast<DWORD>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
        ASSERT_EQ(expectedRows[index], rows) << "change " << i << " to category " << index;
    }
    for (int i = 0; i < kExports; ++i) {
        ASSERT_EQ(kExportWritten, WriteInventoryFile(path.c_str(), &count)) << "export " << i;
        ASSERT_EQ(expectedRows[0], count) << "export " << i;
        ASSERT_EQ(reportSize, FileSize(path)) << "export " << i;
    }
    EXPECT_EQ(handlesBefore, CountOwnHandles());
    EXPECT_EQ(windowsBefore, CountOwnWindows());

    DestroyWindow(window);
    PumpMessages();
    DeleteFileW(path.c_str());
}

} // namespace
