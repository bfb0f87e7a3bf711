#pragma once

// What a process holds: its kernel handles and its windows, counted from outside its own
// bookkeeping (GetProcessHandleCount and GetGuiResources are stubs in Wine 8), for the soak test.

#include <windows.h>

// Returned by the counters when the system cannot tell.
const DWORD kNoCount = 0xffffffff;

// Kernel handles the process holds, counted in the system's handle table.
DWORD CountProcessHandles(DWORD processId);

// Windows of the process: top-level, message-only and all their descendants.
DWORD CountProcessWindows(DWORD processId);
