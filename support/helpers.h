#pragma once

// What the tests and the benchmark both need around the program: the refused device set, a
// temporary path, the message pump, and the program started as a user starts it.

#include <windows.h>
#include <setupapi.h>

#include <string>

// A stand-in for SetupDiGetClassDevsW (in g_deviceSetApi): the system refuses every set.
HDEVINFO WINAPI RefuseDeviceSet(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags);

// A file of that name in the temporary folder.
std::wstring TempPath(const wchar_t* name);

// Dispatches this thread's pending messages; a quit message is dropped.
void PumpMessages();

// A program started as its own process, and its window.
struct StartedProgram {
    PROCESS_INFORMATION process;
    HWND window;         // its visible main window, once seen
    DWORD rowsWhenShown; // the rows of that list when the window was first seen visible
};

// Starts the program and waits until its window is visible and its list holds rows rows;
// false when that has not happened within timeoutMs, or the program ended first.
bool StartProgram(const wchar_t* path, const wchar_t* arguments, DWORD rows, DWORD timeoutMs,
                  StartedProgram* started);

// Closes the window as its close box does and waits for the program; returns its exit code, or
// kProgramKilled when it had to be ended after timeoutMs (or never started). Releases started.
const DWORD kProgramKilled = 0xffffffff;
DWORD CloseProgram(StartedProgram* started, DWORD timeoutMs);
