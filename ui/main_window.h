#pragma once

#include <windows.h>

#include "res/resource_ids.h"

// Outer size of the main window when it opens.
const int kMainWindowWidth = 800;
const int kMainWindowHeight = 500;

// Layout: outer margin, button sizes, top of the device list, height of the category selector
// with its list dropped down, height of the detail pane.
const int kMargin = 10;
const int kExportButtonWidth = 155;
const int kAboutButtonWidth = 85;
const int kButtonHeight = 25;
const int kListTop = 45;
const int kCategoryDropHeight = 200;
const int kDetailsHeight = 95;

extern const WCHAR kMainWindowClassName[];
extern const WCHAR kMainWindowTitle[];

// The five controls, created with the main window and alive until it is destroyed.
extern HWND g_categoryCombo;
extern HWND g_exportButton;
extern HWND g_aboutButton;
extern HWND g_deviceList;
extern HWND g_detailsEdit;

// Where one control goes, in the main window's client coordinates.
struct ControlPlacement {
    int x;
    int y;
    int width;
    int height;
};

// The five controls, in the order they are created and laid out.
enum ControlSlot {
    kSlotCategoryCombo,
    kSlotExportButton,
    kSlotAboutButton,
    kSlotDeviceList,
    kSlotDetailsEdit,
    kControlCount
};

// Computes the five controls' places for a client area of the given size. Widths and heights
// that the fixed parts of the layout would make negative (a tiny or minimized window) are zero.
void ComputeControlLayout(int clientWidth, int clientHeight,
                          ControlPlacement placements[kControlCount]);

// Moves the five controls to their places for a client area of the given size.
void LayoutControls(int clientWidth, int clientHeight);

// Registers the main window's class; returns its atom, or 0 when it is already registered.
ATOM RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window, hidden, with its controls and the device list filled.
HWND CreateMainWindow(HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
