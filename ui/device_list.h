#pragma once

#include <windows.h>
#include <commctrl.h>

// Capacity of the detail text, and of each cell text read back from the list, in UTF-16 units
// including the terminating zero.
const DWORD kDetailsCapacity = 2048;
const DWORD kCellCapacity = 512;

// What the detail pane shows until a row is selected.
extern const WCHAR kDetailsPrompt[];

// Empties the device list, puts the prompt in the detail pane, then lists every present device
// of the category at index, one row per device in enumeration order. An index outside the
// category table, or a device set the system refuses, leaves the list empty. The list does not
// redraw itself during the fill: it is repainted whole, frame included, once the rows are in.
void FillDeviceList(int index);

// Shows the four cells of the notification's row, labelled, in the detail pane. A cell that
// cannot be read shows as an empty text.
void ShowDeviceDetails(const NMLISTVIEW* notification);

// Writes the four labelled lines (no final line end) into text, cut to capacity - 1 units.
void FormatDeviceDetails(const WCHAR* name, const WCHAR* hardwareId, const WCHAR* manufacturer,
                         const WCHAR* driverFile, WCHAR* text, DWORD capacity);
