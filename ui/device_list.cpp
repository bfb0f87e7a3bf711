#include "ui/device_list.h"

#include "inventory/device_enum.h"
#include "inventory/device_types.h"
#include "inventory/text_format.h"
#include "ui/main_window.h"

const WCHAR kDetailsPrompt[] =
    L"S\u00e9lectionnez un p\u00e9riph\u00e9rique pour voir et copier les d\u00e9tails.";

// The detail text, in the order shown: each field after its label, one a line.
static const WCHAR kDetailsNameLabel[] = L"Nom du p\u00e9riph\u00e9rique : ";
static const WCHAR kDetailsHardwareIdLabel[] = L"\r\nID Mat\u00e9riel (Hardware ID) : ";
static const WCHAR kDetailsManufacturerLabel[] = L"\r\nFabricant (Vendor) : ";
static const WCHAR kDetailsDriverFileLabel[] = L"\r\nPilote associ\u00e9 : ";

// Adds one device as the last row of the list given as context: the name as the row's item,
// then the other three fields as its cells 1 to 3.
static void AppendDeviceRow(void* context, DWORD position, const DeviceRecord* record) {
    HWND list = static_cast<HWND>(context);
    int row = static_cast<int>(position);

    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = 0;
    item.pszText = const_cast<WCHAR*>(record->name);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

    const WCHAR* cells[] = {record->hardwareId, record->manufacturer, record->driverFile};
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(cells)); ++i) {
        LVITEMW cell = {};
        cell.iSubItem = i + 1;
        cell.pszText = const_cast<WCHAR*>(cells[i]);
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
    }
}

// Lists the category's devices in the emptied list; nothing for an invalid index or a refused
// set.
static void ListCategoryDevices(int index) {
    if (!IsValidCategoryIndex(index)) {
        return;
    }
    HDEVINFO set = OpenDeviceSet(DeviceCategoryTable[index].classGuid);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    // The walk destroys the set.
    WalkDevices(set, AppendDeviceRow, g_deviceList);
}

void FillDeviceList(int index) {
    // The list does not redraw itself row by row (its scroll bar would be drawn again at every
    // row past the first page); it is drawn once, whole, when the walk is over, whatever the
    // walk found.
    SendMessageW(g_deviceList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(g_deviceList, LVM_DELETEALLITEMS, 0, 0);
    SetWindowTextW(g_detailsEdit, kDetailsPrompt);
    ListCategoryDevices(index);
    SendMessageW(g_deviceList, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(g_deviceList, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void ShowDeviceDetails(const NMLISTVIEW* notification) {
    int row = notification->iItem;
    if (row < 0) {
        return;
    }
    // Cleared first, so that a cell the list cannot give back shows as an empty text.
    WCHAR cells[4][kCellCapacity];
    for (int i = 0; i < 4; ++i) {
        cells[i][0] = 0;
        LVITEMW item = {};
        item.iSubItem = i;
        item.pszText = cells[i];
        item.cchTextMax = ARRAYSIZE(cells[i]);
        SendMessageW(g_deviceList, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    WCHAR text[kDetailsCapacity];
    FormatDeviceDetails(cells[0], cells[1], cells[2], cells[3], text, ARRAYSIZE(text));
    SetWindowTextW(g_detailsEdit, text);
}

void FormatDeviceDetails(const WCHAR* name, const WCHAR* hardwareId, const WCHAR* manufacturer,
                         const WCHAR* driverFile, WCHAR* text, DWORD capacity) {
    DWORD length = 0;
    TextAppend(text, capacity, &length, kDetailsNameLabel);
    TextAppend(text, capacity, &length, name);
    TextAppend(text, capacity, &length, kDetailsHardwareIdLabel);
    TextAppend(text, capacity, &length, hardwareId);
    TextAppend(text, capacity, &length, kDetailsManufacturerLabel);
    TextAppend(text, capacity, &length, manufacturer);
    TextAppend(text, capacity, &length, kDetailsDriverFileLabel);
    TextAppend(text, capacity, &length, driverFile);
}
