#pragma once

// Realistic devices for the benchmark: names, vendors and identifiers taken from the PCI and
// USB ID databases, spread over the setup classes a real machine has, each with a
// manufacturer and a service whose ImagePath has one of the usual shapes.

#include <windows.h>

#include <string>
#include <vector>

struct PlannedDevice {
    const GUID* classGuid;
    std::wstring instanceId;
    std::wstring description;
    std::wstring friendlyName; // empty: the device has none
    std::wstring hardwareIds;  // REG_MULTI_SZ: each ID terminated, then an empty text
    std::wstring manufacturer;
    std::wstring service; // empty: the device has no service
};

struct PlannedService {
    std::wstring name;
    DWORD type;
    std::wstring imagePath;
};

// Plans count devices, the same ones on every run (fixed seed), and the services they use.
// Returns false when the ID databases cannot be read.
bool PlanDevices(DWORD count, std::vector<PlannedDevice>* devices,
                 std::vector<PlannedService>* services);

// Creates the planned devices and services in the current prefix. Services that already
// exist are left as they are. Returns the number of devices created.
DWORD CreatePlannedDevices(const std::vector<PlannedDevice>& devices,
                           const std::vector<PlannedService>& services);

// printf-style formatting into a wide string (up to 511 units).
std::wstring Format(const WCHAR* format, ...);
