#pragma once

#include <windows.h>
#include <setupapi.h>

// Looks up the file name of the program that serves the device: its service's ImagePath in
// HKLM\SYSTEM\CurrentControlSet\Services, last path component only. Returns 1 with the name in
// out, or 0 with "N/A" in out (null out or capacity 0: 0, out untouched).
int GetDriverFileName(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, WCHAR* out,
                      DWORD outCapacity);

// Turns a terminated image path into the file name shown for it: keeps the text after the last
// backslash or slash, drops one closing double quote when more than that quote remains, and cuts
// the result to outCapacity - 1 units. Returns 0, leaving out untouched, when nothing remains.
int FileNameFromImagePath(const WCHAR* imagePath, WCHAR* out, DWORD outCapacity);

// The same for an image path read from the registry into a buffer of capacity units: the text
// ends after dataBytes bytes (a value stored without its terminator carries none; an odd last
// byte counts as one more unit whose high byte is zero), and never later than the buffer's last
// unit, which then gives way to the terminator.
int FileNameFromImagePathData(WCHAR* imagePath, DWORD capacity, DWORD dataBytes, WCHAR* out,
                              DWORD outCapacity);
