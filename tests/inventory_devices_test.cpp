// Device enumeration, property reading and driver file resolution against Wine's real SetupAPI
// and registry, on devices and services this test creates in its private prefix.

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wchar.h>

#include "inventory/device_enum.h"
#include "inventory/driver_file.h"
#include "test_devices.h"

namespace {

const GUID kGuidUsb = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kGuidNet = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidMedia = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::wstring Repeat(wchar_t c, size_t n) {
    return std::wstring(n, c);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char hex[12];
            snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out.size() > 80 ? out.substr(0, 60) + "...(" + std::to_string(text.size()) + ")" : out;
}

#define EXPECT_WTEXT(expected, actual) EXPECT_EQ(Narrow(expected), Narrow(actual))

// Reads one device's record through a fresh set holding only that device.
DeviceRecord ReadRecordOf(TestDevice* device) {
    DeviceRecord record;
    ReadDeviceRecord(device->set, &device->data, &record);
    return record;
}

class DevicesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RemoveLeftoverTestDevices();
    }
    void TearDown() override {
        for (TestDevice& d : devices_) {
            RemoveTestDevice(&d);
        }
        for (const std::wstring& s : services_) {
            DeleteTestService(s.c_str());
        }
    }
    TestDevice* Create(const GUID* classGuid, const std::wstring& name) {
        devices_.emplace_back();
        TestDevice* d = &devices_.back();
        d->set = INVALID_HANDLE_VALUE;
        EXPECT_TRUE(CreateTestDevice(classGuid, name.c_str(), d)) << Narrow(name);
        return d;
    }
    void Service(const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
        services_.push_back(name);
        ASSERT_TRUE(WriteTestService(name.c_str(), type, data, bytes)) << Narrow(name);
    }
    std::vector<TestDevice> devices_ = std::vector<TestDevice>();
    std::vector<std::wstring> services_;

  public:
    DevicesTest() {
        devices_.reserve(64);
    }
};

// ---- names, hardware IDs and manufacturers ------------------------------------------------

struct PropertyCase {
    const char* what;
    const WCHAR* friendlyName; // null: not set
    DWORD friendlyBytes;       // 0: its length with terminator
    const WCHAR* description;
    const WCHAR* expectedName;
};

TEST_F(DevicesTest, NameFromFriendlyNameElseDescription) {
    const std::wstring f511 = Repeat(L'f', 511), f512 = Repeat(L'g', 512);
    const PropertyCase cases[] = {
        {"friendly name", L"Carte r\u00e9seau Intel(R)", 0, L"Description",
         L"Carte r\u00e9seau Intel(R)"},
        {"description only", nullptr, 0, L"Contr\u00f4leur h\u00f4te",
         L"Contr\u00f4leur h\u00f4te"},
        {"neither", nullptr, 0, nullptr, L"Inconnu"},
        {"empty friendly name, description not consulted", L"", 2, L"Description", L""},
        {"friendly name of 511 units kept", f511.c_str(), 0, L"Description", f511.c_str()},
        {"friendly name of 512 units falls back", f512.c_str(), 0, L"Description", L"Description"},
        {"friendly name of 512 units, no description", f512.c_str(), 0, nullptr, L"Inconnu"},
    };
    int n = 0;
    for (const PropertyCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_NAME" + std::to_wstring(n++));
        if (c.friendlyName != nullptr) {
            DWORD bytes = c.friendlyBytes
                              ? c.friendlyBytes
                              : static_cast<DWORD>((wcslen(c.friendlyName) + 1) * sizeof(WCHAR));
            ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_FRIENDLYNAME, c.friendlyName, bytes));
        }
        if (c.description != nullptr) {
            ASSERT_TRUE(SetTestDeviceText(d, SPDRP_DEVICEDESC, c.description));
        }
        DeviceRecord r = ReadRecordOf(d);
        EXPECT_WTEXT(c.expectedName, r.name);
    }
}

