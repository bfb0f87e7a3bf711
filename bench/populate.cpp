#include "bench/populate.h"

#include <setupapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

// Setup classes of the devices made here.
static const GUID kClassSystem = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassUsb = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
static const GUID kClassHid = {
    0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};
static const GUID kClassNet = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassMedia = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassDisplay = {
    0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassHdc = {
    0x4d36e96a, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassDiskDrive = {
    0x4d36e967, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassPorts = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kClassBluetooth = {
    0xe0cbf06c, 0xcd8b, 0x4647, {0xbb, 0x8a, 0x26, 0x3b, 0x43, 0xf0, 0xf9, 0x74}};
static const GUID kClassImage = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

// Services with ImagePath values in the shapes found on real machines: \SystemRoot paths,
// paths relative to the Windows folder, driver store folders, quoted program paths with and
// without arguments, svchost command lines.
struct ServiceShape {
    const WCHAR* name;
    DWORD type;
    const WCHAR* imagePath;
};

static const ServiceShape kServiceShapes[] = {
    // 0: system devices
    {L"pci", REG_EXPAND_SZ, L"System32\\drivers\\pci.sys"},
    {L"MEIx64", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\heci.inf_amd64_3bc0a6bbd4f8e9d2\\x64"
     L"\\TeeDriverW10x64.sys"},
    {L"iaLPSS2i_I2C", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\iaLPSS2i_I2C.sys"},
    {L"SmbDrvI", REG_EXPAND_SZ, L"System32\\drivers\\Smb_driver_Intel.sys"},
    // 4: USB controllers and hubs
    {L"USBXHCI", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\USBXHCI.SYS"},
    {L"USBHUB3", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\UsbHub3.sys"},
    {L"usbehci", REG_EXPAND_SZ, L"System32\\drivers\\usbehci.sys"},
    {L"usbccgp", REG_EXPAND_SZ, L"System32\\DRIVERS\\usbccgp.sys"},
    // 8: input devices
    {L"HidUsb", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\hidusb.sys"},
    {L"hidserv", REG_EXPAND_SZ,
     L"%SystemRoot%\\system32\\svchost.exe -k LocalSystemNetworkRestricted -p"},
    {L"LGHUBUpdaterService", REG_EXPAND_SZ,
     L"\"C:\\Program Files\\LGHUB\\lghub_updater.exe\" --run-as-service"},
    {L"LogiRegistryService", REG_SZ,
     L"\"C:\\Program Files\\Logitech\\LogiOptions\\LogiRegistryService.exe\""},
    // 12: network adapters
    {L"e1dexpress", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\e1d68x64.sys"},
    {L"rt640x64", REG_EXPAND_SZ, L"System32\\DRIVERS\\rt640x64.sys"},
    {L"Netwtw10", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\Netwtw10.sys"},
    {L"RtlWlanu", REG_EXPAND_SZ, L"System32\\drivers\\RtWlanU.sys"},
    // 16: sound, video and game controllers
    {L"HDAudBus", REG_EXPAND_SZ, L"System32\\drivers\\HDAudBus.sys"},
    {L"IntcAzAudAddService", REG_EXPAND_SZ, L"\\SystemRoot\\system32\\drivers\\RTKVHD64.sys"},
    {L"usbaudio", REG_EXPAND_SZ, L"\\SystemRoot\\system32\\drivers\\usbaudio.sys"},
    {L"usbvideo", REG_EXPAND_SZ, L"System32\\Drivers\\usbvideo.sys"},
    // 20: display adapters
    {L"nvlddmkm", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\nvmii.inf_amd64_8e5f2b8c4d6a0f31"
     L"\\nvlddmkm.sys"},
    {L"igfxn", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\iigd_dch.inf_amd64_5f4ab8a1c2e07d9b"
     L"\\igdkmdn64.sys"},
    {L"amdkmdag", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\u0388003.inf_amd64_1c7e4d2a9b6f3e05"
     L"\\B388106\\amdkmdag.sys"},
    {L"BasicDisplay", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\BasicDisplay.sys"},
    // 24: storage controllers
    {L"storahci", REG_EXPAND_SZ, L"System32\\drivers\\storahci.sys"},
    {L"iaStorVD", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\iastorvd.inf_amd64_0b6d8a3e5c1f7b24"
     L"\\iaStorVD.sys"},
    {L"stornvme", REG_EXPAND_SZ, L"System32\\drivers\\stornvme.sys"},
    {L"pciide", REG_EXPAND_SZ, L"System32\\drivers\\pciide.sys"},
    // 28: disk drives
    {L"disk", REG_EXPAND_SZ, L"System32\\drivers\\disk.sys"},
    // 29: ports
    {L"Serial", REG_EXPAND_SZ, L"System32\\drivers\\serial.sys"},
    {L"FTDIBUS", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\ftdibus.sys"},
    {L"usbser", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\usbser.sys"},
    // 32: Bluetooth
    {L"BTHUSB", REG_EXPAND_SZ, L"System32\\drivers\\BTHUSB.sys"},
    {L"BthAvctpSvc", REG_EXPAND_SZ, L"C:\\Windows\\system32\\svchost.exe -k LocalService -p"},
    // 34: imaging devices
    {L"usbscan", REG_EXPAND_SZ, L"System32\\DRIVERS\\usbscan.sys"},
    {L"WiaRpc", REG_EXPAND_SZ,
     L"C:\\Windows\\system32\\svchost.exe -k LocalSystemNetworkRestricted -p"},
    // 36: virtual network adapters
    {L"tap0901", REG_EXPAND_SZ, L"System32\\drivers\\tap0901.sys"},
    {L"VBoxNetAdp", REG_EXPAND_SZ, L"\\SystemRoot\\system32\\DRIVERS\\VBoxNetAdp6.sys"},
    {L"VMSMP", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\drivers\\vmswitch.sys"},
    {L"wintun", REG_EXPAND_SZ,
     L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\wintun.inf_amd64_2f9d6c3b8e1a4d07"
     L"\\wintun.sys"},
};

// Where a kind of device takes its identity from.
enum DeviceSource {
    kFromPci,        // a PCI function named in pci.ids
    kFromUsb,        // a USB device named in usb.ids
    kFromUsbStorage, // a disk behind a USB mass storage device named in usb.ids
    kVirtualAdapter, // a root-enumerated virtual network adapter
    kSerialPort      // a motherboard serial port
};

struct DeviceKind {
    const GUID* classGuid;
    int weight; // share of the devices, out of the sum of all weights
    DeviceSource source;
    const char* keywords;       // '|'-separated, looked for in the device name, case ignored
    DWORD pciClassCode;         // class code in PCI hardware IDs
    const WCHAR* standardMaker; // the manufacturer of about half the devices, or null
    const WCHAR* genericName;   // the description of about half the devices, or null
    int firstService;           // range in kServiceShapes
    int serviceCount;
    int percentWithoutService;
};

static const DeviceKind kDeviceKinds[] = {
    {&kClassSystem, 24, kFromPci,
     "root port|smbus|lpc|host bridge|thermal|management engine|spi|pci express|shared sram|"
     "serial io|gpio|chipset",
     0x060400, L"(Standard system devices)", nullptr, 0, 4, 30},
    {&kClassUsb, 4, kFromPci, "usb 3|xhci|ehci|usb2|usb controller|usb host", 0x0c0330,
     L"(Standard USB Host Controller)", nullptr, 4, 4, 0},
    {&kClassUsb, 6, kFromUsb, "hub", 0, L"(Standard USB HUBs)", L"Generic USB Hub", 4, 4, 0},
    {&kClassHid, 14, kFromUsb,
     "keyboard|mouse|receiver|touchpad|gamepad|joystick|trackball|presenter", 0,
     L"(Standard system devices)", L"USB Input Device", 8, 4, 5},
    {&kClassNet, 6, kFromPci, "ethernet|gigabit|wireless|wi-fi|wifi|network connection|wlan",
     0x020000, nullptr, nullptr, 12, 4, 0},
    {&kClassNet, 3, kFromUsb, "ethernet|wireless|wlan|802.11|network adapter", 0, nullptr, nullptr,
     12, 4, 0},
    {&kClassNet, 3, kVirtualAdapter, nullptr, 0, nullptr, nullptr, 36, 4, 0},
    {&kClassMedia, 4, kFromPci, "audio|sound", 0x040300, nullptr, L"High Definition Audio Device",
     16, 2, 0},
    {&kClassMedia, 4, kFromUsb, "webcam|camera|headset|audio|microphone|speaker", 0, nullptr,
     L"USB Audio Device", 18, 2, 0},
    {&kClassDisplay, 4, kFromPci, "geforce|radeon|quadro|graphics|vga|uhd|iris", 0x030000, nullptr,
     nullptr, 20, 4, 0},
    {&kClassHdc, 4, kFromPci, "sata|ahci|nvme|raid|ide|storage controller", 0x010601,
     L"Standard SATA AHCI Controller", nullptr, 24, 4, 0},
    {&kClassDiskDrive, 8, kFromUsbStorage, "flash|disk|storage|drive|card reader|ssd", 0,
     L"(Standard disk drives)", nullptr, 28, 1, 0},
    {&kClassPorts, 2, kSerialPort, nullptr, 0, L"(Standard port types)", nullptr, 29, 1, 0},
    {&kClassPorts, 3, kFromUsb, "serial|uart|rs-232|rs232", 0, nullptr, L"USB Serial Port", 30, 2,
     0},
    {&kClassBluetooth, 3, kFromUsb, "bluetooth", 0, L"Microsoft", nullptr, 32, 2, 0},
    {&kClassImage, 3, kFromUsb, "scanner|laserjet|printer|deskjet|officejet|pixma", 0, nullptr,
     nullptr, 34, 2, 0},
};

struct VirtualAdapter {
    const WCHAR* hardwareId;
    const WCHAR* description;
    const WCHAR* manufacturer;
    int service; // index in kServiceShapes
};

static const VirtualAdapter kVirtualAdapters[] = {
    {L"tap0901", L"TAP-Windows Adapter V9", L"TAP-Windows Provider V9", 36},
    {L"sun_VBoxNetAdp", L"VirtualBox Host-Only Ethernet Adapter", L"Oracle Corporation", 37},
    {L"VMS_MP", L"Hyper-V Virtual Ethernet Adapter", L"Microsoft", 38},
    {L"Wintun", L"Wintun Userspace Tunnel", L"WireGuard LLC", 39},
};

// One device of pci.ids or usb.ids, as read from the file (UTF-8).
struct IdsDevice {
    WORD vendorId;
    WORD deviceId;
    WORD subVendorId; // 0 when the file names no subsystem
    WORD subDeviceId;
    std::string vendor;
    std::string device;
};

static bool IsHex4(const char* text) {
    for (int i = 0; i < 4; ++i) {
        char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

static WORD Hex4(const char* text) {
    char digits[5] = {text[0], text[1], text[2], text[3], 0};
    return static_cast<WORD>(strtoul(digits, nullptr, 16));
}

// Reads the vendor and device lists of an ID database; stops at its class section.
static bool ReadIdsFile(const WCHAR* path, std::vector<IdsDevice>* devices) {
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) {
        return false;
    }
    char line[1024];
    std::string vendor;
    WORD vendorId = 0;
    while (fgets(line, sizeof(line), file) != nullptr) {
        line[strcspn(line, "\r\n")] = 0;
        if (line[0] == 'C' && line[1] == ' ') {
            break;
        }
        if (IsHex4(line) && line[4] == ' ' && line[5] == ' ') {
            vendorId = Hex4(line);
            vendor = line + 6;
        } else if (line[0] == '\t' && line[1] != '\t' && IsHex4(line + 1) && line[5] == ' ' &&
                   line[6] == ' ' && !vendor.empty()) {
            IdsDevice device = {vendorId, Hex4(line + 1), 0, 0, vendor, line + 7};
            devices->push_back(device);
        } else if (line[0] == '\t' && line[1] == '\t' && IsHex4(line + 2) && line[6] == ' ' &&
                   IsHex4(line + 7) && !devices->empty() && devices->back().subVendorId == 0 &&
                   devices->back().vendorId == vendorId) {
            devices->back().subVendorId = Hex4(line + 2);
            devices->back().subDeviceId = Hex4(line + 7);
        }
    }
    fclose(file);
    return !devices->empty();
}

static bool ContainsKeyword(const std::string& name, const char* keywords) {
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const char* start = keywords;
    while (*start != 0) {
        const char* end = strchr(start, '|');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : strlen(start);
        if (lower.find(std::string(start, length)) != std::string::npos) {
            return true;
        }
        start += length + (end != nullptr ? 1 : 0);
    }
    return false;
}

static std::wstring FromUtf8(const std::string& text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 1) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(length - 1), L' ');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    return wide;
}

std::wstring Format(const WCHAR* format, ...) {
    WCHAR buffer[512];
    va_list args;
    va_start(args, format);
    vswprintf(buffer, ARRAYSIZE(buffer), format, args);
    va_end(args);
    return buffer;
}

// The text inside the first [...] of a name from the ID files, or empty.
static std::string BracketPart(const std::string& name) {
    size_t open = name.find('[');
    size_t close = name.find(']', open);
    if (open == std::string::npos || close == std::string::npos) {
        return std::string();
    }
    return name.substr(open + 1, close - open - 1);
}

static std::string VendorDisplayName(const std::string& vendor) {
    std::string bracket = BracketPart(vendor);
    return bracket.empty() ? vendor : bracket;
}

// The product name as Windows shows it: "NVIDIA GeForce RTX 2070" for "TU106 [GeForce RTX
// 2070]" of "NVIDIA Corporation".
static std::string ProductDisplayName(const IdsDevice& device) {
    std::string bracket = BracketPart(device.device);
    if (bracket.empty()) {
        return device.device;
    }
    std::string vendor = VendorDisplayName(device.vendor);
    return vendor.substr(0, vendor.find(' ')) + " " + bracket;
}

// Keeps letters, digits and a few marks; anything else (spaces, separators) becomes '_'.
static std::wstring IdPart(const std::string& text, size_t width, bool pad) {
    std::wstring part;
    for (size_t i = 0; i < text.size() && part.size() < width; ++i) {
        char c = text[i];
        bool keep = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '-' || c == '.';
        part += keep ? static_cast<WCHAR>(c) : L'_';
    }
    while (pad && part.size() < width) {
        part += L'_';
    }
    return part;
}

// A small linear congruential generator: the same devices on every run.
static DWORD NextRandom(DWORD* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

static DWORD Pick(DWORD* state, DWORD count) {
    return count == 0 ? 0 : NextRandom(state) % count;
}

// Appends one ID and its terminator to a REG_MULTI_SZ list under construction.
static void AddId(std::wstring* list, const std::wstring& id) {
    list->append(id);
    list->push_back(L'\0');
}

// A distinct 24-bit number for each device (multiplying by an odd constant is one to one).
static DWORD Scramble(DWORD index) {
    return (index * 2654435761u) & 0xffffff;
}

static void PlanPciDevice(const DeviceKind& kind, const IdsDevice& ids, DWORD index, DWORD* random,
                          PlannedDevice* device) {
    WORD subVendor = ids.subVendorId != 0 ? ids.subVendorId : ids.vendorId;
    WORD subDevice = ids.subVendorId != 0 ? ids.subDeviceId : ids.deviceId;
    DWORD revision = Pick(random, 0x20);
    std::wstring venDev = Format(L"PCI\\VEN_%04X&DEV_%04X", ids.vendorId, ids.deviceId);
    std::wstring subsys = Format(L"&SUBSYS_%04X%04X", subDevice, subVendor);
    std::wstring full = venDev + subsys + Format(L"&REV_%02X", revision);
    AddId(&device->hardwareIds, full);
    AddId(&device->hardwareIds, venDev + subsys);
    AddId(&device->hardwareIds, venDev + Format(L"&CC_%06X", kind.pciClassCode));
    AddId(&device->hardwareIds, venDev + Format(L"&CC_%04X", kind.pciClassCode >> 8));
    device->instanceId =
        full + Format(L"\\3&%06X&0&%02X", Scramble(index), (index * 8 + revision) & 0xff);
    // Wine deletes display-class devices under Enum\PCI each time it sets up its own display
    // adapter, so display adapters take a bus name of their own; their IDs keep the PCI shape.
    if (kind.classGuid == &kClassDisplay) {
        device->instanceId = L"PCI_GPU" + device->instanceId.substr(3);
    }
    device->description = FromUtf8(ProductDisplayName(ids));
    device->manufacturer = FromUtf8(VendorDisplayName(ids.vendor));
}

static void PlanUsbDevice(const IdsDevice& ids, DWORD index, DWORD* random, PlannedDevice* device) {
    std::wstring vidPid = Format(L"USB\\VID_%04X&PID_%04X", ids.vendorId, ids.deviceId);
    AddId(&device->hardwareIds, vidPid + Format(L"&REV_%04X", 0x100 + Pick(random, 0x2000)));
    AddId(&device->hardwareIds, vidPid);
    device->instanceId = vidPid + Format(L"\\6&%06X&0&%u", Scramble(index), 1 + index % 8);
    device->description = FromUtf8(ProductDisplayName(ids));
    device->manufacturer = FromUtf8(VendorDisplayName(ids.vendor));
}

// A disk behind a USB mass storage device, with the USBSTOR identifiers Windows makes.
static void PlanUsbDisk(const IdsDevice& ids, DWORD index, DWORD* random, PlannedDevice* device) {
    std::string vendor = VendorDisplayName(ids.vendor);
    vendor = vendor.substr(0, vendor.find_first_of(" ,"));
    std::wstring vendor8 = IdPart(vendor, 8, true);
    std::wstring product16 = IdPart(ids.device, 16, true);
    std::wstring revision = Format(L"%u.%02u", 1 + Pick(random, 9), Pick(random, 100));
    std::wstring disk = L"USBSTOR\\Disk" + vendor8 + product16;
    AddId(&device->hardwareIds, disk + revision);
    AddId(&device->hardwareIds, disk);
    AddId(&device->hardwareIds, L"USBSTOR\\Disk" + vendor8);
    AddId(&device->hardwareIds, L"USBSTOR\\" + vendor8 + product16 + revision.substr(0, 1));
    AddId(&device->hardwareIds, vendor8 + product16 + revision.substr(0, 1));
    AddId(&device->hardwareIds, L"USBSTOR\\GenDisk");
    AddId(&device->hardwareIds, L"GenDisk");
    device->instanceId = L"USBSTOR\\Disk&Ven_" + IdPart(vendor, 8, false) + L"&Prod_" +
                         IdPart(ids.device, 16, false) + L"&Rev_" + revision +
                         Format(L"\\%06X%06X&0", Scramble(index), Scramble(index + 7));
    device->description = L"Disk drive";
    device->friendlyName = FromUtf8(vendor + " " + ids.device) + L" USB Device";
}

// The services that the plan uses, each once, in the order of the table.
static void PlanServices(const std::vector<PlannedDevice>& devices,
                         std::vector<PlannedService>* services) {
    for (const ServiceShape& shape : kServiceShapes) {
        for (const PlannedDevice& device : devices) {
            if (device.service == shape.name) {
                services->push_back({shape.name, shape.type, shape.imagePath});
                break;
            }
        }
    }
}

bool PlanDevices(DWORD count, std::vector<PlannedDevice>* devices,
                 std::vector<PlannedService>* services) {
    std::vector<IdsDevice> pci;
    std::vector<IdsDevice> usb;
    if (!ReadIdsFile(L"Z:\\usr\\share\\misc\\pci.ids", &pci) ||
        !ReadIdsFile(L"Z:\\usr\\share\\misc\\usb.ids", &usb)) {
        return false;
    }
    const int kindCount = static_cast<int>(ARRAYSIZE(kDeviceKinds));
    std::vector<std::vector<size_t>> candidates(kindCount);
    int totalWeight = 0;
    for (int k = 0; k < kindCount; ++k) {
        const DeviceKind& kind = kDeviceKinds[k];
        totalWeight += kind.weight;
        if (kind.keywords == nullptr) {
            continue;
        }
        const std::vector<IdsDevice>& source = kind.source == kFromPci ? pci : usb;
        for (size_t i = 0; i < source.size(); ++i) {
            if (ContainsKeyword(source[i].device, kind.keywords)) {
                candidates[k].push_back(i);
            }
        }
    }

    DWORD random = 20240611;
    DWORD comPort = 1;
    DWORD virtualAdapters = 0;
    devices->clear();
    for (DWORD index = 0; index < count; ++index) {
        int roll = static_cast<int>(Pick(&random, static_cast<DWORD>(totalWeight)));
        int k = 0;
        while (roll >= kDeviceKinds[k].weight) {
            roll -= kDeviceKinds[k].weight;
            ++k;
        }
        const DeviceKind& kind = kDeviceKinds[k];
        PlannedDevice device;
        device.classGuid = kind.classGuid;
        int service = kind.firstService + static_cast<int>(Pick(&random, kind.serviceCount));
        if (kind.source == kFromPci || kind.source == kFromUsb || kind.source == kFromUsbStorage) {
            const std::vector<IdsDevice>& source = kind.source == kFromPci ? pci : usb;
            const IdsDevice& ids =
                source[candidates[k][Pick(&random, static_cast<DWORD>(candidates[k].size()))]];
            if (kind.source == kFromPci) {
                PlanPciDevice(kind, ids, index, &random, &device);
            } else if (kind.source == kFromUsb) {
                PlanUsbDevice(ids, index, &random, &device);
            } else {
                PlanUsbDisk(ids, index, &random, &device);
            }
        } else if (kind.source == kVirtualAdapter) {
            const VirtualAdapter& adapter =
                kVirtualAdapters[Pick(&random, ARRAYSIZE(kVirtualAdapters))];
            AddId(&device.hardwareIds, adapter.hardwareId);
            device.instanceId = Format(L"ROOT\\NET\\%04u", virtualAdapters);
            device.description = adapter.description;
            if (virtualAdapters > 0) {
                device.friendlyName = Format(L"%ls #%u", adapter.description, virtualAdapters + 1);
            }
            device.manufacturer = adapter.manufacturer;
            service = adapter.service;
            ++virtualAdapters;
        } else {
            AddId(&device.hardwareIds, L"ACPI\\VEN_PNP&DEV_0501");
            AddId(&device.hardwareIds, L"ACPI\\PNP0501");
            AddId(&device.hardwareIds, L"*PNP0501");
            device.instanceId = Format(L"ACPI\\PNP0501\\%u", comPort);
            device.description = L"Communications Port";
        }
        if (kind.genericName != nullptr && Pick(&random, 2) == 0) {
            device.description = kind.genericName;
        }
        if (kind.classGuid == &kClassPorts) {
            device.friendlyName = Format(L"%ls (COM%u)", device.description.c_str(), comPort);
            ++comPort;
        }
        if (kind.standardMaker != nullptr && (device.manufacturer.empty() || Pick(&random, 2))) {
            device.manufacturer = kind.standardMaker;
        }
        if (static_cast<int>(Pick(&random, 100)) >= kind.percentWithoutService) {
            device.service = kServiceShapes[service].name;
        }
        AddId(&device.hardwareIds, L""); // the list ends with an empty text
        devices->push_back(device);
    }
    services->clear();
    PlanServices(*devices, services);
    return true;
}

static bool SetText(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property, const std::wstring& text) {
    // The size counts the terminator (a multi-text list already holds its final empty text).
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    return SetupDiSetDeviceRegistryPropertyW(
               set, data, property, reinterpret_cast<const BYTE*>(text.c_str()), bytes) != FALSE;
}

static void CreateServiceIfMissing(const PlannedService& service) {
    std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + service.name;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        return;
    }
    if (disposition == REG_CREATED_NEW_KEY) {
        RegSetValueExW(key, L"ImagePath", 0, service.type,
                       reinterpret_cast<const BYTE*>(service.imagePath.c_str()),
                       static_cast<DWORD>((service.imagePath.size() + 1) * sizeof(WCHAR)));
    }
    RegCloseKey(key);
}

// Devices are created through sets of this many: a set checks each new device against all
// those it already holds.
static const DWORD kDevicesPerSet = 250;

DWORD CreatePlannedDevices(const std::vector<PlannedDevice>& devices,
                           const std::vector<PlannedService>& services) {
    for (const PlannedService& service : services) {
        CreateServiceIfMissing(service);
    }
    DWORD created = 0;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (i % kDevicesPerSet == 0) {
            if (set != INVALID_HANDLE_VALUE) {
                SetupDiDestroyDeviceInfoList(set);
            }
            set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
            if (set == INVALID_HANDLE_VALUE) {
                return created;
            }
        }
        const PlannedDevice& device = devices[i];
        SP_DEVINFO_DATA data;
        data.cbSize = sizeof(data);
        if (!SetupDiCreateDeviceInfoW(set, device.instanceId.c_str(), device.classGuid, nullptr,
                                      nullptr, 0, &data)) {
            fwprintf(stderr, L"cannot create %ls (error %lu)\n", device.instanceId.c_str(),
                     GetLastError());
            continue;
        }
        bool ok = SetText(set, &data, SPDRP_DEVICEDESC, device.description) &&
                  SetupDiSetDeviceRegistryPropertyW(
                      set, &data, SPDRP_HARDWAREID,
                      reinterpret_cast<const BYTE*>(device.hardwareIds.c_str()),
                      static_cast<DWORD>(device.hardwareIds.size() * sizeof(WCHAR))) &&
                  SetText(set, &data, SPDRP_MFG, device.manufacturer) &&
                  (device.friendlyName.empty() ||
                   SetText(set, &data, SPDRP_FRIENDLYNAME, device.friendlyName)) &&
                  (device.service.empty() || SetText(set, &data, SPDRP_SERVICE, device.service));
        if (ok && SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr)) {
            ++created;
        } else {
            fwprintf(stderr, L"cannot set up %ls (error %lu)\n", device.instanceId.c_str(),
                     GetLastError());
        }
    }
    if (set != INVALID_HANDLE_VALUE) {
        SetupDiDestroyDeviceInfoList(set);
    }
    return created;
}
