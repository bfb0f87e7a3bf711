#pragma once

// Identifiers of the program's resources and of its main window's controls, as #defines so
// that the resource compiler reads them too.

// The program's icon.
#define IDI_APP_ICON 101

// The main window's controls.
#define IDC_CATEGORY_COMBO 1001
#define IDC_DEVICE_LIST 1002
#define IDC_DETAILS_EDIT 1003
#define IDC_EXPORT_BUTTON 1004
#define IDC_ABOUT_BUTTON 1005
