#include "ui/main_window.h"

#include <commctrl.h>

#include "inventory/device_types.h"
#include "report/export.h"
#include "ui/device_list.h"

const WCHAR kMainWindowClassName[] = L"HalvoranClass";
const WCHAR kMainWindowTitle[] = L"Halvoran";

static const WCHAR kAboutCaption[] = L"\u00c0 propos";
static const WCHAR kAboutText[] = L"Halvoran\r\n\r\n"
                                  L"Par l'\u00e9quipe Halvoran\r\n"
                                  L"https://halvoran.example";

HWND g_categoryCombo = nullptr;
HWND g_exportButton = nullptr;
HWND g_aboutButton = nullptr;
HWND g_deviceList = nullptr;
HWND g_detailsEdit = nullptr;

static const DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST;
static const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE;
static const DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL;
static const DWORD kDetailsStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY;

// The controls are created where the layout puts them in the client area of the window as it
// opens, except the selector, which starts narrower; the first WM_SIZE places them all.
static const int kCreationClientWidth = 785;
static const int kCreationClientHeight = 460;
static const int kCategoryCreationWidth = 300;

// The device list's columns: one per DeviceRecord field, in field order.
struct ListColumn {
    const WCHAR* header;
    int width;
};

static const ListColumn kDeviceListColumns[] = {
    {L"Nom du p\u00e9riph\u00e9rique", 260},
    {L"ID Mat\u00e9riel", 230},
    {L"Fabricant", 135},
    {L"Pilote (.sys)", 140},
};

static void FillCategoryCombo() {
    for (int i = 0; i < kDeviceCategoryCount; ++i) {
        SendMessageW(g_categoryCombo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(DeviceCategoryTable[i].label));
    }
    SendMessageW(g_categoryCombo, CB_SETCURSEL, 0, 0);
}

static void SetUpDeviceListColumns() {
    // Mask 0 replaces every extended style: grid lines and whole-row selection, nothing else.
    SendMessageW(g_deviceList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kDeviceListColumns)); ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = kDeviceListColumns[i].width;
        column.pszText = const_cast<WCHAR*>(kDeviceListColumns[i].header);
        SendMessageW(g_deviceList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

// One child control of the main window: how it is created, what it is given as soon as it
// exists, and its turn to get the font. Its row in the table is its slot in the layout.
struct ChildControl {
    const WCHAR* className;
    const WCHAR* text;
    DWORD style;
    int id;
    HWND* handle;
    void (*setUp)(); // null when the control needs nothing more
    int fontTurn;
};

// The controls in creation order, which is also the order the layout moves them.
static const ChildControl kChildControls[] = {
    {L"ComboBox", L"", kComboStyle, IDC_CATEGORY_COMBO, &g_categoryCombo, FillCategoryCombo, 0},
    {L"Button", L"Exporter en .txt", kButtonStyle, IDC_EXPORT_BUTTON, &g_exportButton, nullptr, 3},
    {L"Button", L"\u00c0 propos", kButtonStyle, IDC_ABOUT_BUTTON, &g_aboutButton, nullptr, 4},
    {WC_LISTVIEWW, L"", kListStyle, IDC_DEVICE_LIST, &g_deviceList, SetUpDeviceListColumns, 1},
    {L"Edit", L"", kDetailsStyle, IDC_DETAILS_EDIT, &g_detailsEdit, nullptr, 2},
};
static_assert(ARRAYSIZE(kChildControls) == kControlCount, "one row per layout slot");

static void CreateChildControls(HWND parent) {
    ControlPlacement places[kControlCount];
    ComputeControlLayout(kCreationClientWidth, kCreationClientHeight, places);
    places[kSlotCategoryCombo].width = kCategoryCreationWidth;
    for (int slot = 0; slot < kControlCount; ++slot) {
        const ChildControl& control = kChildControls[slot];
        *control.handle = CreateWindowExW(
            0, control.className, control.text, control.style, places[slot].x, places[slot].y,
            places[slot].width, places[slot].height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), nullptr, nullptr);
        if (control.setUp != nullptr) {
            control.setUp();
        }
    }
}

