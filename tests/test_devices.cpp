#include "test_devices.h"

#include <stdio.h>
#include <wchar.h>

#include <algorithm>

#include "support/floor.h"
#include "test_text.h"

static bool EnvironmentSays(const wchar_t* name) {
    wchar_t value[4] = {};
    return GetEnvironmentVariableW(name, value, ARRAYSIZE(value)) == 1 && value[0] == L'1';
}

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr &&
           !EnvironmentSays(L"HALVORAN_TEST_ASSUME_WINDOWS");
}

bool SystemChangesAllowed() {
    return RunningUnderWine() || EnvironmentSays(L"HALVORAN_TEST_CHANGE_THIS_MACHINE");
}

const TestCategory kTestCategories[7] = {
    {L"Tous les p\u00e9riph\u00e9riques (ALL)", nullptr},
    {L"Cartes R\u00e9seau (Network)", L"{4d36e972-e325-11ce-bfc1-08002be10318}"},
    {L"Lecteurs de Disque (Storage)", L"{4d36e967-e325-11ce-bfc1-08002be10318}"},
    {L"Contr\u00f4leurs IDE/SATA/AHCI", L"{4d36e96a-e325-11ce-bfc1-08002be10318}"},
    {L"Cartes Graphiques (Display)", L"{4d36e968-e325-11ce-bfc1-08002be10318}"},
    {L"Contr\u00f4leurs USB", L"{36fc9e60-c465-11cf-8056-444553540000}"},
    {L"Cartes Audio (Media)", L"{4d36e96c-e325-11ce-bfc1-08002be10318}"},
};

const GUID* TestCategoryGuid(int row) {
    static GUID guids[7];
    const wchar_t* text = kTestCategories[row].classGuid;
    if (text == nullptr) {
        return nullptr;
    }
    GUID& g = guids[row];
    unsigned char* n = g.Data4;
    if (swscanf(text, L"{%8lx-%4hx-%4hx-%2hhx%2hhx-%2hhx%2hhx%2hhx%2hhx%2hhx%2hhx}", &g.Data1,
                &g.Data2, &g.Data3, &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7]) != 11) {
        ADD_FAILURE() << "not a GUID: " << Narrow(text);
    }
    return &g;
}

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    swprintf(text, ARRAYSIZE(text), L"{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
             g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

const GUID kTestEmptyClassGuid = {
    0x8f1a3c52, 0x0d4e, 0x4b7a, {0x9c, 0x21, 0x5e, 0x77, 0x10, 0x42, 0xa3, 0x6b}};

static const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";

bool CreateTestDevice(const GUID* classGuid, const WCHAR* name, TestDevice* device) {
    device->set = SystemChangesAllowed() ? SetupDiCreateDeviceInfoList(classGuid, nullptr)
                                         : INVALID_HANDLE_VALUE;
    if (device->set == INVALID_HANDLE_VALUE) {
        return false;
    }
    WCHAR instanceId[200];
    swprintf(instanceId, ARRAYSIZE(instanceId), L"ROOT\\%ls\\0000", name);
    device->data.cbSize = sizeof(device->data);
    if (!SetupDiCreateDeviceInfoW(device->set, instanceId, classGuid, nullptr, nullptr, 0,
                                  &device->data) ||
        !SetupDiRegisterDeviceInfo(device->set, &device->data, 0, nullptr, nullptr, nullptr)) {
        SetupDiDestroyDeviceInfoList(device->set);
        device->set = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

bool SetTestDeviceProperty(TestDevice* device, DWORD property, const void* data, DWORD bytes) {
    return SetupDiSetDeviceRegistryPropertyW(device->set, &device->data, property,
                                             static_cast<const BYTE*>(data), bytes) != FALSE;
}

bool SetTestDeviceText(TestDevice* device, DWORD property, const WCHAR* text) {
    return SetTestDeviceProperty(device, property, text,
                                 static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)));
}

// Removes a device. Wine's removal passes the device's service name to OpenServiceW as stored,
// reading past it when a test stored it without its terminator: a terminated one goes first.
static void RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA* data) {
    SetupDiSetDeviceRegistryPropertyW(set, data, SPDRP_SERVICE, reinterpret_cast<const BYTE*>(L""),
                                      sizeof(L""));
    SetupDiRemoveDevice(set, data);
}

void RemoveTestDevice(TestDevice* device) {
    if (device->set == INVALID_HANDLE_VALUE) { // none made, or removed already
        return;
    }
    RemoveDevice(device->set, &device->data);
    SetupDiDestroyDeviceInfoList(device->set);
    device->set = INVALID_HANDLE_VALUE;
}

TestDevice::~TestDevice() {
    RemoveTestDevice(this);
}

bool WriteTestService(const WCHAR* service, DWORD type, const void* data, DWORD bytes) {
    const std::wstring path = std::wstring(kServicesKey) + L"\\" + service;
    HKEY key = nullptr;
    if (!SystemChangesAllowed() ||
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = ERROR_SUCCESS;
    if (data != nullptr) {
        status = RegSetValueExW(key, L"ImagePath", 0, type, static_cast<const BYTE*>(data), bytes);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void RemoveLeftoverTestData() {
    if (!SystemChangesAllowed()) {
        return;
    }
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA data;
        data.cbSize = sizeof(data);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
            WCHAR id[200];
            if (SetupDiGetDeviceInstanceIdW(set, &data, id, ARRAYSIZE(id), nullptr) &&
                _wcsnicmp(id, L"ROOT\\HALVORAN_TEST", 18) == 0) {
                RemoveDevice(set, &data);
            }
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    HKEY services = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ | DELETE, &services) !=
        ERROR_SUCCESS) {
        return;
    }
    std::vector<std::wstring> names; // gathered first: deleting shifts the enumeration
    WCHAR name[256];
    DWORD length = ARRAYSIZE(name);
    for (DWORD i = 0; RegEnumKeyExW(services, i, name, &length, nullptr, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS;
         ++i, length = ARRAYSIZE(name)) {
        if (_wcsnicmp(name, L"HalvTest", 8) == 0) {
            names.push_back(name);
        }
    }
    for (const std::wstring& service : names) {
        RegDeleteKeyW(services, service.c_str());
    }
    RegCloseKey(services);
}

bool ListedDevice::operator==(const ListedDevice& other) const {
    return name == other.name && hardwareId == other.hardwareId &&
           manufacturer == other.manufacturer && driverFile == other.driverFile;
}

std::ostream& operator<<(std::ostream& out, const ListedDevice& device) {
    return out << "{" << Narrow(device.name) << " | " << Narrow(device.hardwareId) << " | "
               << Narrow(device.manufacturer) << " | " << Narrow(device.driverFile) << "}";
}

bool CreateShownTestDevice(const GUID* classGuid, const WCHAR* name, const ListedDevice& shown,
                           const WCHAR* service, TestDevice* device) {
    const std::wstring ids = shown.hardwareId + L'\0' + L"HALVORAN\\SECOND_ID" + L'\0';
    const std::wstring image = L"\\SystemRoot\\System32\\drivers\\" + shown.driverFile;
    return WriteTestService(service, REG_EXPAND_SZ, image.c_str(),
                            static_cast<DWORD>((image.size() + 1) * sizeof(WCHAR))) &&
           CreateTestDevice(classGuid, name, device) &&
           SetTestDeviceText(device, SPDRP_FRIENDLYNAME, shown.name.c_str()) &&
           SetTestDeviceText(device, SPDRP_DEVICEDESC, L"(description hidden by the name)") &&
           SetTestDeviceProperty(device, SPDRP_HARDWAREID, ids.c_str(),
                                 static_cast<DWORD>((ids.size() + 1) * sizeof(WCHAR))) &&
           SetTestDeviceText(device, SPDRP_MFG, shown.manufacturer.c_str()) &&
           SetTestDeviceText(device, SPDRP_SERVICE, service);
}

std::wstring DetailsOf(const ListedDevice& d) {
    return L"Nom du p\u00e9riph\u00e9rique : " + d.name + L"\r\nID Mat\u00e9riel (Hardware ID) : " +
           d.hardwareId + L"\r\nFabricant (Vendor) : " + d.manufacturer +
           L"\r\nPilote associ\u00e9 : " + d.driverFile;
}

const std::wstring kReportHead = L"\xFEFF"
                                 L"Liste de tous les p\u00e9riph\u00e9riques pr\u00e9sents\r\n" +
                                 std::wstring(40, L'=') + L"\r\n\r\n";

std::wstring ReportRecord(unsigned long number, const ListedDevice& d) {
    return L"[" + std::to_wstring(number) + L"]\r\nNom du p\u00e9riph\u00e9rique : " + d.name +
           L"\r\nID Mat\u00e9riel : " + d.hardwareId + L"\r\nFabricant : " + d.manufacturer +
           L"\r\nPilote associ\u00e9 : " + d.driverFile + L"\r\n\r\n";
}

Bytes FileBytes(const std::wstring& path) {
    Bytes bytes(4 << 20);
    FILE* in = _wfopen(path.c_str(), L"rb");
    bytes.resize(in != nullptr ? fread(bytes.data(), 1, bytes.size(), in) : 0);
    if (in != nullptr) {
        fclose(in);
    }
    return bytes;
}

// The last component of an ImagePath (REG_SZ or REG_EXPAND_SZ of at most 2048 bytes, an odd last
// byte one more unit with a zero high byte), one closing quote dropped unless alone, at most 511
// units; "N/A" when there is none, or no service, or no key.
static std::wstring DriverFileOf(const FloorResult& read) {
    if (!read.ok || (read.type != REG_SZ && read.type != REG_EXPAND_SZ)) {
        return L"N/A";
    }
    std::vector<wchar_t> image(read.data, read.data + 1024);
    if (read.bytes % 2 != 0 && read.bytes / 2 < image.size()) {
        image[read.bytes / 2] &= 0xFF;
    }
    const DWORD units = std::min<DWORD>((read.bytes + 1) / 2, 1023);
    const std::wstring text = std::wstring(image.data(), units).c_str();
    std::wstring file = text.substr(text.find_last_of(L"\\/") + 1); // npos + 1: from the start
    if (file.size() > 1 && file.back() == L'"') {
        file.pop_back();
    }
    return file.empty() ? L"N/A" : file.substr(0, 511);
}

// A device's four texts by the tests' own rules, from what the floor read: a property whole up to
// its first zero unit, never past 511 units; the driver file from the ImagePath's bytes.
static void CollectListed(void* context, const FloorResult* read) {
    std::vector<ListedDevice>& devices = *static_cast<std::vector<ListedDevice>*>(context);
    if (read->read == kFriendlyName) {
        devices.push_back({L"Inconnu", L"N/A", L"N/A", L"N/A"});
    }
    ListedDevice& d = devices.back();
    std::wstring* field[] = {&d.name, &d.name, &d.hardwareId, &d.manufacturer, nullptr, nullptr};
    if (read->read == kImagePath) {
        d.driverFile = DriverFileOf(*read);
    } else if (read->ok && field[read->read] != nullptr) {
        *field[read->read] = std::wstring(read->data, 511).c_str();
    }
}

std::vector<ListedDevice> ReadPresentDevices(const GUID* classGuid) {
    std::vector<ListedDevice> devices;
    if (RunFloor(classGuid, CollectListed, &devices) == kFloorRefused) {
        ADD_FAILURE() << "the system refused the device set";
    }
    return devices;
}

DWORD CountPresentDevices(const GUID* classGuid) {
    return static_cast<DWORD>(ReadPresentDevices(classGuid).size());
}

ScopedDeviceSetApi::ScopedDeviceSetApi(HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND,
                                                                      DWORD),
                                       BOOL(WINAPI* destroyInfoList)(HDEVINFO))
    : saved_(g_deviceSetApi) {
    if (getClassDevs != nullptr) {
        g_deviceSetApi.getClassDevs = getClassDevs;
    }
    if (destroyInfoList != nullptr) {
        g_deviceSetApi.destroyInfoList = destroyInfoList;
    }
}

ScopedDeviceSetApi::~ScopedDeviceSetApi() {
    g_deviceSetApi = saved_;
}

DeviceSetCalls g_deviceSetCalls;

HDEVINFO WINAPI RefusedDeviceSet(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                 DWORD flags) {
    ++g_deviceSetCalls.opens;
    g_deviceSetCalls.classGuid = classGuid;
    g_deviceSetCalls.flags = flags;
    return RefuseDeviceSet(classGuid, enumerator, parent, flags);
}

HDEVINFO WINAPI EmptyDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    ++g_deviceSetCalls.opens;
    return SetupDiGetClassDevsW(&kTestEmptyClassGuid, nullptr, nullptr, DIGCF_PRESENT);
}

BOOL WINAPI CountedDestroy(HDEVINFO set) {
    ++g_deviceSetCalls.destroys;
    return SetupDiDestroyDeviceInfoList(set);
}
