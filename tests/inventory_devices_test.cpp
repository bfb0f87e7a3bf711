// Device enumeration, property reading and driver file resolution through Wine's real SetupAPI
// and registry, on devices and services this test creates in its private prefix.

#include "inventory/driver_file.h"
#include "test_devices.h"
#include "test_text.h"

namespace {

const GUID* const kNet = TestCategoryGuid(1);
const GUID* const kUsb = TestCategoryGuid(5);
const GUID* const kMedia = TestCategoryGuid(6);

// Property or value bytes exactly as stored; null data: not stored at all.
struct Blob {
    const void* data;
    DWORD bytes;
};
Blob T(const WCHAR* text) { // a text with its terminator
    return {text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR))};
}
Blob Raw(const std::wstring& text, size_t units) { // no terminator (text holds more units)
    return {text.data(), static_cast<DWORD>(units * sizeof(WCHAR))};
}
const Blob kNone = {nullptr, 0};

// Every test starts and ends with no test device or service in the prefix, whatever an
// earlier one left behind.
class InventoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED("creates devices and registry keys");
        RemoveLeftoverTestData();
    }
    void TearDown() override {
        RemoveLeftoverTestData();
    }
};

// Texts kept alive for the tables. The registry adds a terminator left out of the size when one
// follows the data in memory, so "unterminated" data are followed by an extra unit here.
const std::wstring kF511 = std::wstring(511, L'f'), kF512 = std::wstring(512, L'g');
const std::wstring kN511(511, L'n'), kN512 = kN511 + L"nx";
const std::wstring kIdsLong = std::wstring(520, L'I'); // 1040 bytes
const std::wstring kImage1023 = L"C:\\" + std::wstring(1010, L'd') + L"\\f1023.sys";
const std::wstring kImage1024 = L"C:\\" + std::wstring(1011, L'd') + L"\\f1024.sys";
const std::wstring kImageRaw =
    L"C:\\" + std::wstring(1012, L'e') + L"\\raw.sysXY";                        // 2048 bytes used
const std::wstring kImageOdd = L"\\SystemRoot\\System32\\drivers\\halvodd.sys"; // less 1 byte
const std::wstring kImageLong = L"C:\\x\\" + std::wstring(600, L'q') + L".sys";
const std::wstring kImageLongShown = std::wstring(511, L'q');
const std::wstring kService256 = L"HalvTest" + std::wstring(248, L's') + L"x"; // 256 units used
const std::wstring kService255 = kService256.substr(0, 255);
const std::wstring kMulti = std::wstring(L"C:\\a\\multi.sys\0C:\\b\\o.sys\0", 27);
const DWORD kDword = 0x1234;

enum { kName, kId, kMaker, kDriver }; // a record's fields, in order

// What one test device holds and the record it must give, each part named where it is set.
struct DeviceCase {
    explicit DeviceCase(const char* what) : what(what) {}
    DeviceCase& With(DWORD property, Blob blob) { // a property of the device
        properties.push_back({property, blob});
        return *this;
    }
    // The device's service, and its key holding this ImagePath (no value when image is kNone).
    DeviceCase& Service(const WCHAR* name, DWORD type, Blob image) {
        serviceKey = name;
        imageType = type;
        this->image = image;
        return With(SPDRP_SERVICE, T(name));
    }
    DeviceCase& Shows(int field, const WCHAR* text) { // fields not named keep their defaults
        shown[field] = text;
        return *this;
    }

    const char* what;
    std::vector<std::pair<DWORD, Blob>> properties;
    const WCHAR* serviceKey = nullptr;
    DWORD imageType = 0;
    Blob image = kNone;
    const WCHAR* shown[4] = {L"Inconnu", L"N/A", L"N/A", L"N/A"};
};