static void SetControlFonts() {
    // The stock font belongs to the system: it is used as is and never deleted.
    WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (int turn = 0; turn < kControlCount; ++turn) {
        for (const ChildControl& control : kChildControls) {
            if (control.fontTurn == turn) {
                SendMessageW(*control.handle, WM_SETFONT, font, TRUE);
            }
        }
    }
}

static void OnCreate(HWND window) {
    INITCOMMONCONTROLSEX commonControls = {};
    commonControls.dwSize = sizeof(commonControls);
    commonControls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&commonControls);

    CreateChildControls(window);
    SetControlFonts();

    // The window opens on every present device.
    FillDeviceList(0);
}

static void OnNotify(const NMHDR* header) {
    if (header->idFrom == IDC_DEVICE_LIST && header->code == LVN_ITEMCHANGED &&
        (reinterpret_cast<const NMLISTVIEW*>(header)->uNewState & LVIS_SELECTED) != 0) {
        ShowDeviceDetails(reinterpret_cast<const NMLISTVIEW*>(header));
    }
}

static void ShowAboutBox(HWND window) {
    MessageBoxW(window, kAboutText, kAboutCaption, MB_ICONINFORMATION);
}

static void OnCommand(HWND window, WPARAM wParam) {
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    if (id == IDC_CATEGORY_COMBO && code == CBN_SELCHANGE) {
        int index = static_cast<int>(SendMessageW(g_categoryCombo, CB_GETCURSEL, 0, 0));
        FillDeviceList(index);
    } else if (id == IDC_EXPORT_BUTTON && code == BN_CLICKED) {
        // The export tells the user its outcome itself.
        ExportDevicesToText(window);
    } else if (id == IDC_ABOUT_BUTTON && code == BN_CLICKED) {
        ShowAboutBox(window);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_SIZE:
        LayoutControls(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NOTIFY:
        OnNotify(reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(window, wParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

static int AtLeastZero(int value) {
    return value < 0 ? 0 : value;
}

void ComputeControlLayout(int clientWidth, int clientHeight,
                          ControlPlacement placements[kControlCount]) {
    int exportX = clientWidth - kExportButtonWidth - kAboutButtonWidth - 2 * kMargin;
    int aboutX = clientWidth - kAboutButtonWidth - kMargin;
    int comboWidth = clientWidth - kExportButtonWidth - kAboutButtonWidth - 4 * kMargin;
    int fullWidth = clientWidth - 2 * kMargin;
    int detailsY = clientHeight - kDetailsHeight - kMargin;
    int listHeight = detailsY - kMargin - kListTop;

    placements[kSlotCategoryCombo] = {kMargin, kMargin, AtLeastZero(comboWidth),
                                      kCategoryDropHeight};
    placements[kSlotExportButton] = {exportX, kMargin, kExportButtonWidth, kButtonHeight};
    placements[kSlotAboutButton] = {aboutX, kMargin, kAboutButtonWidth, kButtonHeight};
    placements[kSlotDeviceList] = {kMargin, kListTop, AtLeastZero(fullWidth),
                                   AtLeastZero(listHeight)};
    placements[kSlotDetailsEdit] = {kMargin, detailsY, AtLeastZero(fullWidth), kDetailsHeight};
}

void LayoutControls(int clientWidth, int clientHeight) {
    ControlPlacement placements[kControlCount];
    ComputeControlLayout(clientWidth, clientHeight, placements);
    for (int slot = 0; slot < kControlCount; ++slot) {
        SetWindowPos(*kChildControls[slot].handle, nullptr, placements[slot].x, placements[slot].y,
                     placements[slot].width, placements[slot].height, SWP_NOZORDER);
    }
}

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kMainWindowClassName;
    return RegisterClassW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance) {
    return CreateWindowExW(0, kMainWindowClassName, kMainWindowTitle, WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, kMainWindowWidth, kMainWindowHeight,
                           nullptr, nullptr, instance, nullptr);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    RegisterMainWindowClass(instance);
    HWND window = CreateMainWindow(instance);
    if (window == nullptr) {
        return 0;
    }
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
