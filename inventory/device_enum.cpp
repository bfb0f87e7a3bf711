#include "inventory/device_enum.h"

#include "inventory/driver_file.h"

DeviceSetApi g_deviceSetApi = {SetupDiGetClassDevsW, SetupDiDestroyDeviceInfoList};

HDEVINFO OpenDeviceSet(const GUID* classGuid) {
    DWORD flags = DIGCF_PRESENT;
    if (classGuid == nullptr) {
        flags |= DIGCF_ALLCLASSES;
    }
    return g_deviceSetApi.getClassDevs(classGuid, nullptr, nullptr, flags);
}

// Reads one text property into field, which is changed only when the whole property fits:
// a property that is absent or too long leaves the field's default in place.
static BOOL ReadTextProperty(HDEVINFO set, PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                             WCHAR* field) {
    WCHAR scratch[kFieldCapacity] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, deviceInfoData, property, nullptr,
                                           reinterpret_cast<BYTE*>(scratch), sizeof(scratch),
                                           nullptr)) {
        return FALSE;
    }
    // A property that fills the field without its own terminator still ends inside it.
    scratch[kFieldCapacity - 1] = 0;
    for (DWORD i = 0; i < kFieldCapacity; ++i) {
        field[i] = scratch[i];
    }
    return TRUE;
}

void ReadDeviceRecord(HDEVINFO set, PSP_DEVINFO_DATA deviceInfoData, DeviceRecord* record) {
    ResetDeviceRecord(record);
    if (!ReadTextProperty(set, deviceInfoData, SPDRP_FRIENDLYNAME, record->name)) {
        ReadTextProperty(set, deviceInfoData, SPDRP_DEVICEDESC, record->name);
    }
    // The hardware IDs are a list of texts; the field shows its first entry.
    ReadTextProperty(set, deviceInfoData, SPDRP_HARDWAREID, record->hardwareId);
    ReadTextProperty(set, deviceInfoData, SPDRP_MFG, record->manufacturer);
    GetDriverFileName(set, deviceInfoData, record->driverFile, kFieldCapacity);
}

DWORD WalkDevices(HDEVINFO set, DeviceVisitProc visit, void* context) {
    if (set == INVALID_HANDLE_VALUE) {
        return 0;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    DeviceRecord record;
    DWORD index = 0;
    while (SetupDiEnumDeviceInfo(set, index, &data)) {
        ReadDeviceRecord(set, &data, &record);
        if (visit != nullptr) {
            visit(context, index, &record);
        }
        ++index;
    }
    g_deviceSetApi.destroyInfoList(set);
    return index;
}
