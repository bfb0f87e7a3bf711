// Device enumeration, property reading and driver file resolution through Wine's real SetupAPI
// and registry, on devices and services this test creates in its private prefix.

#include <gtest/gtest.h>
#include <vector>
#include <wchar.h>

#include "inventory/device_enum.h"
#include "inventory/driver_file.h"
#include "test_devices.h"
#include "test_text.h"

namespace {

const GUID* const kNet = DeviceCategoryTable[1].classGuid;
const GUID* const kUsb = DeviceCategoryTable[5].classGuid;
const GUID* const kMedia = DeviceCategoryTable[6].classGuid;

// Property or value bytes exactly as stored; null data: not stored at all.
struct Blob {
    const void* data;
    DWORD bytes;
};
Blob T(const WCHAR* text) { // a text with its terminator
    return {text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR))};
}
Blob T(const std::wstring& text) {
    return T(text.c_str());
}
Blob Raw(const std::wstring& text, size_t units) { // no terminator (text holds more units)
    return {text.data(), static_cast<DWORD>(units * sizeof(WCHAR))};
}
const Blob kNone = {nullptr, 0};

// Texts kept alive for the tables. The registry adds a terminator left out of the size when one
// follows the data in memory, so "unterminated" data are followed by an extra unit here.
const std::wstring kF511 = Repeat(L'f', 511), kF512 = Repeat(L'g', 512);
const std::wstring kN512 = Repeat(L'n', 512) + L"x";
const std::wstring kIdsFit = std::wstring(L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02\0"
                                          L"PCI\\VEN_8086&DEV_100E\0",
                                          67);
const std::wstring kIdsLong = Repeat(L'I', 520); // 1040 bytes
const std::wstring kImage1023 = L"C:\\" + Repeat(L'd', 1010) + L"\\f1023.sys";
const std::wstring kImage1024 = L"C:\\" + Repeat(L'd', 1011) + L"\\f1024.sys";
const std::wstring kImageRaw = L"C:\\" + Repeat(L'e', 1012) + L"\\raw.sysXY"; // 2048 bytes used
const std::wstring kImageLong = L"C:\\x\\" + Repeat(L'q', 600) + L".sys";
const std::wstring kImageLongShown = Repeat(L'q', 511);
const std::wstring kService256 = L"HalvTest" + Repeat(L's', 248) + L"x"; // 256 units used
const std::wstring kMulti = std::wstring(L"C:\\a\\multi.sys\0C:\\b\\o.sys\0", 27);
const DWORD kDword = 0x1234;

struct DeviceCase {
    const char* what;
    Blob friendly, description, hardwareIds, manufacturer, service;
    const WCHAR* serviceKey; // null: no key; the ImagePath below is written under it
    DWORD imageType;
    Blob image;
    const WCHAR *name, *hardwareId, *maker, *driver;
};

