#pragma once

#include <windows.h>

// Asks for a file name, writes the inventory of every present device to it and tells the user
// the outcome. Returns 1 when the report was written and closed without error, 0 otherwise.
int ExportDevicesToText(HWND ownerWindow);
