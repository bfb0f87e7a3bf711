#pragma once

#include <windows.h>
#include <setupapi.h>

#include "inventory/device_types.h"

// Called once per device, in enumeration order; the record is valid only during the call.
typedef void (*DeviceVisitProc)(void* context, DWORD position, const DeviceRecord* record);

// The set of present devices of one setup class, or of every class when classGuid is null.
// Returns INVALID_HANDLE_VALUE when the system refuses it (nothing to destroy then).
HDEVINFO OpenDeviceSet(const GUID* classGuid);

// Visits every device of the set, then destroys the set; returns the number visited.
// A refused set (INVALID_HANDLE_VALUE) is neither walked nor destroyed.
DWORD WalkDevices(HDEVINFO set, DeviceVisitProc visit, void* context);

// Resets the record, then reads the device's name, first hardware ID, manufacturer and driver file.
void ReadDeviceRecord(HDEVINFO set, PSP_DEVINFO_DATA deviceInfoData, DeviceRecord* record);

// The two device-set calls, replaceable so that tests can make the system refuse a set.
struct DeviceSetApi {
    HDEVINFO(WINAPI* getClassDevs)
    (const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags);
    BOOL(WINAPI* destroyInfoList)(HDEVINFO set);
};
extern DeviceSetApi g_deviceSetApi;
