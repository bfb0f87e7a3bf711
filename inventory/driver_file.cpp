#include "inventory/driver_file.h"

#include "inventory/device_types.h"
#include "inventory/text_format.h"

int FileNameFromImagePath(const WCHAR* imagePath, WCHAR* out, DWORD outCapacity) {
    if (imagePath == nullptr || out == nullptr || outCapacity == 0) {
        return 0;
    }
    const WCHAR* start = imagePath;
    for (const WCHAR* p = imagePath; *p != 0; ++p) {
        if (*p == L'\\' || *p == L'/') {
            start = p + 1;
        }
    }
    DWORD length = 0;
    while (start[length] != 0) {
        ++length;
    }
    // A quoted program path leaves its closing quote behind; a lone quote is kept as it is.
    if (length > 1 && start[length - 1] == L'"') {
        --length;
    }
    if (length == 0) {
        return 0;
    }
    DWORD copied = length < outCapacity - 1 ? length : outCapacity - 1;
    lstrcpynW(out, start, static_cast<int>(copied + 1));
    return 1;
}

int FileNameFromImagePathData(WCHAR* imagePath, DWORD capacity, DWORD dataBytes, WCHAR* out,
                              DWORD outCapacity) {
    if (imagePath == nullptr || capacity == 0) {
        return 0;
    }
    // The text ends where the value's data end, whether or not they carried a terminator, and
    // always inside the buffer. An odd last byte is kept as one more unit: the read filled only
    // its low byte, and its high byte still holds whatever the buffer held before.
    DWORD units = dataBytes / sizeof(WCHAR);
    if (dataBytes % sizeof(WCHAR) != 0 && units < capacity - 1) {
        imagePath[units] &= 0x00FF;
        ++units;
    }
    if (units > capacity - 1) {
        units = capacity - 1;
    }
    imagePath[units] = 0;
    return FileNameFromImagePath(imagePath, out, outCapacity);
}

int GetDriverFileName(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, WCHAR* out,
                      DWORD outCapacity) {
    if (out == nullptr || outCapacity == 0) {
        return 0;
    }
    lstrcpynW(out, kNotAvailableText, static_cast<int>(outCapacity));

    WCHAR serviceName[256] = {};
    WCHAR keyPath[512];
    WCHAR imagePath[1024];
    DWORD propertyType = 0;
    DWORD valueType = 0;
    DWORD size = sizeof(imagePath);

    if (!SetupDiGetDeviceRegistryPropertyW(deviceInfoSet, deviceInfoData, SPDRP_SERVICE,
                                           &propertyType, reinterpret_cast<BYTE*>(serviceName),
                                           sizeof(serviceName), nullptr)) {
        return 0;
    }
    // A name that filled the whole buffer arrives without its terminator.
    serviceName[ARRAYSIZE(serviceName) - 1] = 0;

    DWORD pathLength = 0;
    keyPath[0] = 0;
    TextAppend(keyPath, ARRAYSIZE(keyPath), &pathLength, L"SYSTEM\\CurrentControlSet\\Services\\");
    TextAppend(keyPath, ARRAYSIZE(keyPath), &pathLength, serviceName);

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    LONG status = RegQueryValueExW(key, L"ImagePath", nullptr, &valueType,
                                   reinterpret_cast<BYTE*>(imagePath), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) {
        return 0;
    }

    return FileNameFromImagePathData(imagePath, ARRAYSIZE(imagePath), size, out, outCapacity);
}
