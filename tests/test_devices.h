#pragma once

// Devices and services made for a test in the private Wine prefix, and removed by the test
// that made them, so that every test sees a known set of devices.

#include <windows.h>
#include <setupapi.h>

struct TestDevice {
    HDEVINFO set;
    SP_DEVINFO_DATA data;
    WCHAR instanceId[200];
};

// Creates and registers ROOT\<name>\0000 in the given setup class, with no property set.
bool CreateTestDevice(const GUID* classGuid, const WCHAR* name, TestDevice* device);

// Stores a property exactly as given: text properties take their terminator in bytes.
bool SetTestDeviceProperty(TestDevice* device, DWORD property, const void* data, DWORD bytes);
bool SetTestDeviceText(TestDevice* device, DWORD property, const WCHAR* text);

// Removes the device from the system and releases its set.
void RemoveTestDevice(TestDevice* device);

// Writes HKLM\SYSTEM\CurrentControlSet\Services\<service> with an ImagePath value of the given
// type and bytes (no value when data is null).
bool WriteTestService(const WCHAR* service, DWORD type, const void* data, DWORD bytes);
void DeleteTestService(const WCHAR* service);

// Counts the devices a fresh set of present devices of every class holds right now.
DWORD CountPresentDevices(const GUID* classGuid);

// Removes devices left by an earlier run that stopped half way (names starting "HALVORAN_TEST").
void RemoveLeftoverTestDevices();

// A GUID of a setup class that no device of the system belongs to.
extern const GUID kTestEmptyClassGuid;
