#pragma once

#include <windows.h>

// How writing the inventory file ended.
enum ExportOutcome {
    kExportWritten,      // complete report, closed without error
    kExportCannotCreate, // the file could not be opened for writing; nothing was written
    kExportNoDeviceSet,  // the system refused the device set; the file holds the mark only
    kExportWriteFailed,  // a write, the final flush or the close failed
};

// Writes the inventory report of every present device of every class to path, creating the
// file or emptying an existing one, and closes it on every path. *count is the number of
// devices written.
ExportOutcome WriteInventoryFile(const WCHAR* path, DWORD* count);

// Asks for a file name, writes the inventory of every present device to it and tells the user
// the outcome. Returns 1 when the report was written and closed without error, 0 otherwise.
int ExportDevicesToText(HWND ownerWindow);
