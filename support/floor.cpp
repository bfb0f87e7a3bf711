#include "support/floor.h"

#include <wchar.h>

void DiscardFloorRead(void*, const FloorResult*) {}

DWORD RunFloor(const GUID* classGuid, FloorVisitProc visit, void* context) {
    DWORD flags = DIGCF_PRESENT | (classGuid == nullptr ? DIGCF_ALLCLASSES : 0);
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        return kFloorRefused;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
        WCHAR text[512];
        WCHAR service[256];
        WCHAR imagePath[1024] = {};
        FloorResult result = {};
        // Each property is read into a cleared buffer, as the program reads it.
        auto read = [&](FloorRead what, DWORD property, WCHAR* buffer, DWORD bytes) {
            ZeroMemory(buffer, bytes);
            result = {what, FALSE, 0, 0, buffer};
            result.ok = SetupDiGetDeviceRegistryPropertyW(set, &data, property, &result.type,
                                                          reinterpret_cast<BYTE*>(buffer), bytes,
                                                          &result.bytes);
            visit(context, &result);
            return result.ok;
        };
        if (!read(kFriendlyName, SPDRP_FRIENDLYNAME, text, sizeof(text))) {
            read(kDescription, SPDRP_DEVICEDESC, text, sizeof(text));
        }
        read(kHardwareIds, SPDRP_HARDWAREID, text, sizeof(text));
        read(kManufacturer, SPDRP_MFG, text, sizeof(text));
        if (!read(kService, SPDRP_SERVICE, service, sizeof(service))) {
            continue;
        }
        service[ARRAYSIZE(service) - 1] = 0; // a name that filled the buffer has no terminator
        WCHAR keyPath[512];
        swprintf(keyPath, ARRAYSIZE(keyPath), L"SYSTEM\\CurrentControlSet\\Services\\%ls", service);
        result = {kImagePath, FALSE, 0, sizeof(imagePath), imagePath};
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            result.ok = RegQueryValueExW(key, L"ImagePath", nullptr, &result.type,
                                         reinterpret_cast<BYTE*>(imagePath),
                                         &result.bytes) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
        visit(context, &result);
    }
    SetupDiDestroyDeviceInfoList(set);
    return index;
}
