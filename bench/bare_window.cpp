// The bare window: the program's own start-up and main window, with the system refusing every
// device set so that the list stays empty. The benchmark compares the program's start-up and
// memory with it.

#include <windows.h>

#include "inventory/device_enum.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showCommand);

static HDEVINFO WINAPI RefuseDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    return INVALID_HANDLE_VALUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    g_deviceSetApi.getClassDevs = RefuseDeviceSet;
    return wWinMain(instance, nullptr, GetCommandLineW(), showCommand);
}
