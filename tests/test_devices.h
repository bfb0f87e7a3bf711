#pragma once

// Devices and services made for a test in the private Wine prefix and removed again, the
// categories as the tests know them, and what the system itself says is present: the oracle
// the program's enumeration is checked against.

#include <windows.h>
#include <setupapi.h>

#include <ostream>
#include <string>
#include <vector>

#include "inventory/device_enum.h"
#include "support/helpers.h"

// True when this process runs under Wine (ntdll.dll exports wine_get_version), unless
// HALVORAN_TEST_ASSUME_WINDOWS=1 is set: the tests then behave as on Windows.
bool RunningUnderWine();

// Whether tests may create devices, write registry keys or files outside their temporary folder:
// under Wine (the build's own prefix), or where HALVORAN_TEST_CHANGE_THIS_MACHINE=1. Elsewhere
// the helpers below that would change the system refuse, and tests skip, saying why.
bool SystemChangesAllowed();
#define SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED(what)                                                   \
    if (!SystemChangesAllowed())                                                                   \
    GTEST_SKIP() << "skipped: " what "; runs only under Wine, or with "                            \
                    "HALVORAN_TEST_CHANGE_THIS_MACHINE=1"

// The seven categories, written out independently of the program's table: labels and class
// GUIDs as the program must show and use them (no GUID for row 0).
struct TestCategory {
    const wchar_t* label;
    const wchar_t* classGuid;
};
extern const TestCategory kTestCategories[7];

// The class GUID of category row as a value, or null for row 0.
const GUID* TestCategoryGuid(int row);

// The GUID written as {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}, in lower case.
std::wstring GuidText(const GUID& guid);

// A GUID of a setup class that no device of the system belongs to.
extern const GUID kTestEmptyClassGuid;

// A device made for the test; one still there when it goes is removed then.
struct TestDevice {
    TestDevice() = default;
    TestDevice(const TestDevice&) = delete;
    ~TestDevice();
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA data = {};
};

// Creates and registers ROOT\<name>\0000 in the given setup class, with no property set. Names
// start with HALVORAN_TEST so that RemoveLeftoverTestData finds them. Fails, as WriteTestService
// does, where SystemChangesAllowed() is false.
bool CreateTestDevice(const GUID* classGuid, const WCHAR* name, TestDevice* device);

// Stores a property exactly as given: text properties take their terminator in bytes.
bool SetTestDeviceProperty(TestDevice* device, DWORD property, const void* data, DWORD bytes);
bool SetTestDeviceText(TestDevice* device, DWORD property, const WCHAR* text);

// Removes the device from the system and releases its set.
void RemoveTestDevice(TestDevice* device);

// Writes HKLM\SYSTEM\CurrentControlSet\Services\<service> with an ImagePath value of the given
// type and bytes (no value when data is null). Names start with HalvTest so that
// RemoveLeftoverTestData finds them.
bool WriteTestService(const WCHAR* service, DWORD type, const void* data, DWORD bytes);

// Removes every test device (ROOT\HALVORAN_TEST...) and test service key (HalvTest...) from
// the prefix: those of a test that has just ended, however it ended, or of an earlier run that
// stopped half way.
void RemoveLeftoverTestData();

// One present device as the system describes it, read by the floor (support/floor.h) and turned
// into the four texts a user must see by the tests' own rules, without the program's code.
struct ListedDevice {
    std::wstring name, hardwareId, manufacturer, driverFile;
    bool operator==(const ListedDevice& other) const;
};
std::ostream& operator<<(std::ostream& out, const ListedDevice& device);

// Creates a device that must read as shown: its friendly name (over a description of its own),
// its hardware IDs (shown's, then another), its maker, and the service whose ImagePath
// (REG_EXPAND_SZ) ends in its driver file.
bool CreateShownTestDevice(const GUID* classGuid, const WCHAR* name, const ListedDevice& shown,
                           const WCHAR* service, TestDevice* device);

// The detail pane's four labelled lines for a device.
std::wstring DetailsOf(const ListedDevice& device);

// The report's byte order mark and heading, and a device's record under its number.
extern const std::wstring kReportHead;
std::wstring ReportRecord(unsigned long number, const ListedDevice& device);

// Every byte of a file (none when unreadable).
std::vector<unsigned char> FileBytes(const std::wstring& path);

// The present devices of the class (every class when null), in the system's order.
std::vector<ListedDevice> ReadPresentDevices(const GUID* classGuid);
DWORD CountPresentDevices(const GUID* classGuid);

// Puts other device-set calls in place of the system's while it lives (a null one keeps what
// is there); the previous ones come back when it goes, a failed assertion included.
class ScopedDeviceSetApi {
  public:
    ScopedDeviceSetApi(HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND, DWORD),
                       BOOL(WINAPI* destroyInfoList)(HDEVINFO) = nullptr);
    ~ScopedDeviceSetApi();
    ScopedDeviceSetApi(const ScopedDeviceSetApi&) = delete;
    ScopedDeviceSetApi& operator=(const ScopedDeviceSetApi&) = delete;

  private:
    DeviceSetApi saved_;
};

// Stand-ins for the system's device-set calls, to put in place with ScopedDeviceSetApi. Each
// counts its calls in g_deviceSetCalls; a refused set also keeps what was asked for it.
struct DeviceSetCalls {
    int opens, destroys;
    const GUID* classGuid;
    DWORD flags;
};
extern DeviceSetCalls g_deviceSetCalls;
HDEVINFO WINAPI RefusedDeviceSet(const GUID* classGuid, PCWSTR, HWND,
                                 DWORD flags);                    // the shared one
HDEVINFO WINAPI EmptyDeviceSet(const GUID*, PCWSTR, HWND, DWORD); // valid, holding no device
BOOL WINAPI CountedDestroy(HDEVINFO set);                         // destroys it for real
