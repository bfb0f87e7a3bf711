#include "ui/main_window.h"

#include <commctrl.h>

#include "inventory/device_types.h"
#include "report/export.h"
#include "res/resource_ids.h"
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

// One child control of the main window, as it is created; WM_SIZE places it afterwards.
struct ChildControl {
    const WCHAR* className;
    const WCHAR* text;
    DWORD style;
    int x;
    int y;
    int width;
    int height;
    int id;
    HWND* handle;
};

static const DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST;
static const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE;
static const DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL;
static const DWORD kDetailsStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY;

// The controls in creation order.
enum ChildSlot {
    kChildCategoryCombo,
    kChildExportButton,
    kChildAboutButton,
    kChildDeviceList,
    kChildDetailsEdit
};

static const ChildControl kChildControls[] = {
    {L"ComboBox", L"", kComboStyle, 10, 10, 300, 200, IDC_CATEGORY_COMBO, &g_categoryCombo},
    {L"Button", L"Exporter en .txt", kButtonStyle, 525, 10, 155, 25, IDC_EXPORT_BUTTON,
     &g_exportButton},
    {L"Button", L"\u00c0 propos", kButtonStyle, 690, 10, 85, 25, IDC_ABOUT_BUTTON, &g_aboutButton},
    {WC_LISTVIEWW, L"", kListStyle, 10, 45, 765, 300, IDC_DEVICE_LIST, &g_deviceList},
    {L"Edit", L"", kDetailsStyle, 10, 355, 765, 95, IDC_DETAILS_EDIT, &g_detailsEdit},
};

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

static void CreateChildControl(HWND parent, const ChildControl* control) {
    *control->handle = CreateWindowExW(
        0, control->className, control->text, control->style, control->x, control->y,
        control->width, control->height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->id)), nullptr, nullptr);
}

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

static void SetControlFonts() {
    // The stock font belongs to the system: it is used as is and never deleted.
    WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    HWND controls[] = {g_categoryCombo, g_deviceList, g_detailsEdit, g_exportButton, g_aboutButton};
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(controls)); ++i) {
        SendMessageW(controls[i], WM_SETFONT, font, TRUE);
    }
}

static void OnCreate(HWND window) {
    INITCOMMONCONTROLSEX commonControls = {};
    commonControls.dwSize = sizeof(commonControls);
    commonControls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&commonControls);

    CreateChildControl(window, &kChildControls[kChildCategoryCombo]);
    FillCategoryCombo();
    CreateChildControl(window, &kChildControls[kChildExportButton]);
    CreateChildControl(window, &kChildControls[kChildAboutButton]);
    CreateChildControl(window, &kChildControls[kChildDeviceList]);
    SetUpDeviceListColumns();
    CreateChildControl(window, &kChildControls[kChildDetailsEdit]);
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
                          ControlPlacement placements[kLayoutSlotCount]) {
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
    ControlPlacement placements[kLayoutSlotCount];
    ComputeControlLayout(clientWidth, clientHeight, placements);
    HWND controls[kLayoutSlotCount] = {};
    controls[kSlotCategoryCombo] = g_categoryCombo;
    controls[kSlotExportButton] = g_exportButton;
    controls[kSlotAboutButton] = g_aboutButton;
    controls[kSlotDeviceList] = g_deviceList;
    controls[kSlotDetailsEdit] = g_detailsEdit;
    for (int i = 0; i < kLayoutSlotCount; ++i) {
        SetWindowPos(controls[i], nullptr, placements[i].x, placements[i].y, placements[i].width,
                     placements[i].height, SWP_NOZORDER);
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
