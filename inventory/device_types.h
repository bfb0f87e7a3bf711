#pragma once

#include <windows.h>

// Capacity of every DeviceRecord field, in UTF-16 units including the terminating zero.
const DWORD kFieldCapacity = 512;
const int kDeviceCategoryCount = 7;

extern const WCHAR kUnknownText[];      // default device name
extern const WCHAR kNotAvailableText[]; // default of every other field

struct DeviceCategory {
    const WCHAR* label;
    const GUID* classGuid; // null: devices of every setup class
};

extern const DeviceCategory DeviceCategoryTable[kDeviceCategoryCount];

struct DeviceRecord {
    WCHAR name[kFieldCapacity];
    WCHAR hardwareId[kFieldCapacity];
    WCHAR manufacturer[kFieldCapacity];
    WCHAR driverFile[kFieldCapacity];
};

// True for 0 <= index < kDeviceCategoryCount.
bool IsValidCategoryIndex(int index);

// Puts the defaults back: "Inconnu" for the name, "N/A" elsewhere, zero units after each.
void ResetDeviceRecord(DeviceRecord* record);
