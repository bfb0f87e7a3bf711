// The main window, created for real in this process, read through its controls' own messages.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "inventory/device_enum.h"
#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"
#include "ui/device_list.h"
#include "ui/main_window.h"

namespace {

const int kUsbRow = 5;
const GUID* const kGuidUsb = TestCategoryGuid(kUsbRow);

const wchar_t kPrompt[] =
    L"S\u00e9lectionnez un p\u00e9riph\u00e9rique pour voir et copier les d\u00e9tails.";
const wchar_t kSentinel[] = L"(texte mis par le test)";
const wchar_t kFullName[] = L"Contr\u00f4leur h\u00f4te USB \u03a9 Halvoran";
const wchar_t kFullHardwareIds[] = L"USB\\VID_1234&PID_ABCD&REV_0001\0USB\\VID_1234\0";
const wchar_t kFullManufacturer[] = L"Soci\u00e9t\u00e9 d'essai (Test)";
const wchar_t kFullService[] = L"HalvTestWinSvc";
const wchar_t kFullImagePath[] = L"\\SystemRoot\\System32\\drivers\\halvusb.sys";

std::wstring Details(const std::wstring& name, const std::wstring& hardwareId,
                     const std::wstring& manufacturer, const std::wstring& driverFile) {
    return L"Nom du p\u00e9riph\u00e9rique : " + name + L"\r\nID Mat\u00e9riel (Hardware ID) : " +
           hardwareId + L"\r\nFabricant (Vendor) : " + manufacturer +
           L"\r\nPilote associ\u00e9 : " + driverFile;
}

const std::wstring kFullDetails =
    Details(kFullName, L"USB\\VID_1234&PID_ABCD&REV_0001", kFullManufacturer, L"halvusb.sys");
const std::wstring kDefaultDetails = Details(L"Inconnu", L"N/A", L"N/A", L"N/A");

TestDevice g_full = {INVALID_HANDLE_VALUE, {}, {}}, g_plain = g_full;

// Fresh hidden main window per test; two test devices in the USB class for the whole suite.
class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RemoveLeftoverTestData();
        RegisterMainWindowClass(GetModuleHandleW(nullptr));
        ASSERT_TRUE(CreateTestDevice(kGuidUsb, L"HALVORAN_TEST_WINDOW_FULL", &g_full));
        ASSERT_TRUE(SetTestDeviceText(&g_full, SPDRP_FRIENDLYNAME, kFullName));
        ASSERT_TRUE(SetTestDeviceProperty(&g_full, SPDRP_HARDWAREID, kFullHardwareIds,
                                          sizeof(kFullHardwareIds)));
        ASSERT_TRUE(SetTestDeviceText(&g_full, SPDRP_MFG, kFullManufacturer));
        ASSERT_TRUE(SetTestDeviceText(&g_full, SPDRP_SERVICE, kFullService));
        ASSERT_TRUE(
            WriteTestService(kFullService, REG_EXPAND_SZ, kFullImagePath, sizeof(kFullImagePath)));
        ASSERT_TRUE(CreateTestDevice(kGuidUsb, L"HALVORAN_TEST_WINDOW_PLAIN", &g_plain));
    }
    static void TearDownTestSuite() {
        RemoveTestDevice(&g_full);
        RemoveTestDevice(&g_plain);
        RemoveLeftoverTestData();
    }
    void SetUp() override {
        window_ = CreateMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(nullptr, window_);
    }
    void TearDown() override {
        DestroyWindow(window_);
        MSG message; // the quit message WM_DESTROY posted would end the next test's modal loop
        PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    void ChooseCategory(int row) {
        SendMessageW(g_categoryCombo, CB_SETCURSEL, row, 0);
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(g_categoryCombo));
    }
    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, WindowAndControlsAsCreated) {
    EXPECT_WTEXT(L"HalvoranClass", ClassName(window_));
    EXPECT_WTEXT(L"Halvoran", WindowText(window_));
    EXPECT_EQ(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, GetWindowLongW(window_, GWL_STYLE));
    RECT rect;
    GetWindowRect(window_, &rect);
    EXPECT_EQ(800, rect.right - rect.left);
    EXPECT_EQ(500, rect.bottom - rect.top);

    // In creation order; "mask" leaves out the bits the control itself adds or takes away.
    const struct {
        const wchar_t* className;
        int id;
        const wchar_t* text;
        LONG style, mask;
        HWND handle;
    } kControls[] = {
        {L"ComboBox", 1001, kTestCategories[0].label, 0x50200003, ~WS_VSCROLL, g_categoryCombo},
        {L"Button", 1004, L"Exporter en .txt", 0x50000000, ~0, g_exportButton},
        {L"Button", 1005, L"\u00c0 propos", 0x50000000, ~0, g_aboutButton},
        {L"SysListView32", 1002, L"", 0x50800005, ~(WS_HSCROLL | WS_VSCROLL), g_deviceList},
        {L"Edit", 1003, kPrompt, 0x50A00804, ~(WS_BORDER | ES_AUTOVSCROLL), g_detailsEdit},
    };
    HWND child = GetWindow(window_, GW_CHILD);
    for (const auto& c : kControls) {
        SCOPED_TRACE(testing::Message() << "control " << c.id);
        ASSERT_EQ(c.handle, child);
        EXPECT_WTEXT(c.className, ClassName(child));
        EXPECT_EQ(c.id, GetDlgCtrlID(child));
        EXPECT_WTEXT(c.text, WindowText(child));
        EXPECT_EQ(c.style & c.mask, GetWindowLongW(child, GWL_STYLE) & c.mask);
        EXPECT_EQ(0, GetWindowLongW(child, GWL_EXSTYLE));
        EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)),
                  SendMessageW(child, WM_GETFONT, 0, 0));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child);

    std::vector<std::wstring> labels;
    for (const auto& category : kTestCategories) {
        labels.push_back(category.label);
    }
    EXPECT_EQ(labels, ComboItems(g_categoryCombo));
    EXPECT_EQ(0, SendMessageW(g_categoryCombo, CB_GETCURSEL, 0, 0));

    EXPECT_EQ(0x21u, ListView_GetExtendedListViewStyle(g_deviceList));
    wchar_t header[128];
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = header;
    column.cchTextMax = ARRAYSIZE(header);
    std::wstring columns;
    for (int i = 0; ListView_GetColumn(g_deviceList, i, &column); ++i) {
        columns += std::wstring(header) + L" " + std::to_wstring(column.cx) + L" | ";
    }
    EXPECT_WTEXT(L"Nom du p\u00e9riph\u00e9rique 260 | ID Mat\u00e9riel 230 | Fabricant 135 | "
                 L"Pilote (.sys) 140 | ",
                 columns);
}

std::string Describe(const ControlPlacement* p) {
    std::string text;
    for (int i = 0; i < kControlCount; ++i) {
        text += (i ? " | " : "") + std::to_string(p[i].x) + "," + std::to_string(p[i].y) + " " +
                std::to_string(p[i].width) + "x" + std::to_string(p[i].height);
    }
    return text;
}

// The real controls' rectangles in slot order; the selector's height includes its drop-down.
std::string DescribeControls() {
    HWND controls[] = {g_categoryCombo, g_exportButton, g_aboutButton, g_deviceList, g_detailsEdit};
    ControlPlacement real[kControlCount];
    for (int i = 0; i < kControlCount; ++i) {
        RECT r;
        GetWindowRect(controls[i], &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(controls[i]), reinterpret_cast<POINT*>(&r), 2);
        real[i] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    RECT dropped;
    SendMessageW(g_categoryCombo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    real[kSlotCategoryCombo].height += dropped.bottom - dropped.top;
    return Describe(real);
}

// Buttons keep their sizes at the right, 10 px apart; the pane is 95 high, 10 px above the
// bottom; the list fills what is left; sizes stop at zero.
TEST_F(MainWindowTest, LayoutFollowsTheClientArea) {
    const struct {
        int width, height;
        const char* expected; // selector | export | About | list | pane
    } kCases[] = {
        {792, 473, "10,10 512x200 | 532,10 155x25 | 697,10 85x25 | 10,45 772x313 | 10,368 772x95"},
        {1000, 600, "10,10 720x200 | 740,10 155x25 | 905,10 85x25 | 10,45 980x440 | 10,495 980x95"},
        {560, 330, "10,10 280x200 | 300,10 155x25 | 465,10 85x25 | 10,45 540x170 | 10,225 540x95"},
        {280, 160, "10,10 0x200 | 20,10 155x25 | 185,10 85x25 | 10,45 260x0 | 10,55 260x95"},
        {100, 50, "10,10 0x200 | -160,10 155x25 | 5,10 85x25 | 10,45 80x0 | 10,-55 80x95"},
        {0, 0, "10,10 0x200 | -260,10 155x25 | -95,10 85x25 | 10,45 0x0 | 10,-105 0x95"},
    };
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    RECT client;
    GetClientRect(window_, &client);
    EXPECT_EQ(kCases[0].width, client.right) << "the client area of the 800 x 500 window";
    EXPECT_EQ(kCases[0].height, client.bottom);
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        ControlPlacement computed[kControlCount];
        ComputeControlLayout(c.width, c.height, computed);
        EXPECT_EQ(c.expected, Describe(computed));
        if (c.width != client.right || c.height != client.bottom) {
            SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        }
        EXPECT_EQ(c.expected, DescribeControls());
    }
}

// The list holds the category's devices as the system describes them, in its order, or none
// for an index outside the table; the pane shows the prompt.
void ExpectListed(int index) {
    std::vector<ListedDevice> rows;
    for (int i = 0; i < ListView_GetItemCount(g_deviceList); ++i) {
        rows.push_back({CellText(g_deviceList, i, 0), CellText(g_deviceList, i, 1),
                        CellText(g_deviceList, i, 2), CellText(g_deviceList, i, 3)});
    }
    const bool valid = index >= 0 && index < 7;
    EXPECT_EQ(valid ? ReadPresentDevices(TestCategoryGuid(index)) : std::vector<ListedDevice>(),
              rows);
    EXPECT_WTEXT(kPrompt, WindowText(g_detailsEdit));
}

// As opened, then after each change (-1: no row chosen; 7 and beyond only by a direct call).
TEST_F(MainWindowTest, CategoryChangeRefillsTheList) {
    ExpectListed(0);
    for (int index : {6, 5, 4, 3, 2, 1, 0, -1, 7, 8, -2, -0x7fffffff - 1}) {
        SCOPED_TRACE(testing::Message() << "index " << index);
        FillDeviceList(index == 0 ? 1 : 0);
        SetWindowTextW(g_detailsEdit, kSentinel);
        if (index >= -1 && index < 7) {
            ChooseCategory(index);
        } else {
            FillDeviceList(index);
        }
        ExpectListed(index);
    }
    // A device set the system refuses lists nothing, like an invalid index.
    FillDeviceList(0);
    SetWindowTextW(g_detailsEdit, kSentinel);
    {
        ScopedDeviceSetApi refusing(RefusedDeviceSet);
        ChooseCategory(0);
    }
    ExpectListed(-1);
}

// What reaches the list, by name: its redrawing, its rows and its painting.
std::vector<std::string>* g_listMessages;
WNDPROC g_listProcedure;
LRESULT CALLBACK RecordListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const struct {
        UINT message;
        const char* name;
    } kNames[] = {{WM_SETREDRAW, wParam ? "redraw on" : "redraw off"},
                  {LVM_DELETEALLITEMS, "empty"},
                  {LVM_INSERTITEMW, "insert"},
                  {LVM_SETITEMTEXTW, "cell"},
                  {WM_NCPAINT, "frame painted"},
                  {WM_PAINT, "painted"}};
    for (const auto& n : kNames) {
        if (n.message == message && g_listMessages != nullptr) {
            g_listMessages->push_back(n.name);
        }
    }
    return CallWindowProcW(g_listProcedure, list, message, wParam, lParam);
}

// Pixels of the list's window surface in the rectangle, less its edges, that are not its
// background: a drawn row's text.
int InkedPixels(const RECT& r) {
    HDC dc = GetDC(g_deviceList);
    const COLORREF background = static_cast<COLORREF>(ListView_GetBkColor(g_deviceList));
    int inked = 0;
    for (int y = r.top + 2; y < r.bottom - 2; ++y) {
        for (int x = r.left + 2; x < r.right - 2; ++x) {
            inked += GetPixel(dc, x, y) != background ? 1 : 0;
        }
    }
    ReleaseDC(g_deviceList, dc);
    return inked;
}

// Every kind of fill turns the list's redrawing off, empties it, adds its rows, turns redrawing
// on again and has the whole list, frame included, repainted: drawn afterwards, it shows its
// rows, or no stale ones.
TEST_F(MainWindowTest, EveryFillRedrawsTheListOnceWhole) {
    const struct {
        const char* what;
        int index;
        HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND, DWORD); // null: the system's
        bool rows;
    } kCases[] = {
        {"every device", 0, nullptr, true},
        {"a class with no device", kUsbRow, EmptyDeviceSet, false},
        {"no row chosen", -1, nullptr, false},
        {"index past the table", 7, nullptr, false},
        {"refused set", 0, RefusedDeviceSet, false},
    };
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    g_listProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        g_deviceList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordListMessage)));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        FillDeviceList(0); // rows on the screen, which a fill without rows must clear
        UpdateWindow(window_);
        RECT firstRow;
        ASSERT_TRUE(ListView_GetItemRect(g_deviceList, 0, &firstRow, LVIR_LABEL));
        ASSERT_GT(InkedPixels(firstRow), 0) << "the rows before the fill are not drawn";

        std::vector<std::string> messages;
        g_listMessages = &messages;
        {
            ScopedDeviceSetApi api(c.getClassDevs);
            FillDeviceList(c.index);
        }
        std::vector<std::string> expected = {"redraw off", "empty"};
        for (DWORD i = 0; c.rows && i < CountPresentDevices(nullptr); ++i) {
            expected.insert(expected.end(), {"insert", "cell", "cell", "cell"});
        }
        expected.push_back("redraw on");
        EXPECT_EQ(expected, messages);

        messages.clear();
        UpdateWindow(window_);
        g_listMessages = nullptr;
        EXPECT_NE(messages.end(), std::find(messages.begin(), messages.end(), "painted"));
        EXPECT_NE(messages.end(), std::find(messages.begin(), messages.end(), "frame painted"))
            << "the scroll bars are left as they were";
        EXPECT_TRUE(IsWindowVisible(g_deviceList));
        RECT pending;
        EXPECT_FALSE(GetUpdateRect(g_deviceList, &pending, FALSE)) << "not drawn whole";
        EXPECT_EQ(c.rows, InkedPixels(firstRow) > 0) << "drawn rows";
    }
    SetWindowLongPtrW(g_deviceList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProcedure));
}

// Only a change to the selected state reported by the list shows details; a row the list cannot
// give back shows empty texts under the labels.
TEST_F(MainWindowTest, SelectedItemChangeShowsTheRowsDetails) {
    ChooseCategory(kUsbRow);
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = kFullName;
    const int full = ListView_FindItem(g_deviceList, -1, &find), plain = full + 1; // key order
    ASSERT_GE(full, 0);
    const struct {
        const char* what;
        int item;
        UINT id, code, newState;
        std::wstring expected; // the sentinel: the pane keeps its text
    } kCases[] = {
        {"selected", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED, kFullDetails},
        {"defaults", plain, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED | LVIS_FOCUSED,
         kDefaultDetails},
        {"focused only", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_FOCUSED, kSentinel},
        {"no state", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, 0, kSentinel},
        {"from the pane", full, IDC_DETAILS_EDIT, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"from the selector", full, IDC_CATEGORY_COMBO, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"item changing", full, IDC_DEVICE_LIST, LVN_ITEMCHANGING, LVIS_SELECTED, kSentinel},
        {"click", full, IDC_DEVICE_LIST, NM_CLICK, LVIS_SELECTED, kSentinel},
        {"no item", -1, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"missing row", 100000, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED,
         Details(L"", L"", L"", L"")},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        SetWindowTextW(g_detailsEdit, kSentinel);
        NMLISTVIEW notification = {};
        notification.hdr = {nullptr, c.id, c.code};
        notification.iItem = c.item;
        notification.uNewState = c.newState;
        notification.uChanged = LVIF_STATE;
        EXPECT_EQ(0,
                  SendMessageW(window_, WM_NOTIFY, c.id, reinterpret_cast<LPARAM>(&notification)));
        EXPECT_WTEXT(c.expected, WindowText(g_detailsEdit));
    }
    // The list's own notification; four 511-unit cells make more than the pane's 2047 units.
    std::wstring cells[4];
    for (int column = 0; column < 4; ++column) {
        cells[column] = Repeat(L"NHMD"[column], 511);
        ListView_SetItemText(g_deviceList, full, column, &cells[column][0]);
    }
    const std::wstring cut = Details(cells[0], cells[1], cells[2], cells[3]).substr(0, 2047);
    ListView_SetItemState(g_deviceList, full, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_WTEXT(cut, WindowText(g_detailsEdit));
}

TEST(DetailTextTest, FourLabelledLinesCutToTheCapacity) {
    const std::wstring k511 = Repeat(L'x', 511);
    std::wstring pairs = L"a"; // 511 units; the 2047th unit of the text is a pair's first half
    for (int i = 0; i < 255; ++i) {
        pairs += L"\U0001F5A5";
    }
    const struct {
        const char* what;
        std::wstring fields[4];
        std::wstring expected;
    } kCases[] = {
        {"percent signs",
         {L"%s %ls", L"%d", L"%%", L"%n"},
         L"Nom du p\u00e9riph\u00e9rique : %s %ls\r\nID Mat\u00e9riel (Hardware ID) : %d\r\n"
         L"Fabricant (Vendor) : %%\r\nPilote associ\u00e9 : %n"},
        {"cut inside a surrogate pair",
         {k511, k511, k511, pairs},
         Details(k511, k511, k511, pairs).substr(0, 2047)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        wchar_t text[2048 + 8];
        wmemset(text, L'#', ARRAYSIZE(text));
        FormatDeviceDetails(c.fields[0].c_str(), c.fields[1].c_str(), c.fields[2].c_str(),
                            c.fields[3].c_str(), text, 2048);
        EXPECT_WTEXT(c.expected, text);
        EXPECT_EQ(std::wstring(8, L'#'), std::wstring(text + 2048, 8)) << "written past the end";
    }
}

// Commands from other controls or with other codes change nothing and open nothing; the two
// buttons open one box each, owned by the window (the export's save dialog is cancelled).
TEST_F(MainWindowTest, CommandsAndButtons) {
    SendMessageW(g_categoryCombo, CB_SETCURSEL, kUsbRow, 0); // chosen, not yet reported
    const int rows = ListView_GetItemCount(g_deviceList);
    ASSERT_NE(static_cast<DWORD>(rows), CountPresentDevices(kGuidUsb));
    const WPARAM kCommands[] = {MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_DROPDOWN),
                                MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELENDOK),
                                MAKEWPARAM(IDC_CATEGORY_COMBO, 0),
                                MAKEWPARAM(IDC_DEVICE_LIST, CBN_SELCHANGE),
                                MAKEWPARAM(IDC_DETAILS_EDIT, EN_CHANGE),
                                MAKEWPARAM(IDC_EXPORT_BUTTON, CBN_SELCHANGE),
                                MAKEWPARAM(IDC_EXPORT_BUTTON, BN_SETFOCUS),
                                MAKEWPARAM(IDC_ABOUT_BUTTON, BN_DOUBLECLICKED),
                                MAKEWPARAM(1000, BN_CLICKED),
                                MAKEWPARAM(1006, BN_CLICKED),
                                MAKEWPARAM(0, CBN_SELCHANGE),
                                MAKEWPARAM(IDC_ABOUT_BUTTON + 0x100, 0)};
    for (WPARAM command : kCommands) {
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << command);
        SetWindowTextW(g_detailsEdit, kSentinel);
        EXPECT_EQ(0u, RunClosingDialogs([&] {
                          SendMessageW(window_, WM_COMMAND, command,
                                       reinterpret_cast<LPARAM>(g_categoryCombo));
                      }).size());
        EXPECT_EQ(rows, ListView_GetItemCount(g_deviceList));
        EXPECT_WTEXT(kSentinel, WindowText(g_detailsEdit));
    }

    for (HWND button : {g_exportButton, g_aboutButton}) {
        SCOPED_TRACE(testing::Message() << "button " << GetDlgCtrlID(button));
        auto boxes = RunClosingDialogs([&] { SendMessageW(button, BM_CLICK, 0, 0); });
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(window_, boxes[0].owner);
        EXPECT_EQ(rows, ListView_GetItemCount(g_deviceList));
        EXPECT_WTEXT(kSentinel, WindowText(g_detailsEdit));
        if (button == g_aboutButton) {
            EXPECT_WTEXT(L"\u00c0 propos", boxes[0].caption);
            EXPECT_EQ(LoadIconW(nullptr, IDI_INFORMATION), boxes[0].icon);
            // Four lines: the program's name, an empty line, then two lines of text.
            EXPECT_TRUE(std::regex_match(boxes[0].text,
                                         std::wregex(L"Halvoran\r\n\r\n[^\r\n]+\r\n[^\r\n]+")))
                << Narrow(boxes[0].text);
        }
    }
}

} // namespace
