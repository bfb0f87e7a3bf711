#pragma once

// The floor: the bare loop of the system calls the program makes for every device of a set (the
// set with the program's flags, enumeration, friendly name else description, hardware IDs,
// manufacturer, service, the service key's ImagePath) into buffers of the program's sizes, with
// no record, no list view and no file. The benchmark's baseline for the fill, the export and the
// start-up; the tests read the present devices through it, by rules of their own.

#include <windows.h>
#include <setupapi.h>

// The reads of a device in their order; the description only without a friendly name, the
// ImagePath only once the service is read (not ok when its key cannot be opened either).
enum FloorRead { kFriendlyName, kDescription, kHardwareIds, kManufacturer, kService, kImagePath };

// What one read returned: its success, the value's type and size in bytes, and the buffer.
struct FloorResult {
    FloorRead read;
    BOOL ok;
    DWORD type, bytes;
    const WCHAR* data;
};

typedef void (*FloorVisitProc)(void* context, const FloorResult* result);
const DWORD kFloorRefused = 0xffffffff; // the system refused the set

// Reads every device of the class (every class when null), handing each read to visit (by
// default, discarded); returns the number of devices.
void DiscardFloorRead(void* context, const FloorResult* result);
DWORD RunFloor(const GUID* classGuid, FloorVisitProc visit = DiscardFloorRead,
               void* context = nullptr);