// One device per row: the record read for it, field by field.
TEST_F(InventoryTest, EveryFieldFromCreatedDevices) {
    const DeviceCase cases[] = {
        DeviceCase("friendly name first")
            .With(SPDRP_FRIENDLYNAME, T(L"Carte r\u00e9seau Intel(R)"))
            .With(SPDRP_DEVICEDESC, T(L"Desc"))
            .With(SPDRP_HARDWAREID, T(L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02"))
            .With(SPDRP_MFG, T(L"Intel Corporation"))
            .Service(L"HalvTestSz", REG_SZ, T(L"\\SystemRoot\\System32\\drivers\\halvtest.sys"))
            .Shows(kName, L"Carte r\u00e9seau Intel(R)")
            .Shows(kId, L"PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02")
            .Shows(kMaker, L"Intel Corporation")
            .Shows(kDriver, L"halvtest.sys"),
        DeviceCase("description only")
            .With(SPDRP_DEVICEDESC, T(L"Contr\u00f4leur h\u00f4te"))
            .Shows(kName, L"Contr\u00f4leur h\u00f4te"),
        DeviceCase("nothing at all"),
        DeviceCase("empty texts are kept, description not consulted")
            .With(SPDRP_FRIENDLYNAME, T(L""))
            .With(SPDRP_DEVICEDESC, T(L"Desc"))
            .With(SPDRP_HARDWAREID, {L"\0", 4})
            .With(SPDRP_MFG, T(L""))
            .Shows(kName, L"")
            .Shows(kId, L"")
            .Shows(kMaker, L""),
        DeviceCase("511-unit friendly name kept")
            .With(SPDRP_FRIENDLYNAME, T(kF511.c_str()))
            .With(SPDRP_DEVICEDESC, T(L"Desc"))
            .Shows(kName, kF511.c_str()),
        DeviceCase("512-unit friendly name falls back")
            .With(SPDRP_FRIENDLYNAME, T(kF512.c_str()))
            .With(SPDRP_DEVICEDESC, T(L"Desc"))
            .Shows(kName, L"Desc"),
        DeviceCase("512-unit friendly name, no description")
            .With(SPDRP_FRIENDLYNAME, T(kF512.c_str())),
        DeviceCase("hardware IDs over 1024 bytes")
            .With(SPDRP_HARDWAREID, Raw(kIdsLong, 520))
            .With(SPDRP_MFG, T(L"Logitech, Inc."))
            .Shows(kMaker, L"Logitech, Inc."),
        DeviceCase("REG_EXPAND_SZ not expanded")
            .Service(L"HalvTestExp", REG_EXPAND_SZ,
                     T(L"%SystemRoot%\\System32\\DRIVERS\\HalvExp.SYS"))
            .Shows(kDriver, L"HalvExp.SYS"),
        DeviceCase("REG_MULTI_SZ refused")
            .Service(L"HalvTestMulti", REG_MULTI_SZ, {kMulti.data(), 54}),
        DeviceCase("REG_DWORD refused").Service(L"HalvTestDword", REG_DWORD, {&kDword, 4}),
        DeviceCase("quoted path and argument")
            .Service(L"HalvTestQ", REG_SZ, T(L"\"C:\\Program Files\\Halvoran\\service.exe\" -k"))
            .Shows(kDriver, L"service.exe\" -k"),
        DeviceCase("no ImagePath").Service(L"HalvTestNoImg", REG_SZ, kNone),
        DeviceCase("no service key").With(SPDRP_SERVICE, T(L"HalvTestNoKey")),
        DeviceCase("empty service name").With(SPDRP_SERVICE, T(L"")),
        DeviceCase("ImagePath of 1023 units read whole")
            .Service(L"HalvTest1023", REG_SZ, T(kImage1023.c_str()))
            .Shows(kDriver, L"f1023.sys"),
        DeviceCase("ImagePath of 1024 units refused")
            .Service(L"HalvTest1024", REG_SZ, T(kImage1024.c_str())),
        DeviceCase("ImagePath of 2048 bytes without terminator")
            .Service(L"HalvTestRaw", REG_SZ, Raw(kImageRaw, 1024))
            .Shows(kDriver, L"raw.sys"),
        DeviceCase("ImagePath of an odd byte count keeps its last byte")
            .Service(L"HalvTestOdd", REG_SZ,
                     {kImageOdd.data(), static_cast<DWORD>(kImageOdd.size() * 2 - 1)})
            .Shows(kDriver, L"halvodd.sys"),
        DeviceCase("file name cut to the field")
            .Service(L"HalvTestLong", REG_SZ, T(kImageLong.c_str()))
            .Shows(kDriver, kImageLongShown.c_str()),
        DeviceCase("texts that fill their buffers unterminated") // the second service name wins
            .With(SPDRP_DEVICEDESC, Raw(kN512, 512))
            .With(SPDRP_MFG, Raw(kN512, 512))
            .Service(kService255.c_str(), REG_SZ, T(L"drivers\\long_service.sys"))
            .With(SPDRP_SERVICE, Raw(kService256, 256))
            .Shows(kName, kN511.c_str())
            .Shows(kMaker, kN511.c_str())
            .Shows(kDriver, L"long_service.sys"),
    };
    std::vector<TestDevice> devices(ARRAYSIZE(cases));
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        const DeviceCase& c = cases[i];
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(CreateTestDevice(kUsb, (L"HALVORAN_TEST_R" + std::to_wstring(100 + i)).c_str(),
                                     &devices[i]));
        for (const auto& p : c.properties) {
            ASSERT_TRUE(SetTestDeviceProperty(&devices[i], p.first, p.second.data, p.second.bytes));
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
        const WCHAR* fields[] = {record.name, record.hardwareId, record.manufacturer,
                                 record.driverFile};
        for (int f = kName; f <= kDriver; ++f) {
            EXPECT_WTEXT(c.shown[f], fields[f]);
            for (size_t u = wcslen(fields[f]); u < kFieldCapacity; ++u) {
                ASSERT_EQ(0, fields[f][u]) << "unit " << u << " after " << Narrow(fields[f]);
            }
        }
        WCHAR out[kFieldCapacity];
        EXPECT_EQ(wcscmp(c.shown[kDriver], L"N/A") != 0 ? 1 : 0,
                  GetDriverFileName(devices[i].set, &devices[i].data, out, ARRAYSIZE(out)));
    }
}

void CollectRecord(void* context, DWORD position, const DeviceRecord* record) {
    auto* listed = static_cast<std::vector<ListedDevice>*>(context);
    EXPECT_EQ(listed->size(), position);
    listed->push_back({record->name, record->hardwareId, record->manufacturer, record->driverFile});
}

// A category lists its class's devices only, all of them, at positions 0..n-1 in the order the
// system enumerates them, and a class with none gives a count of 0.
TEST_F(InventoryTest, CategoriesListTheirClassInOrder) {
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
        std::vector<std::wstring> ours; // our devices it must list, in name order
    } cases[] = {
        {"network", kNet, {L"R\u00e9seau A", L"R\u00e9seau B2", L"R\u00e9seau C"}},
        {"media", kMedia, {L"Audio B"}},
        {"every class",
         nullptr,
         {L"Audio B", L"R\u00e9seau A", L"R\u00e9seau B2", L"R\u00e9seau C"}},
        {"class without devices", &kTestEmptyClassGuid, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ListedDevice> direct = ReadPresentDevices(c.guid);
        HDEVINFO set = OpenDeviceSet(c.guid);
        ASSERT_NE(INVALID_HANDLE_VALUE, set);
        std::vector<ListedDevice> walked;
        EXPECT_EQ(direct.size(), WalkDevices(set, CollectRecord, &walked));
        EXPECT_EQ(direct, walked);
        std::vector<std::wstring> ours;
        for (const ListedDevice& d : walked) {
            for (const auto& m : made) {
                if (d.name == m.name) {
                    ours.push_back(d.name);
                }
            }
        }
        std::sort(ours.begin(), ours.end()); // the order itself is the system's, checked above
        EXPECT_EQ(c.ours, ours);
    }
    EXPECT_EQ(CountPresentDevices(nullptr), WalkDevices(OpenDeviceSet(nullptr), nullptr, nullptr));
}

void MustNotVisit(void*, DWORD, const DeviceRecord*) {
    ADD_FAILURE() << "a refused set was walked";
}

// The flags asked for, and a refused set neither walked nor destroyed; an open one destroyed once.
TEST(WalkDevices, RefusedSetIsNeverWalkedNorDestroyed) {
    g_deviceSetCalls = {};
    ScopedDeviceSetApi refusing(RefusedDeviceSet, CountedDestroy);
    const struct {
        const GUID* guid;
        DWORD flags;
    } cases[] = {{nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES}, {kUsb, DIGCF_PRESENT}};
    for (const auto& c : cases) {
        EXPECT_EQ(0u, WalkDevices(OpenDeviceSet(c.guid), MustNotVisit, nullptr));
        EXPECT_EQ(c.guid, g_deviceSetCalls.classGuid);
        EXPECT_EQ(c.flags, g_deviceSetCalls.flags);
    }
    EXPECT_EQ(2, g_deviceSetCalls.opens);
    EXPECT_EQ(0, g_deviceSetCalls.destroys);
    {
        ScopedDeviceSetApi system(SetupDiGetClassDevsW);
        WalkDevices(OpenDeviceSet(&kTestEmptyClassGuid), nullptr, nullptr);
    }
    EXPECT_EQ(1, g_deviceSetCalls.destroys);
}

} // namespace