// One device per row: the record read for it, field by field.
TEST(ReadDeviceRecord, EveryFieldFromCreatedDevices) {
    RemoveLeftoverTestDevices();
    const DeviceCase cases[] = {
        {"friendly name first", T(L"Carte r\u00e9seau Intel(R)"), T(L"Desc"), T(kIdsFit),
         T(L"Intel Corporation"), T(L"HalvTestSz"), L"HalvTestSz", REG_SZ,
         T(L"\\SystemRoot\\System32\\drivers\\halvtest.sys"), L"Carte r\u00e9seau Intel(R)",
         L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02", L"Intel Corporation", L"halvtest.sys"},
        {"description only", kNone, T(L"Contr\u00f4leur h\u00f4te"), kNone, kNone, kNone, nullptr,
         0, kNone, L"Contr\u00f4leur h\u00f4te", L"N/A", L"N/A", L"N/A"},
        {"nothing at all", kNone, kNone, kNone, kNone, kNone, nullptr, 0, kNone, L"Inconnu", L"N/A",
         L"N/A", L"N/A"},
        {"empty texts are kept, description not consulted",
         T(L""),
         T(L"Desc"),
         {L"\0", 4},
         T(L""),
         kNone,
         nullptr,
         0,
         kNone,
         L"",
         L"",
         L"",
         L"N/A"},
        {"511-unit friendly name kept", T(kF511), T(L"Desc"), kNone, kNone, kNone, nullptr, 0,
         kNone, kF511.c_str(), L"N/A", L"N/A", L"N/A"},
        {"512-unit friendly name falls back", T(kF512), T(L"Desc"), kNone, kNone, kNone, nullptr, 0,
         kNone, L"Desc", L"N/A", L"N/A", L"N/A"},
        {"512-unit friendly name, no description", T(kF512), kNone, kNone, kNone, kNone, nullptr, 0,
         kNone, L"Inconnu", L"N/A", L"N/A", L"N/A"},
        {"hardware IDs over 1024 bytes", kNone, kNone, Raw(kIdsLong, 520), T(L"Logitech, Inc."),
         kNone, nullptr, 0, kNone, L"Inconnu", L"N/A", L"Logitech, Inc.", L"N/A"},
        {"REG_EXPAND_SZ not expanded", kNone, kNone, kNone, kNone, T(L"HalvTestExp"),
         L"HalvTestExp", REG_EXPAND_SZ, T(L"%SystemRoot%\\System32\\DRIVERS\\HalvExp.SYS"),
         L"Inconnu", L"N/A", L"N/A", L"HalvExp.SYS"},
        {"REG_MULTI_SZ refused",
         kNone,
         kNone,
         kNone,
         kNone,
         T(L"HalvTestMulti"),
         L"HalvTestMulti",
         REG_MULTI_SZ,
         {kMulti.data(), 54},
         L"Inconnu",
         L"N/A",
         L"N/A",
         L"N/A"},
        {"REG_DWORD refused",
         kNone,
         kNone,
         kNone,
         kNone,
         T(L"HalvTestDword"),
         L"HalvTestDword",
         REG_DWORD,
         {&kDword, 4},
         L"Inconnu",
         L"N/A",
         L"N/A",
         L"N/A"},
        {"quoted path and argument", kNone, kNone, kNone, kNone, T(L"HalvTestQ"), L"HalvTestQ",
         REG_SZ, T(L"\"C:\\Program Files\\Halvoran\\service.exe\" -k"), L"Inconnu", L"N/A", L"N/A",
         L"service.exe\" -k"},
        {"no ImagePath", kNone, kNone, kNone, kNone, T(L"HalvTestNoImg"), L"HalvTestNoImg", REG_SZ,
         kNone, L"Inconnu", L"N/A", L"N/A", L"N/A"},
        {"no service key", kNone, kNone, kNone, kNone, T(L"HalvTestNoKey"), nullptr, 0, kNone,
         L"Inconnu", L"N/A", L"N/A", L"N/A"},
        {"empty service name", kNone, kNone, kNone, kNone, T(L""), nullptr, 0, kNone, L"Inconnu",
         L"N/A", L"N/A", L"N/A"},
        {"ImagePath of 1023 units read whole", kNone, kNone, kNone, kNone, T(L"HalvTest1023"),
         L"HalvTest1023", REG_SZ, T(kImage1023), L"Inconnu", L"N/A", L"N/A", L"f1023.sys"},
        {"ImagePath of 1024 units refused", kNone, kNone, kNone, kNone, T(L"HalvTest1024"),
         L"HalvTest1024", REG_SZ, T(kImage1024), L"Inconnu", L"N/A", L"N/A", L"N/A"},
        {"ImagePath of 2048 bytes without terminator", kNone, kNone, kNone, kNone,
         T(L"HalvTestRaw"), L"HalvTestRaw", REG_SZ, Raw(kImageRaw, 1024), L"Inconnu", L"N/A",
         L"N/A", L"raw.sys"},
        {"file name cut to the field", kNone, kNone, kNone, kNone, T(L"HalvTestLong"),
         L"HalvTestLong", REG_SZ, T(kImageLong), L"Inconnu", L"N/A", L"N/A",
         kImageLongShown.c_str()},
    };
    std::vector<TestDevice> devices(ARRAYSIZE(cases));
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        const DeviceCase& c = cases[i];
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(CreateTestDevice(kUsb, (L"HALVORAN_TEST_R" + std::to_wstring(100 + i)).c_str(),
                                     &devices[i]));
        const struct {
            DWORD property;
            Blob blob;
        } props[] = {{SPDRP_FRIENDLYNAME, c.friendly},
                     {SPDRP_DEVICEDESC, c.description},
                     {SPDRP_HARDWAREID, c.hardwareIds},
                     {SPDRP_MFG, c.manufacturer},
                     {SPDRP_SERVICE, c.service}};
        for (const auto& p : props) {
            if (p.blob.data != nullptr) {
                ASSERT_TRUE(
                    SetTestDeviceProperty(&devices[i], p.property, p.blob.data, p.blob.bytes));
            }
        }
        if (c.serviceKey != nullptr) {
            ASSERT_TRUE(WriteTestService(c.serviceKey, c.imageType, c.image.data, c.image.bytes));
        }
    }
    // Read in one pass, as the walk does, so that nothing may carry over between devices.
    DeviceRecord record;
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        const DeviceCase& c = cases[i];
        SCOPED_TRACE(c.what);
        ReadDeviceRecord(devices[i].set, &devices[i].data, &record);
        EXPECT_WTEXT(c.name, record.name);
        EXPECT_WTEXT(c.hardwareId, record.hardwareId);
        EXPECT_WTEXT(c.maker, record.manufacturer);
        EXPECT_WTEXT(c.driver, record.driverFile);
        WCHAR out[kFieldCapacity];
        EXPECT_EQ(wcscmp(c.driver, L"N/A") != 0 ? 1 : 0,
                  GetDriverFileName(devices[i].set, &devices[i].data, out, ARRAYSIZE(out)));
        const WCHAR* fields[] = {record.name, record.hardwareId, record.manufacturer,
                                 record.driverFile};
        for (const WCHAR* f : fields) {
            for (size_t u = wcslen(f); u < kFieldCapacity; ++u) {
                ASSERT_EQ(0, f[u]) << "unit " << u << " after " << Narrow(f);
            }
        }
    }
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        RemoveTestDevice(&devices[i]);
        if (cases[i].serviceKey != nullptr) {
            DeleteTestService(cases[i].serviceKey);
        }
    }
}