TEST_F(DevicesTest, HardwareIdAndManufacturer) {
    // A list of texts ended by an empty text; only the first entry is shown.
    const WCHAR fits[] = L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02\0PCI\\VEN_8086&DEV_100E\0";
    std::wstring tooLong = L"USB\\VID_046D&PID_C52B";
    tooLong.push_back(0);
    while (tooLong.size() < 520) { // 1040 bytes
        tooLong += L"USB\\VID_046D";
        tooLong.push_back(0);
    }
    tooLong.push_back(0);

    const struct {
        const char* what;
        const void* ids;
        DWORD idBytes;
        const WCHAR* manufacturer; // null: not set
        DWORD mfgBytes;
        const WCHAR* expectedId;
        const WCHAR* expectedMfg;
    } cases[] = {
        {"list that fits, first entry", fits, sizeof(fits), L"Intel Corporation", 0,
         L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02", L"Intel Corporation"},
        {"list over 1024 bytes", tooLong.data(), static_cast<DWORD>(tooLong.size() * 2),
         L"Logitech, Inc.", 0, L"N/A", L"Logitech, Inc."},
        {"empty list, empty manufacturer", L"\0", 4, L"", 2, L"", L""},
        {"nothing set", nullptr, 0, nullptr, 0, L"N/A", L"N/A"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_HWID" + std::to_wstring(n++));
        if (c.ids != nullptr) {
            ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_HARDWAREID, c.ids, c.idBytes));
        }
        if (c.manufacturer != nullptr) {
            DWORD bytes =
                c.mfgBytes ? c.mfgBytes : static_cast<DWORD>((wcslen(c.manufacturer) + 1) * 2);
            ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_MFG, c.manufacturer, bytes));
        }
        DeviceRecord r = ReadRecordOf(d);
        EXPECT_WTEXT(c.expectedId, r.hardwareId);
        EXPECT_WTEXT(c.expectedMfg, r.manufacturer);
    }
}

TEST_F(DevicesTest, PropertyFillingTheFieldWithoutTerminatorStaysInsideIt) {
    // 1024 bytes of text and no terminator: the read succeeds, and the field must still end
    // within its 512 units rather than run into the next field. (The registry adds a
    // terminator the caller left out of the size when one follows the data in memory: the
    // unit after the stored bytes is not zero here.)
    const std::wstring full = Repeat(L'n', 512) + L"x";
    TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_UNTERMINATED");
    ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_DEVICEDESC, full.data(), 1024));
    ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_MFG, full.data(), 1024));
    DeviceRecord r;
    memset(&r, 0x41, sizeof(r));
    ReadDeviceRecord(d->set, &d->data, &r);
    const struct {
        const char* field;
        const WCHAR* text;
    } fields[] = {{"name", r.name}, {"manufacturer", r.manufacturer}};
    for (const auto& f : fields) {
        SCOPED_TRACE(f.field);
        EXPECT_EQ(0, f.text[kFieldCapacity - 1]);
        EXPECT_EQ(kFieldCapacity - 1, wcslen(f.text));
    }
    EXPECT_WTEXT(L"N/A", r.hardwareId);
}

TEST_F(DevicesTest, NothingCarriesOverFromThePreviousDevice) {
    TestDevice* full = Create(&kGuidUsb, L"HALVORAN_TEST_CARRY1");
    SetTestDeviceText(full, SPDRP_FRIENDLYNAME, L"Premier p\u00e9riph\u00e9rique avec un long nom");
    const WCHAR ids[] = L"USB\\VID_1234&PID_5678&REV_0001\0";
    SetTestDeviceProperty(full, SPDRP_HARDWAREID, ids, sizeof(ids));
    SetTestDeviceText(full, SPDRP_MFG, L"Fabricant quelconque");
    SetTestDeviceText(full, SPDRP_SERVICE, L"HalvoranTestCarry");
    const WCHAR image[] = L"System32\\drivers\\carry.sys";
    Service(L"HalvoranTestCarry", REG_SZ, image, sizeof(image));
    TestDevice* bare = Create(&kGuidUsb, L"HALVORAN_TEST_CARRY2");

    DeviceRecord r;
    ReadDeviceRecord(full->set, &full->data, &r);
    EXPECT_WTEXT(L"carry.sys", r.driverFile);
    ReadDeviceRecord(bare->set, &bare->data, &r);
    EXPECT_WTEXT(L"Inconnu", r.name);
    EXPECT_WTEXT(L"N/A", r.hardwareId);
    EXPECT_WTEXT(L"N/A", r.manufacturer);
    EXPECT_WTEXT(L"N/A", r.driverFile);
    const WCHAR* fields[] = {r.name, r.hardwareId, r.manufacturer, r.driverFile};
    for (const WCHAR* f : fields) {
        for (size_t i = wcslen(f); i < kFieldCapacity; ++i) {
            ASSERT_EQ(0, f[i]) << "unit " << i << " of " << Narrow(f);
        }
    }
}

