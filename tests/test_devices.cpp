#include "test_devices.h"

#include <wchar.h>

const GUID kTestEmptyClassGuid = {
    0x8f1a3c52, 0x0d4e, 0x4b7a, {0x9c, 0x21, 0x5e, 0x77, 0x10, 0x42, 0xa3, 0x6b}};

bool CreateTestDevice(const GUID* classGuid, const WCHAR* name, TestDevice* device) {
    device->set = SetupDiCreateDeviceInfoList(classGuid, nullptr);
    if (device->set == INVALID_HANDLE_VALUE) {
        return false;
    }
    swprintf(device->instanceId, ARRAYSIZE(device->instanceId), L"ROOT\\%ls\\0000", name);
    device->data.cbSize = sizeof(device->data);
    if (!SetupDiCreateDeviceInfoW(device->set, device->instanceId, classGuid, nullptr, nullptr, 0,
                                  &device->data) ||
        !SetupDiRegisterDeviceInfo(device->set, &device->data, 0, nullptr, nullptr, nullptr)) {
        SetupDiDestroyDeviceInfoList(device->set);
        device->set = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

bool SetTestDeviceProperty(TestDevice* device, DWORD property, const void* data, DWORD bytes) {
    return SetupDiSetDeviceRegistryPropertyW(device->set, &device->data, property,
                                             static_cast<const BYTE*>(data), bytes) != FALSE;
}

bool SetTestDeviceText(TestDevice* device, DWORD property, const WCHAR* text) {
    return SetTestDeviceProperty(device, property, text,
                                 static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)));
}

void RemoveTestDevice(TestDevice* device) {
    if (device->set == INVALID_HANDLE_VALUE) {
        return;
    }
    SetupDiRemoveDevice(device->set, &device->data);
    SetupDiDestroyDeviceInfoList(device->set);
    device->set = INVALID_HANDLE_VALUE;
}

bool WriteTestService(const WCHAR* service, DWORD type, const void* data, DWORD bytes) {
    WCHAR path[300];
    swprintf(path, ARRAYSIZE(path), L"SYSTEM\\CurrentControlSet\\Services\\%ls", service);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = ERROR_SUCCESS;
    if (data != nullptr) {
        status = RegSetValueExW(key, L"ImagePath", 0, type, static_cast<const BYTE*>(data), bytes);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void DeleteTestService(const WCHAR* service) {
    WCHAR path[300];
    swprintf(path, ARRAYSIZE(path), L"SYSTEM\\CurrentControlSet\\Services\\%ls", service);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

DWORD CountPresentDevices(const GUID* classGuid) {
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr,
                                        DIGCF_PRESENT | (classGuid ? 0 : DIGCF_ALLCLASSES));
    if (set == INVALID_HANDLE_VALUE) {
        return 0;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    DWORD count = 0;
    while (SetupDiEnumDeviceInfo(set, count, &data)) {
        ++count;
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

void RemoveLeftoverTestDevices() {
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        WCHAR id[200];
        if (SetupDiGetDeviceInstanceIdW(set, &data, id, ARRAYSIZE(id), nullptr) &&
            _wcsnicmp(id, L"ROOT\\HALVORAN_TEST", 18) == 0) {
            SetupDiRemoveDevice(set, &data);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}
