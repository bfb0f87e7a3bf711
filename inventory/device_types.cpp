#include "inventory/device_types.h"

const WCHAR kUnknownText[] = L"Inconnu";
const WCHAR kNotAvailableText[] = L"N/A";

// Device setup class GUIDs, spelled out so that no class library is needed.
static const GUID kGuidDevClassNet = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kGuidDevClassDiskDrive = {
    0x4d36e967, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kGuidDevClassHdc = {
    0x4d36e96a, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kGuidDevClassDisplay = {
    0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const GUID kGuidDevClassUsb = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
static const GUID kGuidDevClassMedia = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

const DeviceCategory DeviceCategoryTable[kDeviceCategoryCount] = {
    {L"Tous les p\u00e9riph\u00e9riques (ALL)", nullptr},
    {L"Cartes R\u00e9seau (Network)", &kGuidDevClassNet},
    {L"Lecteurs de Disque (Storage)", &kGuidDevClassDiskDrive},
    {L"Contr\u00f4leurs IDE/SATA/AHCI", &kGuidDevClassHdc},
    {L"Cartes Graphiques (Display)", &kGuidDevClassDisplay},
    {L"Contr\u00f4leurs USB", &kGuidDevClassUsb},
    {L"Cartes Audio (Media)", &kGuidDevClassMedia},
};

bool IsValidCategoryIndex(int index) {
    return index >= 0 && index < kDeviceCategoryCount;
}

static void ResetField(WCHAR* field, const WCHAR* text) {
    DWORD i = 0;
    for (; i < kFieldCapacity - 1 && text[i] != 0; ++i) {
        field[i] = text[i];
    }
    for (; i < kFieldCapacity; ++i) {
        field[i] = 0;
    }
}

void ResetDeviceRecord(DeviceRecord* record) {
    ResetField(record->name, kUnknownText);
    ResetField(record->hardwareId, kNotAvailableText);
    ResetField(record->manufacturer, kNotAvailableText);
    ResetField(record->driverFile, kNotAvailableText);
}