// Data that fill a buffer without a terminator must still end inside it.
TEST(ReadDeviceRecord, UnterminatedDataStayInsideTheirBuffers) {
    TestDevice d;
    ASSERT_TRUE(CreateTestDevice(kUsb, L"HALVORAN_TEST_UNTERMINATED", &d));
    SetTestDeviceProperty(&d, SPDRP_DEVICEDESC, kN512.data(), 1024);
    SetTestDeviceProperty(&d, SPDRP_MFG, kN512.data(), 1024);
    SetTestDeviceProperty(&d, SPDRP_SERVICE, kService256.data(), 512);
    const std::wstring serviceKey = kService256.substr(0, 255);
    const Blob image = T(L"drivers\\long_service.sys");
    WriteTestService(serviceKey.c_str(), REG_SZ, image.data, image.bytes);
    DeviceRecord r;
    memset(&r, 0x41, sizeof(r));
    ReadDeviceRecord(d.set, &d.data, &r);
    EXPECT_WTEXT(Repeat(L'n', 511), r.name);
    EXPECT_WTEXT(Repeat(L'n', 511), r.manufacturer);
    EXPECT_WTEXT(L"long_service.sys", r.driverFile);
    RemoveTestDevice(&d);
    DeleteTestService(serviceKey.c_str());
}

void CollectName(void* context, DWORD position, const DeviceRecord* record) {
    auto* names = static_cast<std::vector<std::wstring>*>(context);
    EXPECT_EQ(names->size(), position);
    names->push_back(record->name);
}

// Names of a fresh set's devices, read directly, in the service's order.
std::vector<std::wstring> DirectNames(const GUID* classGuid) {
    std::vector<std::wstring> names;
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr,
                                        DIGCF_PRESENT | (classGuid ? 0 : DIGCF_ALLCLASSES));
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        WCHAR name[kFieldCapacity] = L"Inconnu";
        if (!SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<BYTE*>(name), sizeof(name),
                                               nullptr)) {
            SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_DEVICEDESC, nullptr,
                                              reinterpret_cast<BYTE*>(name), sizeof(name), nullptr);
        }
        names.push_back(name);
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