// ---- driver file through the service's ImagePath ---------------------------------------------

TEST_F(DevicesTest, DriverFileThroughTheRegistry) {
    const WCHAR sz[] = L"\\SystemRoot\\System32\\drivers\\halvtest.sys";
    const WCHAR expand[] = L"%SystemRoot%\\System32\\DRIVERS\\HalvExp.SYS";
    const WCHAR multi[] = L"C:\\a\\multi.sys\0C:\\b\\other.sys\0";
    const DWORD dword = 0x1234;
    const WCHAR quoted[] = L"\"C:\\Program Files\\Halvoran Test\\service.exe\" -k";
    std::wstring max1023 = L"C:\\" + Repeat(L'd', 1010) + L"\\f1023.sys";
    std::wstring max1024 = L"C:\\" + Repeat(L'd', 1011) + L"\\f1024.sys";
    ASSERT_EQ(1023u, max1023.size());
    ASSERT_EQ(1024u, max1024.size());
    // 1024 units with no terminator: exactly 2048 bytes; the last unit gives way to the end.
    std::wstring raw1024 = L"C:\\" + Repeat(L'e', 1012) + L"\\raw.sysXY";
    ASSERT_EQ(1025u, raw1024.size());

    const struct {
        const char* what;
        const WCHAR* service; // SPDRP_SERVICE; null: none set
        bool writeKey;
        DWORD type;
        const void* data; // null: key without ImagePath
        DWORD bytes;
        int result;
        const WCHAR* shown;
    } cases[] = {
        {"REG_SZ", L"HalvTestSz", true, REG_SZ, sz, sizeof(sz), 1, L"halvtest.sys"},
        {"REG_EXPAND_SZ, not expanded", L"HalvTestExpand", true, REG_EXPAND_SZ, expand,
         sizeof(expand), 1, L"HalvExp.SYS"},
        {"REG_MULTI_SZ refused", L"HalvTestMulti", true, REG_MULTI_SZ, multi, sizeof(multi), 0,
         L"N/A"},
        {"REG_DWORD refused", L"HalvTestDword", true, REG_DWORD, &dword, sizeof(dword), 0, L"N/A"},
        {"quoted path with argument", L"HalvTestQuoted", true, REG_SZ, quoted, sizeof(quoted), 1,
         L"service.exe\" -k"},
        {"no ImagePath value", L"HalvTestNoImage", true, REG_SZ, nullptr, 0, 0, L"N/A"},
        {"no service key", L"HalvTestNoKey", false, 0, nullptr, 0, 0, L"N/A"},
        {"no service", nullptr, false, 0, nullptr, 0, 0, L"N/A"},
        {"empty service name", L"", false, 0, nullptr, 0, 0, L"N/A"},
        {"1023 units read whole", L"HalvTest1023", true, REG_SZ, max1023.c_str(),
         static_cast<DWORD>((max1023.size() + 1) * 2), 1, L"f1023.sys"},
        {"1024 units refused", L"HalvTest1024", true, REG_SZ, max1024.c_str(),
         static_cast<DWORD>((max1024.size() + 1) * 2), 0, L"N/A"},
        {"2048 bytes without terminator", L"HalvTestRaw", true, REG_SZ, raw1024.data(), 2048, 1,
         L"raw.sys"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_DRV" + std::to_wstring(n++));
        if (c.service != nullptr) {
            ASSERT_TRUE(SetTestDeviceText(d, SPDRP_SERVICE, c.service));
        }
        if (c.writeKey) {
            Service(c.service, c.type, c.data, c.bytes);
        }
        WCHAR out[kFieldCapacity];
        wcscpy(out, L"stale text");
        EXPECT_EQ(c.result, GetDriverFileName(d->set, &d->data, out, ARRAYSIZE(out)));
        EXPECT_WTEXT(c.shown, out);
        DeviceRecord r = ReadRecordOf(d);
        EXPECT_WTEXT(c.shown, r.driverFile);
    }
}

TEST_F(DevicesTest, ServiceNameFillingItsBufferIsTerminated) {
    // 256 units of service name with no terminator: the name used is its first 255 units.
    std::wstring name = L"HalvTest" + Repeat(L's', 248) + L"x";
    ASSERT_EQ(257u, name.size());
    TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_SVC256");
    ASSERT_TRUE(SetTestDeviceProperty(d, SPDRP_SERVICE, name.data(), 512));
    const WCHAR image[] = L"System32\\drivers\\long_service.sys";
    Service(name.substr(0, 255), REG_SZ, image, sizeof(image));
    WCHAR out[kFieldCapacity];
    EXPECT_EQ(1, GetDriverFileName(d->set, &d->data, out, ARRAYSIZE(out)));
    EXPECT_WTEXT(L"long_service.sys", out);
}

TEST_F(DevicesTest, LongFileNameIsCutToTheCapacity) {
    std::wstring path = L"C:\\x\\" + Repeat(L'q', 600) + L".sys";
    TestDevice* d = Create(&kGuidUsb, L"HALVORAN_TEST_LONGFILE");
    SetTestDeviceText(d, SPDRP_SERVICE, L"HalvTestLongFile");
    Service(L"HalvTestLongFile", REG_SZ, path.c_str(), static_cast<DWORD>((path.size() + 1) * 2));
    WCHAR out[kFieldCapacity];
    EXPECT_EQ(1, GetDriverFileName(d->set, &d->data, out, ARRAYSIZE(out)));
    EXPECT_WTEXT(Repeat(L'q', 511), out);
    WCHAR small[6];
    EXPECT_EQ(1, GetDriverFileName(d->set, &d->data, small, ARRAYSIZE(small)));
    EXPECT_WTEXT(L"qqqqq", small);
}

// ---- walking categories ---------------------------------------------------------------------

struct Visit {
    DWORD position;
    std::wstring name;
};

void CollectVisit(void* context, DWORD position, const DeviceRecord* record) {
    static_cast<std::vector<Visit>*>(context)->push_back(Visit{position, record->name});
}

// Names of the devices of a fresh set, read directly in the service's order.
std::vector<std::wstring> DirectNames(const GUID* classGuid) {
    std::vector<std::wstring> names;
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr,
                                        DIGCF_PRESENT | (classGuid ? 0 : DIGCF_ALLCLASSES));
    SP_DEVINFO_DATA data;
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

TEST_F(DevicesTest, WalkListsTheClassDevicesInOrder) {
    // Created out of name order: the service enumerates by key name.
    const struct {
        const GUID* guid;
        const WCHAR* id;
        const WCHAR* name;
    } made[] = {
        {&kGuidNet, L"HALVORAN_TEST_WALK_C", L"R\u00e9seau C"},
        {&kGuidNet, L"HALVORAN_TEST_WALK_A", L"R\u00e9seau A"},
        {&kGuidMedia, L"HALVORAN_TEST_WALK_B", L"Audio B"},
        {&kGuidNet, L"HALVORAN_TEST_WALK_B2", L"R\u00e9seau B2"},
    };
    for (const auto& m : made) {
        TestDevice* d = Create(m.guid, m.id);
        SetTestDeviceText(d, SPDRP_FRIENDLYNAME, m.name);
    }

    const struct {
        const char* what;
        const GUID* guid;
        std::vector<std::wstring> mustHold;
        std::vector<std::wstring> mustNotHold;
    } cases[] = {
        {"network",
         &kGuidNet,
         {L"R\u00e9seau A", L"R\u00e9seau B2", L"R\u00e9seau C"},
         {L"Audio B"}},
        {"media", &kGuidMedia, {L"Audio B"}, {L"R\u00e9seau A"}},
        {"every class", nullptr, {L"R\u00e9seau A", L"Audio B", L"R\u00e9seau C"}, {}},
        {"empty class", &kTestEmptyClassGuid, {}, {L"R\u00e9seau A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> direct = DirectNames(c.guid);
        HDEVINFO set = OpenDeviceSet(c.guid);
        ASSERT_NE(INVALID_HANDLE_VALUE, set);
        std::vector<Visit> visits;
        DWORD count = WalkDevices(set, CollectVisit, &visits);
        ASSERT_EQ(direct.size(), count);
        ASSERT_EQ(direct.size(), visits.size());
        for (DWORD i = 0; i < count; ++i) {
            EXPECT_EQ(i, visits[i].position);
            EXPECT_WTEXT(direct[i], visits[i].name) << "position " << i;
        }
        auto has = [&](const std::wstring& name) {
            for (const Visit& v : visits) {
                if (v.name == name) {
                    return true;
                }
            }
            return false;
        };
        for (const auto& name : c.mustHold) {
            EXPECT_TRUE(has(name)) << Narrow(name);
        }
        for (const auto& name : c.mustNotHold) {
            EXPECT_FALSE(has(name)) << Narrow(name);
        }
    }
    // Key-name order within the class: A, B2, C.
    std::vector<std::wstring> net = DirectNames(&kGuidNet);
    std::vector<std::wstring> ours;
    for (const auto& n : net) {
        if (n.rfind(L"R\u00e9seau ", 0) == 0) {
            ours.push_back(n);
        }
    }
    ASSERT_EQ(3u, ours.size());
    EXPECT_WTEXT(L"R\u00e9seau A", ours[0]);
    EXPECT_WTEXT(L"R\u00e9seau B2", ours[1]);
    EXPECT_WTEXT(L"R\u00e9seau C", ours[2]);
}

TEST_F(DevicesTest, EmptyClassGivesValidSetAndNoVisit) {
    HDEVINFO set = OpenDeviceSet(&kTestEmptyClassGuid);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    std::vector<Visit> visits;
    EXPECT_EQ(0u, WalkDevices(set, CollectVisit, &visits));
    EXPECT_TRUE(visits.empty());
}

TEST_F(DevicesTest, EveryClassCountsEveryPresentDevice) {
    Create(&kGuidUsb, L"HALVORAN_TEST_ALL1");
    Create(&kGuidMedia, L"HALVORAN_TEST_ALL2");
    DWORD before = CountPresentDevices(nullptr);
    EXPECT_GE(before, 2u);
    EXPECT_EQ(before, WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr));
}

// ---- a set the system refuses ---------------------------------------------------------------

int g_openCalls, g_destroyCalls;
DWORD g_lastFlags;
const GUID* g_lastGuid;

HDEVINFO WINAPI RefusingGetClassDevs(const GUID* guid, PCWSTR, HWND, DWORD flags) {
    ++g_openCalls;
    g_lastGuid = guid;
    g_lastFlags = flags;
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI CountingDestroy(HDEVINFO) {
    ++g_destroyCalls;
    return TRUE;
}

void FailVisit(void*, DWORD, const DeviceRecord*) {
    ADD_FAILURE() << "a refused set was walked";
}

TEST(RefusedDeviceSet, IsNeverWalkedNorDestroyed) {
    const DeviceSetApi saved = g_deviceSetApi;
    g_deviceSetApi.getClassDevs = RefusingGetClassDevs;
    g_deviceSetApi.destroyInfoList = CountingDestroy;
    g_openCalls = g_destroyCalls = 0;
    const struct {
        const GUID* guid;
        DWORD flags;
    } cases[] = {{nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES}, {&kGuidUsb, DIGCF_PRESENT}};
    for (const auto& c : cases) {
        HDEVINFO set = OpenDeviceSet(c.guid);
        EXPECT_EQ(INVALID_HANDLE_VALUE, set);
        EXPECT_EQ(c.guid, g_lastGuid);
        EXPECT_EQ(c.flags, g_lastFlags);
        EXPECT_EQ(0u, WalkDevices(set, FailVisit, nullptr));
    }
    g_deviceSetApi = saved;
    EXPECT_EQ(2, g_openCalls);
    EXPECT_EQ(0, g_destroyCalls);
}

TEST(RefusedDeviceSet, AnOpenedSetIsDestroyedOnceByTheWalk) {
    const DeviceSetApi saved = g_deviceSetApi;
    g_destroyCalls = 0;
    g_deviceSetApi.destroyInfoList = CountingDestroy;
    HDEVINFO set = OpenDeviceSet(&kTestEmptyClassGuid);
    WalkDevices(set, nullptr, nullptr);
    g_deviceSetApi = saved;
    EXPECT_EQ(1, g_destroyCalls);
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace
