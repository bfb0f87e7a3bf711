// The benchmark's devices, the same on every run: their number, classes, text lengths and the
// shapes of their services' image paths are what the program's timing depends on.

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <wchar.h>

#include <algorithm>
#include <string>

#include "inventory/device_types.h"

// Services, name and ImagePath, in the shapes of real machines: \SystemRoot paths, System32 paths,
// driver store folders, quoted program paths with and without arguments, svchost command lines.
#define STORE L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\"
static const WCHAR* const kServices[][2] = {
    {L"pci", L"System32\\drivers\\pci.sys"},
    {L"MEIx64", STORE L"heci.inf_amd64_3bc0a6bbd4f8e9d2\\x64\\TeeDriverW10x64.sys"},
    {L"iaLPSS2i_I2C", L"\\SystemRoot\\System32\\drivers\\iaLPSS2i_I2C.sys"},
    {L"SmbDrvI", L"System32\\drivers\\Smb_driver_Intel.sys"},
    {L"USBXHCI", L"\\SystemRoot\\System32\\drivers\\USBXHCI.SYS"},
    {L"USBHUB3", L"\\SystemRoot\\System32\\drivers\\UsbHub3.sys"},
    {L"usbehci", L"System32\\drivers\\usbehci.sys"},
    {L"usbccgp", L"System32\\DRIVERS\\usbccgp.sys"},
    {L"HidUsb", L"\\SystemRoot\\System32\\drivers\\hidusb.sys"},
    {L"hidserv", L"%SystemRoot%\\system32\\svchost.exe -k LocalSystemNetworkRestricted -p"},
    {L"LGHUBUpdaterService", L"\"C:\\Program Files\\LGHUB\\lghub_updater.exe\" --run-as-service"},
    {L"LogiRegistryService",
     L"\"C:\\Program Files\\Logitech\\LogiOptions\\LogiRegistryService.exe\""},
    {L"e1dexpress", L"\\SystemRoot\\System32\\drivers\\e1d68x64.sys"},
    {L"rt640x64", L"System32\\DRIVERS\\rt640x64.sys"},
    {L"Netwtw10", L"\\SystemRoot\\System32\\drivers\\Netwtw10.sys"},
    {L"RtlWlanu", L"System32\\drivers\\RtWlanU.sys"},
    {L"HDAudBus", L"System32\\drivers\\HDAudBus.sys"},
    {L"IntcAzAudAddService", L"\\SystemRoot\\system32\\drivers\\RTKVHD64.sys"},
    {L"usbaudio", L"\\SystemRoot\\system32\\drivers\\usbaudio.sys"},
    {L"usbvideo", L"System32\\Drivers\\usbvideo.sys"},
    {L"nvlddmkm", STORE L"nvmii.inf_amd64_8e5f2b8c4d6a0f31\\nvlddmkm.sys"},
    {L"igfxn", STORE L"iigd_dch.inf_amd64_5f4ab8a1c2e07d9b\\igdkmdn64.sys"},
    {L"amdkmdag", STORE L"u0388003.inf_amd64_1c7e4d2a9b6f3e05\\B388106\\amdkmdag.sys"},
    {L"BasicDisplay", L"\\SystemRoot\\System32\\drivers\\BasicDisplay.sys"},
    {L"storahci", L"System32\\drivers\\storahci.sys"},
    {L"iaStorVD", STORE L"iastorvd.inf_amd64_0b6d8a3e5c1f7b24\\iaStorVD.sys"},
    {L"stornvme", L"System32\\drivers\\stornvme.sys"},
    {L"pciide", L"System32\\drivers\\pciide.sys"},
    {L"disk", L"System32\\drivers\\disk.sys"},
    {L"Serial", L"System32\\drivers\\serial.sys"},
    {L"FTDIBUS", L"\\SystemRoot\\System32\\drivers\\ftdibus.sys"},
    {L"usbser", L"\\SystemRoot\\System32\\drivers\\usbser.sys"},
    {L"BTHUSB", L"System32\\drivers\\BTHUSB.sys"},
    {L"BthAvctpSvc", L"C:\\Windows\\system32\\svchost.exe -k LocalService -p"},
    {L"usbscan", L"System32\\DRIVERS\\usbscan.sys"},
    {L"WiaRpc", L"C:\\Windows\\system32\\svchost.exe -k LocalSystemNetworkRestricted -p"},
    {L"tap0901", L"System32\\drivers\\tap0901.sys"},
    {L"VBoxNetAdp", L"\\SystemRoot\\system32\\DRIVERS\\VBoxNetAdp6.sys"},
    {L"VMSMP", L"\\SystemRoot\\System32\\drivers\\vmswitch.sys"},
    {L"wintun", STORE L"wintun.inf_amd64_2f9d6c3b8e1a4d07\\wintun.sys"},
};

// Hardware ID lists ('|' between IDs, %04X a number of the device's own).
static const WCHAR kPciIds[] =
    L"PCI\\VEN_8086&DEV_%04X&SUBSYS_86941043&REV_10|PCI\\VEN_8086&DEV_%04X&"
    L"SUBSYS_86941043|PCI\\VEN_8086&DEV_%04X&CC_020000|PCI\\VEN_8086&DEV_%04X&CC_0200";
static const WCHAR kUsbIds[] = L"USB\\VID_046D&PID_%04X&REV_1203|USB\\VID_046D&PID_%04X";
static const WCHAR kDiskIds[] =
    L"USBSTOR\\DiskSanDisk_Cruzer_Blade____1.00|USBSTOR\\DiskSanDisk_Cruzer_Blade____|"
    L"USBSTOR\\DiskSanDisk_|USBSTOR\\SanDisk_Cruzer_Blade____1|SanDisk_Cruzer_Blade____1|"
    L"USBSTOR\\GenDisk|GenDisk";

// Setup classes of real machines that the program has no category for.
static const GUID* const kOtherClasses[] = {&GUID_DEVCLASS_SYSTEM, &GUID_DEVCLASS_HIDCLASS,
                                            &GUID_DEVCLASS_PORTS, &GUID_DEVCLASS_BLUETOOTH,
                                            &GUID_DEVCLASS_IMAGE};

// A kind of device: its class (a row of the program's category table, or -1 - a kOtherClasses
// index), its share in percent, its texts (%u: its number among its kind) and its services.
struct DeviceKind {
    int category, share;
    const WCHAR *description, *friendlyName, *hardwareIds, *manufacturer;
    int firstService, services, percentWithoutService;
};

static const DeviceKind kKinds[] = {
    {-1, 25, L"Intel(R) 300 Series Chipset Family PCI Express Root Port #%u", nullptr, kPciIds,
     L"(Standard system devices)", 0, 4, 30},
    {5, 4, L"Intel(R) USB 3.1 eXtensible Host Controller - 1.10 (Microsoft)", nullptr, kPciIds,
     L"(Standard USB Host Controller)", 4, 4, 0},
    {5, 7, L"Generic USB Hub", nullptr, kUsbIds, L"(Standard USB HUBs)", 4, 4, 0},
    {-2, 15, L"USB Input Device", nullptr, kUsbIds, L"Logitech, Inc.", 8, 4, 5},
    {1, 9, L"Intel(R) Ethernet Connection (%u) I219-V", nullptr, kPciIds, L"Intel", 12, 4, 0},
    {1, 4, L"Hyper-V Virtual Ethernet Adapter", L"Hyper-V Virtual Ethernet Adapter #%u", L"VMS_MP",
     L"Microsoft", 36, 4, 0},
    {6, 8, L"High Definition Audio Device", nullptr, kPciIds, L"Microsoft", 16, 4, 0},
    {4, 4, L"NVIDIA GeForce RTX 2070", nullptr, kPciIds, L"NVIDIA", 20, 4, 0},
    {3, 4, L"Standard SATA AHCI Controller", nullptr, kPciIds, L"Standard SATA AHCI Controller", 24,
     4, 0},
    {2, 8, L"Disk drive", L"SanDisk Cruzer Blade %u USB Device", kDiskIds,
     L"(Standard disk drives)", 28, 1, 0},
    {-3, 5, L"USB Serial Port", L"USB Serial Port (COM%u)", kUsbIds, L"FTDI", 29, 3, 0},
    {-4, 3, L"Intel(R) Wireless Bluetooth(R)", nullptr, kUsbIds, L"Intel Corporation", 32, 2, 0},
    {-5, 3, L"HP LaserJet Pro MFP M428f-fdw", nullptr, kUsbIds, L"HP", 34, 2, 0},
};

// The format's conversions all take the same number.
static std::wstring Text(const WCHAR* format, DWORD number) {
    WCHAR text[512];
    swprintf(text, ARRAYSIZE(text), format, number, number, number, number);
    return text;
}

// Stores a text with its terminator (a list of IDs already ends in its empty text).
static bool SetText(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property, const std::wstring& text) {
    return SetupDiSetDeviceRegistryPropertyW(set, data, property,
                                             reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// Creates count devices in the current prefix, and their services where the system has none of
// that name; returns the number of devices created.
DWORD PopulateDevices(DWORD count) {
    for (const auto& service : kServices) {
        const std::wstring key =
            std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + service[0];
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ImagePath", RRF_RT_ANY, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ImagePath", REG_EXPAND_SZ,
                            service[1],
                            static_cast<DWORD>((wcslen(service[1]) + 1) * sizeof(WCHAR)));
        }
    }
    DWORD random = 20240611; // a linear congruential generator's state
    auto next = [&random](DWORD range) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % range;
    };
    DWORD created = 0;
    DWORD numbers[ARRAYSIZE(kKinds)] = {};
    HDEVINFO set = INVALID_HANDLE_VALUE;
    for (DWORD i = 0; i < count; ++i) {
        // Created through sets of 250: a set checks each new device against all those it holds.
        if (i % 250 == 0) {
            SetupDiDestroyDeviceInfoList(set);
            set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        }
        int roll = static_cast<int>(next(100));
        size_t k = 0;
        while (k + 1 < ARRAYSIZE(kKinds) && roll >= kKinds[k].share) {
            roll -= kKinds[k++].share;
        }
        const DeviceKind& kind = kKinds[k];
        const DWORD number = ++numbers[k];
        std::wstring ids = Text(kind.hardwareIds, (i * 2654435761u) >> 16) + L"|";
        std::replace(ids.begin(), ids.end(), L'|', L'\0');
        SP_DEVINFO_DATA data;
        data.cbSize = sizeof(data);
        const WCHAR* service = kServices[kind.firstService + next(kind.services)][0];
        if (SetupDiCreateDeviceInfoW(set, Text(L"BENCH\\DEV_%05u\\0", i).c_str(),
                                     kind.category > 0
                                         ? DeviceCategoryTable[kind.category].classGuid
                                         : kOtherClasses[-1 - kind.category],
                                     nullptr, nullptr, 0, &data) &&
            SetText(set, &data, SPDRP_DEVICEDESC, Text(kind.description, number)) &&
            SetText(set, &data, SPDRP_HARDWAREID, ids) &&
            SetText(set, &data, SPDRP_MFG, kind.manufacturer) &&
            (kind.friendlyName == nullptr ||
             SetText(set, &data, SPDRP_FRIENDLYNAME, Text(kind.friendlyName, number))) &&
            (next(100) < static_cast<DWORD>(kind.percentWithoutService) ||
             SetText(set, &data, SPDRP_SERVICE, service)) &&
            SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr)) {
            ++created;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return created;
}
