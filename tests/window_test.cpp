// The main window as the user meets it: created for real in this process under Wine, with its
// controls asked through their own messages; the device list filled from devices this test
// creates; the About box read and closed while it is open; the built program's resources.

#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include <wchar.h>

#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>

#include "inventory/device_enum.h"
#include "test_devices.h"
#include "ui/device_list.h"
#include "ui/main_window.h"

namespace {

const GUID kGuidNet = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidDiskDrive = {
    0x4d36e967, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidHdc = {
    0x4d36e96a, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidDisplay = {
    0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidUsb = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kGuidMedia = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// What the selector shows, row by row, and the setup class each row lists.
struct CategoryCase {
    const wchar_t* label;
    const GUID* classGuid;
};
const CategoryCase kCategories[] = {
    {L"Tous les p\u00e9riph\u00e9riques (ALL)", nullptr},
    {L"Cartes R\u00e9seau (Network)", &kGuidNet},
    {L"Lecteurs de Disque (Storage)", &kGuidDiskDrive},
    {L"Contr\u00f4leurs IDE/SATA/AHCI", &kGuidHdc},
    {L"Cartes Graphiques (Display)", &kGuidDisplay},
    {L"Contr\u00f4leurs USB", &kGuidUsb},
    {L"Cartes Audio (Media)", &kGuidMedia},
};
const int kUsbRow = 5;

const wchar_t kPrompt[] =
    L"S\u00e9lectionnez un p\u00e9riph\u00e9rique pour voir et copier les d\u00e9tails.";
const wchar_t kSentinel[] = L"(texte mis par le test)";

// The fully described test device and the one left with every default.
const wchar_t kFullName[] = L"Contr\u00f4leur h\u00f4te USB \u03a9 Halvoran";
const wchar_t kFullHardwareIds[] = L"USB\\VID_1234&PID_ABCD&REV_0001\0USB\\VID_1234\0";
const wchar_t kFullFirstHardwareId[] = L"USB\\VID_1234&PID_ABCD&REV_0001";
const wchar_t kFullManufacturer[] = L"Soci\u00e9t\u00e9 d'essai (Test)";
const wchar_t kFullService[] = L"HalvoranTestWinSvc";
const wchar_t kFullImagePath[] = L"\\SystemRoot\\System32\\drivers\\halvusb.sys";
const wchar_t kFullDriverFile[] = L"halvusb.sys";
const wchar_t kFullDetails[] =
    L"Nom du p\u00e9riph\u00e9rique : Contr\u00f4leur h\u00f4te USB "
    L"\u03a9 Halvoran\r\n"
    L"ID Mat\u00e9riel (Hardware ID) : USB\\VID_1234&PID_ABCD&REV_0001\r\n"
    L"Fabricant (Vendor) : Soci\u00e9t\u00e9 d'essai (Test)\r\n"
    L"Pilote associ\u00e9 : halvusb.sys";
const wchar_t kDefaultDetails[] = L"Nom du p\u00e9riph\u00e9rique : Inconnu\r\n"
                                  L"ID Mat\u00e9riel (Hardware ID) : N/A\r\n"
                                  L"Fabricant (Vendor) : N/A\r\n"
                                  L"Pilote associ\u00e9 : N/A";

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring WindowText(HWND window) {
    std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

int RowCount() {
    return static_cast<int>(SendMessageW(g_deviceList, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring CellText(int row, int subItem) {
    wchar_t text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.pszText = text;
    item.cchTextMax = ARRAYSIZE(text);
    SendMessageW(g_deviceList, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void SetCellText(int row, int subItem, const std::wstring& text) {
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(g_deviceList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void SetRowSelected(int row, bool selected) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(g_deviceList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// A control's rectangle in its parent's client coordinates.
ControlPlacement PlacementOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The selector's height as it was placed: its selection field plus its dropped-down list.
int ComboPlacedHeight(HWND combo) {
    RECT dropped;
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    return PlacementOf(combo).height + (dropped.bottom - dropped.top);
}

std::string Describe(const ControlPlacement& p) {
    return std::to_string(p.x) + "," + std::to_string(p.y) + " " + std::to_string(p.width) + "x" +
           std::to_string(p.height);
}

// The names a direct enumeration of the class's present devices gives, in its order.
struct DirectDevice {
    std::wstring instanceId;
    std::wstring name;
};
std::vector<DirectDevice> EnumerateDirectly(const GUID* classGuid) {
    std::vector<DirectDevice> devices;
    HDEVINFO set = SetupDiGetClassDevsW(classGuid, nullptr, nullptr,
                                        DIGCF_PRESENT | (classGuid ? 0 : DIGCF_ALLCLASSES));
    if (set == INVALID_HANDLE_VALUE) {
        return devices;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        DirectDevice device;
        wchar_t text[512] = {};
        SetupDiGetDeviceInstanceIdW(set, &data, text, ARRAYSIZE(text), nullptr);
        device.instanceId = text;
        device.name = L"Inconnu";
        const DWORD properties[] = {SPDRP_FRIENDLYNAME, SPDRP_DEVICEDESC};
        for (DWORD property : properties) {
            wchar_t name[512] = {};
            if (SetupDiGetDeviceRegistryPropertyW(set, &data, property, nullptr,
                                                  reinterpret_cast<BYTE*>(name), sizeof(name),
                                                  nullptr)) {
                device.name = name;
                break;
            }
        }
        devices.push_back(device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

// Dialog boxes (message boxes, file dialogs) that open on this thread while a test runs: a
// thread timer, served by the box's own modal loop, records each one and closes it.
struct SeenDialog {
    HWND owner;
    std::wstring caption;
    std::wstring text;
    HICON icon;
};
std::vector<SeenDialog> g_seenDialogs;
std::set<HWND> g_closedDialogs;

BOOL CALLBACK ReadDialogControl(HWND control, LPARAM context) {
    SeenDialog* seen = reinterpret_cast<SeenDialog*>(context);
    if (ClassName(control) == L"Static") {
        if ((GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            seen->icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
        } else if (GetWindowTextLengthW(control) > 0) {
            seen->text = WindowText(control);
        }
    }
    return TRUE;
}

BOOL CALLBACK CloseDialogWindow(HWND window, LPARAM) {
    if (ClassName(window) == L"#32770" && IsWindowVisible(window) &&
        g_closedDialogs.insert(window).second) {
        SeenDialog seen = {GetWindow(window, GW_OWNER), WindowText(window), L"", nullptr};
        EnumChildWindows(window, ReadDialogControl, reinterpret_cast<LPARAM>(&seen));
        g_seenDialogs.push_back(seen);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

void CALLBACK CloseDialogsTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseDialogWindow, 0);
}

class DialogCloser {
  public:
    DialogCloser() {
        g_seenDialogs.clear();
        g_closedDialogs.clear();
        timer_ = SetTimer(nullptr, 0, 50, CloseDialogsTimer);
    }
    ~DialogCloser() {
        KillTimer(nullptr, timer_);
    }

  private:
    UINT_PTR timer_;
};

// Every test gets a fresh main window, hidden as CreateWindowExW leaves it; the devices it
// lists include two that the suite creates in the USB class.
class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RemoveLeftoverTestDevices();
        RegisterMainWindowClass(Instance());
        ASSERT_TRUE(CreateTestDevice(&kGuidUsb, L"HALVORAN_TEST_WINDOW_FULL", &full_));
        ASSERT_TRUE(SetTestDeviceText(&full_, SPDRP_FRIENDLYNAME, kFullName));
        ASSERT_TRUE(SetTestDeviceProperty(&full_, SPDRP_HARDWAREID, kFullHardwareIds,
                                          sizeof(kFullHardwareIds)));
        ASSERT_TRUE(SetTestDeviceText(&full_, SPDRP_MFG, kFullManufacturer));
        ASSERT_TRUE(SetTestDeviceText(&full_, SPDRP_SERVICE, kFullService));
        ASSERT_TRUE(
            WriteTestService(kFullService, REG_EXPAND_SZ, kFullImagePath, sizeof(kFullImagePath)));
        ASSERT_TRUE(CreateTestDevice(&kGuidUsb, L"HALVORAN_TEST_WINDOW_PLAIN", &plain_));
    }
    static void TearDownTestSuite() {
        RemoveTestDevice(&full_);
        RemoveTestDevice(&plain_);
        DeleteTestService(kFullService);
    }
    void SetUp() override {
        window_ = CreateMainWindow(Instance());
        ASSERT_NE(nullptr, window_);
    }
    void TearDown() override {
        DestroyWindow(window_);
        // Destroying the window posted the quit message; left queued it would end the next
        // modal loop at once.
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // Picks a category the way the selector does when the user changes it.
    void ChooseCategory(int row) {
        SendMessageW(g_categoryCombo, CB_SETCURSEL, row, 0);
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(g_categoryCombo));
    }

    // The row of the device with the given instance ID, from a direct enumeration of the USB
    // class (the list shows them in the same order).
    static int UsbRowOf(const TestDevice& device) {
        std::vector<DirectDevice> devices = EnumerateDirectly(&kGuidUsb);
        for (size_t i = 0; i < devices.size(); ++i) {
            if (_wcsicmp(devices[i].instanceId.c_str(), device.instanceId) == 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    LRESULT Notify(UINT_PTR id, UINT code, int item, UINT newState) {
        NMLISTVIEW notification = {};
        notification.hdr.hwndFrom = nullptr;
        notification.hdr.idFrom = id;
        notification.hdr.code = code;
        notification.iItem = item;
        notification.uNewState = newState;
        notification.uChanged = LVIF_STATE;
        return SendMessageW(window_, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&notification));
    }

    static TestDevice full_;
    static TestDevice plain_;
    HWND window_ = nullptr;
};

TestDevice MainWindowTest::full_ = {INVALID_HANDLE_VALUE, {}, {}};
TestDevice MainWindowTest::plain_ = {INVALID_HANDLE_VALUE, {}, {}};

// ---------------------------------------------------------------------------------------------
// The window and its controls as created

TEST_F(MainWindowTest, WindowClassTitleStyleAndSize) {
    EXPECT_EQ(L"HalvoranClass", ClassName(window_));
    EXPECT_EQ(L"Halvoran", WindowText(window_));
    // The platform adds WS_CLIPSIBLINGS to every overlapped window; it stays hidden until shown.
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS),
              GetWindowLongW(window_, GWL_STYLE));
    EXPECT_EQ(nullptr, GetMenu(window_));
    RECT rect;
    GetWindowRect(window_, &rect);
    EXPECT_EQ(800, rect.right - rect.left);
    EXPECT_EQ(500, rect.bottom - rect.top);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExW(Instance(), L"HalvoranClass", &windowClass));
    EXPECT_EQ(0u, windowClass.style);
    EXPECT_EQ(0, windowClass.cbClsExtra);
    EXPECT_EQ(0, windowClass.cbWndExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(6)), windowClass.hbrBackground);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), windowClass.hCursor);
    EXPECT_EQ(nullptr, windowClass.lpszMenuName);
}

TEST_F(MainWindowTest, ControlsInCreationOrder) {
    struct Expected {
        const wchar_t* className;
        int id;
        const wchar_t* text;
        LONG style;
        LONG changedByControl; // bits the control itself takes out or adds after creation
        ControlPlacement created;
    };
    const Expected kControls[] = {
        // The selector shows its selected row and hands WS_VSCROLL to its drop-down list,
        // which shows a scroll bar only when its rows need one.
        {L"ComboBox",
         1001,
         L"Tous les p\u00e9riph\u00e9riques (ALL)",
         0x50200003,
         WS_VSCROLL,
         {10, 10, 300, 0}},
        {L"Button", 1004, L"Exporter en .txt", 0x50000000, 0, {525, 10, 155, 25}},
        {L"Button", 1005, L"\u00c0 propos", 0x50000000, 0, {690, 10, 85, 25}},
        // The list shows the scroll bars its columns need.
        {L"SysListView32", 1002, L"", 0x50800005, WS_HSCROLL | WS_VSCROLL, {10, 45, 765, 300}},
        // The edit control draws WS_BORDER itself and scrolls as the caret moves.
        {L"Edit", 1003, L"", 0x50A00804, WS_BORDER | ES_AUTOVSCROLL, {10, 355, 765, 95}},
    };
    std::vector<HWND> children;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    ASSERT_EQ(ARRAYSIZE(kControls), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const Expected& e = kControls[i];
        HWND child = children[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << e.id);
        EXPECT_EQ(e.className, ClassName(child));
        EXPECT_EQ(e.id, GetDlgCtrlID(child));
        if (e.id != IDC_DETAILS_EDIT) {
            EXPECT_EQ(e.text, WindowText(child));
        }
        LONG style = GetWindowLongW(child, GWL_STYLE);
        EXPECT_EQ(e.style & ~e.changedByControl, style & ~e.changedByControl) << std::hex << style;
        EXPECT_EQ(0, GetWindowLongW(child, GWL_EXSTYLE));
        // The first WM_SIZE comes with ShowWindow: until then the creation rectangles hold.
        ControlPlacement p = PlacementOf(child);
        EXPECT_EQ(e.created.x, p.x);
        EXPECT_EQ(e.created.y, p.y);
        EXPECT_EQ(e.created.width, p.width);
        if (e.id != IDC_CATEGORY_COMBO) { // its field's height follows from the font
            EXPECT_EQ(e.created.height, p.height);
        }
    }
    EXPECT_EQ(g_categoryCombo, children[0]);
    EXPECT_EQ(g_exportButton, children[1]);
    EXPECT_EQ(g_aboutButton, children[2]);
    EXPECT_EQ(g_deviceList, children[3]);
    EXPECT_EQ(g_detailsEdit, children[4]);

    // Plain push buttons; the pane wraps its lines (no horizontal scrolling) and is read-only.
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(g_exportButton, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(g_aboutButton, GWL_STYLE) & BS_TYPEMASK);
    LONG details = GetWindowLongW(g_detailsEdit, GWL_STYLE);
    EXPECT_EQ(0, details & (ES_AUTOHSCROLL | WS_HSCROLL));
    EXPECT_NE(0, details & ES_READONLY);
    // Nobody takes the keyboard focus.
    EXPECT_EQ(nullptr, GetFocus());
}

TEST_F(MainWindowTest, SelectorHoldsTheSevenCategoriesWithTheFirstSelected) {
    ASSERT_EQ(7, SendMessageW(g_categoryCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        wchar_t label[128] = {};
        ASSERT_LT(SendMessageW(g_categoryCombo, CB_GETLBTEXTLEN, i, 0), 128);
        SendMessageW(g_categoryCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(label));
        EXPECT_EQ(std::wstring(kCategories[i].label), label);
    }
    EXPECT_EQ(0, SendMessageW(g_categoryCombo, CB_GETCURSEL, 0, 0));
}

TEST_F(MainWindowTest, ListStylesAndColumns) {
    EXPECT_EQ(0x21, SendMessageW(g_deviceList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    struct Column {
        const wchar_t* header;
        int width;
    };
    const Column kColumns[] = {
        {L"Nom du p\u00e9riph\u00e9rique", 260},
        {L"ID Mat\u00e9riel", 230},
        {L"Fabricant", 135},
        {L"Pilote (.sys)", 140},
    };
    HWND header = reinterpret_cast<HWND>(SendMessageW(g_deviceList, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(4, SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "column " << i);
        wchar_t text[128] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = ARRAYSIZE(text);
        ASSERT_TRUE(
            SendMessageW(g_deviceList, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(std::wstring(kColumns[i].header), text);
        EXPECT_EQ(kColumns[i].width, column.cx);
    }
}

TEST_F(MainWindowTest, EveryControlUsesTheStockGuiFont) {
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    HWND controls[] = {g_categoryCombo, g_exportButton, g_aboutButton, g_deviceList, g_detailsEdit};
    for (HWND control : controls) {
        SCOPED_TRACE(testing::Message() << "id " << GetDlgCtrlID(control));
        EXPECT_EQ(reinterpret_cast<LRESULT>(stock), SendMessageW(control, WM_GETFONT, 0, 0));
    }
}

// ---------------------------------------------------------------------------------------------
// Layout

std::string Describe(const ControlPlacement placements[kLayoutSlotCount]) {
    std::string text;
    for (int i = 0; i < kLayoutSlotCount; ++i) {
        text += (i ? " | " : "") + Describe(placements[i]);
    }
    return text;
}

TEST(LayoutTest, ComputedPlacements) {
    struct Case {
        int width;
        int height;
        const char* expected; // selector | export | About | list | pane
    };
    const Case kCases[] = {
        // The client area the creation rectangles were drawn for.
        {785, 460, "10,10 505x200 | 525,10 155x25 | 690,10 85x25 | 10,45 765x300 | 10,355 765x95"},
        {1000, 600, "10,10 720x200 | 740,10 155x25 | 905,10 85x25 | 10,45 980x440 | 10,495 980x95"},
        // Exactly the fixed parts: the selector and the list shrink to nothing.
        {280, 160, "10,10 0x200 | 20,10 155x25 | 185,10 85x25 | 10,45 260x0 | 10,55 260x95"},
        // Smaller than the fixed parts: sizes stop at zero, positions go where they fall.
        {100, 50, "10,10 0x200 | -160,10 155x25 | 5,10 85x25 | 10,45 80x0 | 10,-55 80x95"},
        // A minimized window reports 0 x 0.
        {0, 0, "10,10 0x200 | -260,10 155x25 | -95,10 85x25 | 10,45 0x0 | 10,-105 0x95"},
        // The largest size WM_SIZE can carry.
        {65535, 65535,
         "10,10 65255x200 | 65275,10 155x25 | 65440,10 85x25 | 10,45 65515x65375 | "
         "10,65430 65515x95"},
    };
    for (const Case& c : kCases) {
        ControlPlacement placements[kLayoutSlotCount];
        ComputeControlLayout(c.width, c.height, placements);
        EXPECT_EQ(c.expected, Describe(placements)) << c.width << "x" << c.height;
    }
}

// Checks the real controls against the computed layout and against the rules the user sees.
void ExpectLaidOut(int clientWidth, int clientHeight) {
    ControlPlacement computed[kLayoutSlotCount];
    ComputeControlLayout(clientWidth, clientHeight, computed);
    HWND controls[kLayoutSlotCount] = {g_categoryCombo, g_exportButton, g_aboutButton, g_deviceList,
                                       g_detailsEdit};
    ControlPlacement real[kLayoutSlotCount];
    for (int i = 0; i < kLayoutSlotCount; ++i) {
        real[i] = PlacementOf(controls[i]);
    }
    real[kSlotCategoryCombo].height = ComboPlacedHeight(g_categoryCombo);
    EXPECT_EQ(Describe(computed), Describe(real)) << clientWidth << "x" << clientHeight;
    SCOPED_TRACE(testing::Message() << clientWidth << "x" << clientHeight);
    if (clientWidth < 280 || clientHeight < 160) {
        return; // the rules below hold only where everything fits
    }
    const ControlPlacement& combo = real[kSlotCategoryCombo];
    const ControlPlacement& exportButton = real[kSlotExportButton];
    const ControlPlacement& about = real[kSlotAboutButton];
    const ControlPlacement& list = real[kSlotDeviceList];
    const ControlPlacement& pane = real[kSlotDetailsEdit];
    EXPECT_EQ(clientWidth - 10, about.x + about.width);
    EXPECT_EQ(about.x - 10, exportButton.x + exportButton.width);
    EXPECT_EQ(exportButton.x - 10, combo.x + combo.width);
    EXPECT_EQ(155, exportButton.width);
    EXPECT_EQ(25, exportButton.height);
    EXPECT_EQ(85, about.width);
    EXPECT_EQ(25, about.height);
    EXPECT_EQ(clientWidth - 20, list.width);
    EXPECT_EQ(clientWidth - 20, pane.width);
    EXPECT_EQ(95, pane.height);
    EXPECT_EQ(clientHeight - 10, pane.y + pane.height);
    EXPECT_EQ(pane.y - 10, list.y + list.height);
    EXPECT_EQ(45, list.y);
}

TEST_F(MainWindowTest, ShownWindowLaysOutItsControlsAndFollowsResizing) {
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    RECT client;
    GetClientRect(window_, &client);
    // The frame and caption take their share of the 800 x 500 window.
    EXPECT_LT(client.right, 800);
    EXPECT_LT(client.bottom, 500);
    ExpectLaidOut(client.right, client.bottom);

    const SIZE kOuterSizes[] = {{1100, 700}, {560, 330}, {800, 500}};
    for (const SIZE& size : kOuterSizes) {
        SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(window_, &client);
        ExpectLaidOut(client.right, client.bottom);
    }
    // Resizing does not touch the columns.
    EXPECT_EQ(260, SendMessageW(g_deviceList, LVM_GETCOLUMNWIDTH, 0, 0));
}

TEST_F(MainWindowTest, TinyAndMinimizedClientAreas) {
    const SIZE kClientSizes[] = {{0, 0}, {100, 50}, {280, 160}, {279, 159}};
    for (const SIZE& size : kClientSizes) {
        EXPECT_EQ(0, SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(size.cx, size.cy)));
        ExpectLaidOut(size.cx, size.cy);
    }
    // The size type is not looked at: a minimized window's 0 x 0 lays out the same way.
    SendMessageW(window_, WM_SIZE, SIZE_MINIMIZED, 0);
    ExpectLaidOut(0, 0);
    EXPECT_EQ(0, PlacementOf(g_deviceList).width);
    EXPECT_EQ(0, PlacementOf(g_deviceList).height);
    EXPECT_EQ(-105, PlacementOf(g_detailsEdit).y);
}

// ---------------------------------------------------------------------------------------------
// Filling the list

TEST_F(MainWindowTest, OpensListingEveryPresentDeviceWithThePrompt) {
    std::vector<DirectDevice> devices = EnumerateDirectly(nullptr);
    ASSERT_EQ(CountPresentDevices(nullptr), devices.size());
    ASSERT_EQ(static_cast<int>(devices.size()), RowCount());
    for (size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].name, CellText(static_cast<int>(i), 0)) << "row " << i;
    }
    EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));
    // No row is selected after a fill.
    EXPECT_EQ(-1, SendMessageW(g_deviceList, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

TEST_F(MainWindowTest, EachCategoryChangeRefillsTheList) {
    // From the last row back to the first, so that every change is a real change.
    for (int row = 6; row >= 0; --row) {
        SCOPED_TRACE(testing::Message() << "category " << row);
        SetWindowTextW(g_detailsEdit, kSentinel);
        ChooseCategory(row);
        std::vector<DirectDevice> devices = EnumerateDirectly(kCategories[row].classGuid);
        ASSERT_EQ(CountPresentDevices(kCategories[row].classGuid), devices.size());
        ASSERT_EQ(static_cast<int>(devices.size()), RowCount());
        for (size_t i = 0; i < devices.size(); ++i) {
            EXPECT_EQ(devices[i].name, CellText(static_cast<int>(i), 0)) << "row " << i;
        }
        EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));
    }
}

TEST_F(MainWindowTest, RowsHoldTheFourFieldsOfEachDevice) {
    ChooseCategory(kUsbRow);
    int full = UsbRowOf(full_);
    int plain = UsbRowOf(plain_);
    ASSERT_GE(full, 0);
    ASSERT_GE(plain, 0);
    struct Row {
        int row;
        const wchar_t* cells[4];
    };
    const Row kRows[] = {
        {full, {kFullName, kFullFirstHardwareId, kFullManufacturer, kFullDriverFile}},
        {plain, {L"Inconnu", L"N/A", L"N/A", L"N/A"}},
    };
    for (const Row& r : kRows) {
        for (int cell = 0; cell < 4; ++cell) {
            SCOPED_TRACE(testing::Message() << "row " << r.row << " cell " << cell);
            EXPECT_EQ(std::wstring(r.cells[cell]), CellText(r.row, cell));
        }
    }
}

TEST_F(MainWindowTest, InvalidCategoryLeavesTheListEmptyWithThePrompt) {
    ASSERT_GT(RowCount(), 0);
    // No current row in the selector: -1 through the real path.
    SetWindowTextW(g_detailsEdit, kSentinel);
    ChooseCategory(-1);
    EXPECT_EQ(-1, SendMessageW(g_categoryCombo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(0, RowCount());
    EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));

    const int kIndexes[] = {7, 8, -2, 0x7fffffff, -0x7fffffff - 1};
    for (int index : kIndexes) {
        SCOPED_TRACE(testing::Message() << "index " << index);
        FillDeviceList(0);
        ASSERT_GT(RowCount(), 0);
        SetWindowTextW(g_detailsEdit, kSentinel);
        FillDeviceList(index);
        EXPECT_EQ(0, RowCount());
        EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));
    }
}

HDEVINFO WINAPI RefuseDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    return INVALID_HANDLE_VALUE;
}

TEST_F(MainWindowTest, RefusedDeviceSetLeavesTheListEmptyWithThePrompt) {
    ASSERT_GT(RowCount(), 0);
    SetWindowTextW(g_detailsEdit, kSentinel);
    DeviceSetApi saved = g_deviceSetApi;
    g_deviceSetApi.getClassDevs = RefuseDeviceSet;
    ChooseCategory(kUsbRow);
    g_deviceSetApi = saved;
    EXPECT_EQ(0, RowCount());
    EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));
}

// ---------------------------------------------------------------------------------------------
// Dispatch of notifications and commands

TEST_F(MainWindowTest, SelectingARowShowsItsDetails) {
    ChooseCategory(kUsbRow);
    int full = UsbRowOf(full_);
    int plain = UsbRowOf(plain_);
    ASSERT_GE(full, 0);
    ASSERT_GE(plain, 0);

    // The list itself reports the selection.
    SetRowSelected(full, true);
    EXPECT_EQ(kFullDetails, WindowText(g_detailsEdit));
    SetRowSelected(plain, true);
    EXPECT_EQ(kDefaultDetails, WindowText(g_detailsEdit));
    // Removing the selection keeps the last details.
    SetRowSelected(plain, false);
    EXPECT_EQ(-1, SendMessageW(g_deviceList, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    EXPECT_EQ(kDefaultDetails, WindowText(g_detailsEdit));
    // The next fill brings the prompt back.
    ChooseCategory(kUsbRow);
    EXPECT_EQ(kPrompt, WindowText(g_detailsEdit));
}

TEST_F(MainWindowTest, OnlyASelectedItemChangeFromTheListShowsDetails) {
    ChooseCategory(kUsbRow);
    int full = UsbRowOf(full_);
    int plain = UsbRowOf(plain_);
    ASSERT_GE(full, 0);
    ASSERT_GE(plain, 0);
    const int kMissingRow = 100000;
    // A row the list cannot give back shows empty texts under the labels.
    const wchar_t kEmptyDetails[] = L"Nom du p\u00e9riph\u00e9rique : \r\n"
                                    L"ID Mat\u00e9riel (Hardware ID) : \r\n"
                                    L"Fabricant (Vendor) : \r\n"
                                    L"Pilote associ\u00e9 : ";
    struct Case {
        const char* what;
        UINT_PTR id;
        UINT code;
        int item;
        UINT newState;
        const wchar_t* expected; // null: the pane keeps its text
    };
    const Case kCases[] = {
        {"selected", IDC_DEVICE_LIST, LVN_ITEMCHANGED, full, LVIS_SELECTED, kFullDetails},
        {"selected and focused", IDC_DEVICE_LIST, LVN_ITEMCHANGED, plain,
         LVIS_SELECTED | LVIS_FOCUSED, kDefaultDetails},
        {"focused only", IDC_DEVICE_LIST, LVN_ITEMCHANGED, full, LVIS_FOCUSED, nullptr},
        {"no state", IDC_DEVICE_LIST, LVN_ITEMCHANGED, full, 0, nullptr},
        {"other sender", IDC_DETAILS_EDIT, LVN_ITEMCHANGED, full, LVIS_SELECTED, nullptr},
        {"selector as sender", IDC_CATEGORY_COMBO, LVN_ITEMCHANGED, full, LVIS_SELECTED, nullptr},
        {"item changing", IDC_DEVICE_LIST, LVN_ITEMCHANGING, full, LVIS_SELECTED, nullptr},
        {"click", IDC_DEVICE_LIST, NM_CLICK, full, LVIS_SELECTED, nullptr},
        {"no item", IDC_DEVICE_LIST, LVN_ITEMCHANGED, -1, LVIS_SELECTED, nullptr},
        {"missing row", IDC_DEVICE_LIST, LVN_ITEMCHANGED, kMissingRow, LVIS_SELECTED,
         kEmptyDetails},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        SetWindowTextW(g_detailsEdit, kSentinel);
        EXPECT_EQ(0, Notify(c.id, c.code, c.item, c.newState));
        EXPECT_EQ(c.expected ? c.expected : kSentinel, WindowText(g_detailsEdit));
    }
    // The same selection reported again redoes the same text.
    Notify(IDC_DEVICE_LIST, LVN_ITEMCHANGED, full, LVIS_SELECTED);
    Notify(IDC_DEVICE_LIST, LVN_ITEMCHANGED, full, LVIS_SELECTED);
    EXPECT_EQ(kFullDetails, WindowText(g_detailsEdit));
}

TEST_F(MainWindowTest, OtherCommandsChangeNothing) {
    DialogCloser closer;
    // The USB category is chosen in the selector but not yet reported: a command taken for
    // a selection change would refill the list with it and bring the prompt back.
    int rows = RowCount();
    ASSERT_NE(static_cast<DWORD>(rows), CountPresentDevices(&kGuidUsb));
    SendMessageW(g_categoryCombo, CB_SETCURSEL, kUsbRow, 0);
    struct Case {
        int id;
        int code;
    };
    const Case kCases[] = {
        {IDC_CATEGORY_COMBO, CBN_DROPDOWN},
        {IDC_CATEGORY_COMBO, CBN_CLOSEUP},
        {IDC_CATEGORY_COMBO, CBN_SELENDOK},
        {IDC_CATEGORY_COMBO, 0},
        {IDC_DEVICE_LIST, CBN_SELCHANGE},
        {IDC_DETAILS_EDIT, CBN_SELCHANGE},
        {IDC_DETAILS_EDIT, EN_CHANGE},
        {IDC_EXPORT_BUTTON, CBN_SELCHANGE},
        {IDC_EXPORT_BUTTON, BN_DOUBLECLICKED},
        {IDC_ABOUT_BUTTON, CBN_SELCHANGE},
        {IDC_ABOUT_BUTTON, BN_SETFOCUS},
        {1000, BN_CLICKED},
        {1006, BN_CLICKED},
        {0, CBN_SELCHANGE},
        {0xffff, CBN_SELCHANGE},
        {IDC_ABOUT_BUTTON + 0x100, BN_CLICKED},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " code " << c.code);
        SetWindowTextW(g_detailsEdit, kSentinel);
        EXPECT_EQ(0, SendMessageW(window_, WM_COMMAND, MAKEWPARAM(c.id, c.code),
                                  reinterpret_cast<LPARAM>(g_categoryCombo)));
        EXPECT_EQ(rows, RowCount());
        EXPECT_EQ(kSentinel, WindowText(g_detailsEdit));
        EXPECT_EQ(kUsbRow, SendMessageW(g_categoryCombo, CB_GETCURSEL, 0, 0));
    }
    EXPECT_TRUE(g_seenDialogs.empty()) << g_seenDialogs.size() << " dialog(s) opened";
}

TEST_F(MainWindowTest, ExportCommandLeavesTheWindowAsItWas) {
    DialogCloser closer;
    int rows = RowCount();
    SetWindowTextW(g_detailsEdit, kSentinel);
    EXPECT_EQ(0, SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_EXPORT_BUTTON, BN_CLICKED),
                              reinterpret_cast<LPARAM>(g_exportButton)));
    EXPECT_EQ(rows, RowCount());
    EXPECT_EQ(kSentinel, WindowText(g_detailsEdit));
    // Whatever the export asks or tells, it does so in boxes owned by the main window.
    for (const SeenDialog& seen : g_seenDialogs) {
        EXPECT_EQ(window_, seen.owner);
    }
}

TEST_F(MainWindowTest, AboutButtonShowsTheAboutBox) {
    DialogCloser closer;
    SendMessageW(g_aboutButton, BM_CLICK, 0, 0);
    ASSERT_EQ(1u, g_seenDialogs.size());
    const SeenDialog& box = g_seenDialogs[0];
    EXPECT_EQ(window_, box.owner);
    EXPECT_EQ(L"\u00c0 propos", box.caption);
    EXPECT_EQ(LoadIconW(nullptr, IDI_INFORMATION), box.icon);
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = box.text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(box.text.substr(start, end - start));
    }
    lines.push_back(box.text.substr(start));
    ASSERT_EQ(4u, lines.size()) << testing::PrintToString(box.text);
    EXPECT_EQ(L"Halvoran", lines[0]);
    EXPECT_EQ(L"", lines[1]);
    EXPECT_FALSE(lines[2].empty());
    EXPECT_FALSE(lines[3].empty());
    for (const std::wstring& line : lines) {
        EXPECT_EQ(std::wstring::npos, line.find_first_of(L"\r\n")) << "lone CR or LF";
    }
}

// ---------------------------------------------------------------------------------------------
// The detail text

std::wstring Format(const std::wstring& name, const std::wstring& hardwareId,
                    const std::wstring& manufacturer, const std::wstring& driverFile) {
    wchar_t text[kDetailsCapacity + 8];
    std::fill(text, text + ARRAYSIZE(text), L'#');
    FormatDeviceDetails(name.c_str(), hardwareId.c_str(), manufacturer.c_str(), driverFile.c_str(),
                        text, 2048);
    // Nothing is written past the 2048 units.
    for (size_t i = 2048; i < ARRAYSIZE(text); ++i) {
        EXPECT_EQ(L'#', text[i]) << "unit " << i;
    }
    return text;
}

std::wstring Labelled(const std::wstring& name, const std::wstring& hardwareId,
                      const std::wstring& manufacturer, const std::wstring& driverFile) {
    return L"Nom du p\u00e9riph\u00e9rique : " + name + L"\r\nID Mat\u00e9riel (Hardware ID) : " +
           hardwareId + L"\r\nFabricant (Vendor) : " + manufacturer +
           L"\r\nPilote associ\u00e9 : " + driverFile;
}

TEST(DetailTextTest, FourLabelledLines) {
    const std::wstring k511(511, L'x');
    const std::wstring kSurrogates = std::wstring(255, L'\u00e9') + L"\U0001F5A5";
    struct Case {
        const char* what;
        std::wstring name, hardwareId, manufacturer, driverFile;
        std::wstring expected;
    };
    const Case kCases[] = {
        {"defaults", L"Inconnu", L"N/A", L"N/A", L"N/A", kDefaultDetails},
        {"full device", kFullName, kFullFirstHardwareId, kFullManufacturer, kFullDriverFile,
         kFullDetails},
        {"empty texts", L"", L"", L"", L"",
         L"Nom du p\u00e9riph\u00e9rique : \r\nID Mat\u00e9riel (Hardware ID) : \r\n"
         L"Fabricant (Vendor) : \r\nPilote associ\u00e9 : "},
        {"texts with percent signs", L"%s %ls", L"%d", L"%%", L"%n",
         Labelled(L"%s %ls", L"%d", L"%%", L"%n")},
        // 4 x 511 units and the labels make more than 2047 units: the first 2047 stay.
        {"four full cells", k511, k511, k511, k511,
         Labelled(k511, k511, k511, k511).substr(0, 2047)},
        {"cut inside a surrogate pair", kSurrogates + std::wstring(255, L'a'), k511, k511,
         std::wstring(511, L'z'),
         Labelled(kSurrogates + std::wstring(255, L'a'), k511, k511, std::wstring(511, L'z'))
             .substr(0, 2047)},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::wstring text = Format(c.name, c.hardwareId, c.manufacturer, c.driverFile);
        EXPECT_EQ(c.expected.size(), text.size());
        EXPECT_EQ(c.expected, text);
    }
    // The details name the fields more fully than the column headers do.
    std::wstring defaults = Format(L"Inconnu", L"N/A", L"N/A", L"N/A");
    EXPECT_NE(std::wstring::npos, defaults.find(L"\r\nID Mat\u00e9riel (Hardware ID) : N/A\r\n"));
    EXPECT_NE(std::wstring::npos, defaults.find(L"\r\nFabricant (Vendor) : N/A\r\n"));
}

TEST_F(MainWindowTest, PaneShowsLongCellsCut) {
    ChooseCategory(kUsbRow);
    int row = UsbRowOf(full_);
    ASSERT_GE(row, 0);
    const std::wstring cells[4] = {std::wstring(511, L'N'), std::wstring(511, L'H'),
                                   std::wstring(511, L'M'), std::wstring(511, L'D')};
    for (int i = 0; i < 4; ++i) {
        SetCellText(row, i, cells[i]);
    }
    SetRowSelected(row, true);
    std::wstring expected = Labelled(cells[0], cells[1], cells[2], cells[3]).substr(0, 2047);
    EXPECT_EQ(expected, WindowText(g_detailsEdit));

    // A cell longer than 511 units is read back cut to 511.
    SetRowSelected(row, false);
    SetCellText(row, 0, std::wstring(600, L'L'));
    SetCellText(row, 1, L"court");
    SetRowSelected(row, true);
    std::wstring text = WindowText(g_detailsEdit);
    EXPECT_EQ(Labelled(std::wstring(511, L'L'), L"court", cells[2], cells[3]).substr(0, 2047),
              text);
}

// ---------------------------------------------------------------------------------------------
// The built program's resources

struct ResourceNames {
    std::vector<std::wstring> names;
};

std::wstring ResourceName(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) {
        return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    }
    return name;
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR context) {
    reinterpret_cast<ResourceNames*>(context)->names.push_back(ResourceName(type));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    reinterpret_cast<ResourceNames*>(context)->names.push_back(ResourceName(name));
    return TRUE;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct GroupIconDir {
    WORD reserved;
    WORD type;
    WORD count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

DWORD BigEndian32(const BYTE* bytes) {
    return (DWORD(bytes[0]) << 24) | (DWORD(bytes[1]) << 16) | (DWORD(bytes[2]) << 8) | bytes[3];
}

TEST(ProgramResourcesTest, OnlyOneIconGroupWithOne256PixelImage) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"HALVORAN_EXE", path, ARRAYSIZE(path)), 0u)
        << "HALVORAN_EXE names the built program";
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << GetLastError();

    ResourceNames types;
    EnumResourceTypesW(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
    std::sort(types.names.begin(), types.names.end());
    // RT_ICON (3) holds the image, RT_GROUP_ICON (14) the group; nothing else.
    EXPECT_EQ((std::vector<std::wstring>{L"#14", L"#3"}), types.names);

    ResourceNames groups;
    EnumResourceNamesW(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(std::vector<std::wstring>{L"#101"}, groups.names);

    HRSRC groupInfo = FindResourceW(module, MAKEINTRESOURCEW(101), RT_GROUP_ICON);
    ASSERT_NE(nullptr, groupInfo);
    ASSERT_GE(SizeofResource(module, groupInfo), sizeof(GroupIconDir));
    const GroupIconDir* group =
        static_cast<const GroupIconDir*>(LockResource(LoadResource(module, groupInfo)));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(1, group->type);
    ASSERT_EQ(1, group->count);
    const GroupIconEntry& entry = group->entries[0];
    EXPECT_EQ(0, entry.width); // 0 stands for 256
    EXPECT_EQ(0, entry.height);
    EXPECT_EQ(32, entry.bitCount);

    ResourceNames images;
    EnumResourceNamesW(module, RT_ICON, CollectName, reinterpret_cast<LONG_PTR>(&images));
    EXPECT_EQ(std::vector<std::wstring>{L"#" + std::to_wstring(entry.id)}, images.names);
    HRSRC imageInfo = FindResourceW(module, MAKEINTRESOURCEW(entry.id), RT_ICON);
    ASSERT_NE(nullptr, imageInfo);
    DWORD size = SizeofResource(module, imageInfo);
    EXPECT_EQ(entry.bytesInRes, size);
    const BYTE* image = static_cast<const BYTE*>(LockResource(LoadResource(module, imageInfo)));
    ASSERT_NE(nullptr, image);
    ASSERT_GE(size, 40u);
    static const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (memcmp(image, kPngSignature, 8) == 0) {
        // IHDR: width, height, then 8 bits per channel of RGBA (colour type 6).
        EXPECT_EQ(0, memcmp(image + 12, "IHDR", 4));
        EXPECT_EQ(256u, BigEndian32(image + 16));
        EXPECT_EQ(256u, BigEndian32(image + 20));
        EXPECT_EQ(8, image[24]);
        EXPECT_EQ(6, image[25]);
    } else {
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
        EXPECT_EQ(256, header->biWidth);
        EXPECT_EQ(512, header->biHeight); // the colour and mask bitmaps one above the other
        EXPECT_EQ(32, header->biBitCount);
    }
    FreeLibrary(module);
}

} // namespace