// A category lists its class's devices only, all of them, at positions 0..n-1 in the order the
// service enumerates (key-name order under Wine), and a class with none gives a count of 0.
TEST(WalkDevices, CategoriesListTheirClassInOrder) {
    const struct {
        const GUID* guid;
        const WCHAR *id, *name;
    } made[] = {{kNet, L"HALVORAN_TEST_WALK_C", L"R\u00e9seau C"},
                {kNet, L"HALVORAN_TEST_WALK_A", L"R\u00e9seau A"},
                {kMedia, L"HALVORAN_TEST_WALK_B", L"Audio B"},
                {kNet, L"HALVORAN_TEST_WALK_B2", L"R\u00e9seau B2"}};
    TestDevice devices[ARRAYSIZE(made)];
    for (size_t i = 0; i < ARRAYSIZE(made); ++i) {
        ASSERT_TRUE(CreateTestDevice(made[i].guid, made[i].id, &devices[i]));
        SetTestDeviceText(&devices[i], SPDRP_FRIENDLYNAME, made[i].name);
    }
    const struct {
        const char* what;
        const GUID* guid;
        std::vector<std::wstring> ours; // our devices it must list, in this order
    } cases[] = {
        {"network", kNet, {L"R\u00e9seau A", L"R\u00e9seau B2", L"R\u00e9seau C"}},
        {"media", kMedia, {L"Audio B"}},
        {"every class",
         nullptr,
         {L"R\u00e9seau A", L"Audio B", L"R\u00e9seau B2", L"R\u00e9seau C"}},
        {"class without devices", &kTestEmptyClassGuid, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::wstring> direct = DirectNames(c.guid);
        HDEVINFO set = OpenDeviceSet(c.guid);
        ASSERT_NE(INVALID_HANDLE_VALUE, set);
        std::vector<std::wstring> names;
        EXPECT_EQ(direct.size(), WalkDevices(set, CollectName, &names));
        EXPECT_EQ(direct, names);
        std::vector<std::wstring> ours;
        for (const std::wstring& n : names) {
            for (const auto& m : made) {
                if (n == m.name) {
                    ours.push_back(n);
                }
            }
        }
        EXPECT_EQ(c.ours, ours);
    }
    EXPECT_EQ(CountPresentDevices(nullptr), WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr));
    for (TestDevice& d : devices) {
        RemoveTestDevice(&d);
    }
}

int g_opens, g_destroys;
DWORD g_flags;
const GUID* g_guid;
HDEVINFO WINAPI RefuseSet(const GUID* guid, PCWSTR, HWND, DWORD flags) {
    ++g_opens;
    g_guid = guid;
    g_flags = flags;
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI CountDestroy(HDEVINFO) {
    ++g_destroys;
    return TRUE;
}
void MustNotVisit(void*, DWORD, const DeviceRecord*) {
    ADD_FAILURE() << "a refused set was walked";
}

// The flags asked for, and a refused set neither walked nor destroyed; an open one destroyed once.
TEST(WalkDevices, RefusedSetIsNeverWalkedNorDestroyed) {
    const DeviceSetApi saved = g_deviceSetApi;
    g_deviceSetApi = {RefuseSet, CountDestroy};
    const struct {
        const GUID* guid;
        DWORD flags;
    } cases[] = {{nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES}, {kUsb, DIGCF_PRESENT}};
    for (const auto& c : cases) {
        EXPECT_EQ(0u, WalkDevices(OpenDeviceSet(c.guid), MustNotVisit, nullptr));
        EXPECT_EQ(c.guid, g_guid);
        EXPECT_EQ(c.flags, g_flags);
    }
    EXPECT_EQ(2, g_opens);
    EXPECT_EQ(0, g_destroys);
    g_deviceSetApi.getClassDevs = saved.getClassDevs;
    HDEVINFO set = OpenDeviceSet(&kTestEmptyClassGuid);
    WalkDevices(set, nullptr, nullptr);
    g_deviceSetApi = saved;
    EXPECT_EQ(1, g_destroys);
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace
