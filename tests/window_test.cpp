// The main window, created for real in this process, read through its controls' own messages.

#include <regex>

#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"
#include "ui/device_list.h"

namespace {

const int kUsbRow = 5;
const GUID* const kGuidUsb = TestCategoryGuid(kUsbRow);

const wchar_t kPrompt[] =
    L"S\u00e9lectionnez un p\u00e9riph\u00e9rique pour voir et copier les d\u00e9tails.";
const wchar_t kSentinel[] = L"(texte mis par le test)";
const ListedDevice kFull = {L"Contr\u00f4leur h\u00f4te USB \u03a9 Halvoran",
                            L"USB\\VID_1234&PID_ABCD&REV_0001", L"Soci\u00e9t\u00e9 d'essai (Test)",
                            L"halvusb.sys"};
const ListedDevice kPlain = {L"Inconnu", L"N/A", L"N/A", L"N/A"};

TestDevice g_full, g_plain;

// Fresh hidden main window per test; two test devices in the USB class for the whole suite
// where the system may be changed (the tests that need them skip elsewhere).
class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RegisterMainWindowClass(GetModuleHandleW(nullptr));
        if (!SystemChangesAllowed()) {
            return;
        }
        RemoveLeftoverTestData();
        ASSERT_TRUE(CreateShownTestDevice(kGuidUsb, L"HALVORAN_TEST_WINDOW_FULL", kFull,
                                          L"HalvTestWinSvc", &g_full));
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
    return DescribeLayout(real);
}

// The controls are laid out for the client area the system gives the 800 x 500 window, whatever
// its frame and caption, then for each size a WM_SIZE reports (the layout's own table is
// ControlLayout.ForEachClientSize).
TEST_F(MainWindowTest, LayoutFollowsTheClientArea) {
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    RECT client;
    GetClientRect(window_, &client);
    // As the window opened, whatever client area this system gives it: the margins and sizes.
    const int w = client.right, h = client.bottom;
    const ControlPlacement opened[kControlCount] = {{10, 10, w - 280, 200},
                                                    {w - 260, 10, 155, 25},
                                                    {w - 95, 10, 85, 25},
                                                    {10, 45, w - 20, h - 160},
                                                    {10, h - 105, w - 20, 95}};
    EXPECT_EQ(DescribeLayout(opened), DescribeControls()) << w << "x" << h;
    const SIZE kSizes[] = {{1000, 600}, {280, 160}, {0, 0}};
    for (const SIZE& size : kSizes) {
        SCOPED_TRACE(testing::Message() << size.cx << "x" << size.cy);
        SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(size.cx, size.cy));
        ControlPlacement computed[kControlCount];
        ComputeControlLayout(size.cx, size.cy, computed);
        EXPECT_EQ(DescribeLayout(computed), DescribeControls());
    }
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

std::vector<ListedDevice> ListedRows() {
    std::vector<ListedDevice> rows;
    for (int i = 0; i < ListView_GetItemCount(g_deviceList); ++i) {
        rows.push_back({CellText(g_deviceList, i, 0), CellText(g_deviceList, i, 1),
                        CellText(g_deviceList, i, 2), CellText(g_deviceList, i, 3)});
    }
    return rows;
}

// As opened, the list holds every device. Then each fill, from the selector (-1: no row chosen)
// or by a direct call (7 and beyond), turns the list's redrawing off, empties it, lists the
// category's devices as the system describes them, in its order (none for an index outside the
// table, a class with no device or a set the system refuses), turns redrawing on again and has
// the whole list, frame included, repainted; the pane shows the prompt. Drawn afterwards, the
// list shows its rows, or no stale ones.
TEST_F(MainWindowTest, CategoryChangeRefillsTheList) {
    // The last two through stand-ins for the system's set: a class with no device, a refused set.
    const int kIndexes[] = {6, 5, 4, 3, 2, 1, 0, -1, 7, 8, -2, -0x7fffffff - 1, kUsbRow, 0};
    const decltype(DeviceSetApi::getClassDevs) kStandIns[] = {EmptyDeviceSet, RefusedDeviceSet};
    const size_t kCount = ARRAYSIZE(kIndexes);
    EXPECT_EQ(ReadPresentDevices(nullptr), ListedRows());
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    g_listProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        g_deviceList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordListMessage)));
    for (size_t k = 0; k < kCount; ++k) {
        const int index = kIndexes[k];
        const auto standIn = k + 2 >= kCount ? kStandIns[k + 2 - kCount] : nullptr;
        SCOPED_TRACE(testing::Message() << "index " << index << (standIn ? ", stand-in" : ""));
        FillDeviceList(0); // rows on the screen, which a fill without rows must clear
        UpdateWindow(window_);
        RECT firstRow;
        ASSERT_TRUE(ListView_GetItemRect(g_deviceList, 0, &firstRow, LVIR_LABEL));
        ASSERT_GT(InkedPixels(firstRow), 0) << "the rows before the fill are not drawn";
        SetWindowTextW(g_detailsEdit, kSentinel);

        std::vector<std::string> messages;
        g_listMessages = &messages;
        {
            ScopedDeviceSetApi api(standIn);
            if (index >= -1 && index < 7) {
                ChooseCategory(window_, index);
            } else {
                FillDeviceList(index);
            }
        }
        const bool listing = index >= 0 && index < 7 && standIn == nullptr;
        const std::vector<ListedDevice> listed =
            listing ? ReadPresentDevices(TestCategoryGuid(index)) : std::vector<ListedDevice>();
        EXPECT_EQ(listed, ListedRows());
        EXPECT_WTEXT(kPrompt, WindowText(g_detailsEdit));
        std::vector<std::string> expected = {"redraw off", "empty"};
        for (size_t i = 0; i < listed.size(); ++i) {
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
        EXPECT_EQ(!listed.empty(), InkedPixels(firstRow) > 0) << "drawn rows";
    }
    SetWindowLongPtrW(g_deviceList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProcedure));
}

// Only a change to the selected state reported by the list shows details; a row the list cannot
// give back shows empty texts under the labels.
TEST_F(MainWindowTest, SelectedItemChangeShowsTheRowsDetails) {
    SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED("needs its devices and registry keys");
    ChooseCategory(window_, kUsbRow);
    const std::vector<ListedDevice> rows = ReadPresentDevices(kGuidUsb); // the list's order
    const int full = static_cast<int>(std::find(rows.begin(), rows.end(), kFull) - rows.begin());
    const int plain = static_cast<int>(std::find(rows.begin(), rows.end(), kPlain) - rows.begin());
    ASSERT_LT(full, static_cast<int>(rows.size()));
    ASSERT_LT(plain, static_cast<int>(rows.size()));
    const struct {
        const char* what;
        int item;
        UINT id, code, newState;
        std::wstring expected; // the sentinel: the pane keeps its text
    } kCases[] = {
        {"selected", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED, DetailsOf(kFull)},
        {"defaults", plain, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED | LVIS_FOCUSED,
         DetailsOf(kPlain)},
        {"focused only", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_FOCUSED, kSentinel},
        {"no state", full, IDC_DEVICE_LIST, LVN_ITEMCHANGED, 0, kSentinel},
        {"from the pane", full, IDC_DETAILS_EDIT, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"from the selector", full, IDC_CATEGORY_COMBO, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"item changing", full, IDC_DEVICE_LIST, LVN_ITEMCHANGING, LVIS_SELECTED, kSentinel},
        {"click", full, IDC_DEVICE_LIST, NM_CLICK, LVIS_SELECTED, kSentinel},
        {"no item", -1, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED, kSentinel},
        {"missing row", 100000, IDC_DEVICE_LIST, LVN_ITEMCHANGED, LVIS_SELECTED, DetailsOf({})},
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
        cells[column] = std::wstring(511, L"NHMD"[column]);
        ListView_SetItemText(g_deviceList, full, column, &cells[column][0]);
    }
    const std::wstring cut = DetailsOf({cells[0], cells[1], cells[2], cells[3]}).substr(0, 2047);
    ListView_SetItemState(g_deviceList, full, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_WTEXT(cut, WindowText(g_detailsEdit));
}

// Commands from other controls or with other codes change nothing and open nothing; the two
// buttons open one box each, owned by the window (the export's save dialog is cancelled).
TEST_F(MainWindowTest, CommandsAndButtons) {
    SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED("the save dialog records its size and folders in the "
                                       "user's registry");
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
