// The export command driven through Wine's real save dialog and message boxes, as a user would:
// a second thread finds the dialog owned by the test's window, types a file name, presses Save,
// answers the overwrite prompt, reads the message box the export shows and presses OK.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <stdio.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "inventory/device_enum.h"
#include "report/export.h"
#include "test_devices.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const GUID kGuidNet = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidMedia = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kGuidUsb = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const DWORD kDriverTimeoutMs = 30000;

// ---- texts, spelled here independently of the program -------------------------------------

const std::wstring kErrorCaption = L"Erreur d'export";
const std::wstring kDoneCaption = L"Export termin\u00e9";
const std::wstring kCannotCreate = L"Impossible de cr\u00e9er le fichier s\u00e9lectionn\u00e9.";
const std::wstring kNoDeviceSet = L"Impossible d'obtenir la liste des p\u00e9riph\u00e9riques.";
const std::wstring kWriteFailed = L"Une erreur s'est produite pendant l'\u00e9"
                                  L"criture du fichier.";

std::wstring DoneMessage(DWORD count, const std::wstring& path) {
    return std::to_wstring(count) + L" p\u00e9riph\u00e9rique(s) export\u00e9(s) dans :\r\n" + path;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char hex[12];
            snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out;
}

void AppendUnits(Bytes* out, const std::wstring& text) {
    for (wchar_t unit : text) {
        out->push_back(static_cast<unsigned char>(unit & 0xFF));
        out->push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    }
}

Bytes MarkAndHeader() {
    Bytes out = {0xFF, 0xFE};
    AppendUnits(&out, L"Liste de tous les p\u00e9riph\u00e9riques pr\u00e9sents\r\n" +
                          std::wstring(40, L'=') + L"\r\n\r\n");
    return out;
}

Bytes RecordBytes(DWORD ordinal, const std::wstring& name, const std::wstring& hardwareId,
                  const std::wstring& manufacturer, const std::wstring& driverFile) {
    Bytes out;
    AppendUnits(&out, L"[" + std::to_wstring(ordinal) + L"]\r\nNom du p\u00e9riph\u00e9rique : " +
                          name + L"\r\nID Mat\u00e9riel : " + hardwareId + L"\r\nFabricant : " +
                          manufacturer + L"\r\nPilote associ\u00e9 : " + driverFile + L"\r\n\r\n");
    return out;
}

void AppendRecordOf(void* context, DWORD position, const DeviceRecord* record) {
    Bytes* out = static_cast<Bytes*>(context);
    Bytes record_bytes = RecordBytes(position + 1, record->name, record->hardwareId,
                                     record->manufacturer, record->driverFile);
    out->insert(out->end(), record_bytes.begin(), record_bytes.end());
}

// The report of the devices present right now, from a direct walk over every class.
Bytes ReportOfPresentDevices(DWORD* count) {
    Bytes out = MarkAndHeader();
    *count = WalkDevices(OpenDeviceSet(nullptr), AppendRecordOf, &out);
    return out;
}

bool Contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// ---- files ----------------------------------------------------------------------------------

bool ReadFileBytes(const std::wstring& path, Bytes* bytes) {
    bytes->clear();
    FILE* in = _wfopen(path.c_str(), L"rb");
    if (in == nullptr) {
        return false;
    }
    unsigned char chunk[8192];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), in)) != 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    fclose(in);
    return true;
}

void WriteFileBytes(const std::wstring& path, const Bytes& bytes) {
    FILE* out = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, out) << Narrow(path);
    ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), out));
    ASSERT_EQ(0, fclose(out));
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True when nobody else holds the file open: an open that shares nothing succeeds.
bool FileIsClosed(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
}

// ---- the user at the dialog -----------------------------------------------------------------

enum IconKind { kNoIcon, kInformationIcon, kErrorIcon, kOtherIcon };

const char* IconName(IconKind icon) {
    switch (icon) {
    case kNoIcon:
        return "none";
    case kInformationIcon:
        return "information";
    case kErrorIcon:
        return "error";
    default:
        return "other";
    }
}

struct BoxSeen {
    std::wstring text;
    std::wstring caption;
    IconKind icon = kNoIcon;
    std::vector<int> buttons; // the visible push buttons, by identifier
    bool fileClosed = false;  // the exported file could be opened exclusively meanwhile
};

struct DialogPlan {
    std::wstring typedName; // typed into the file-name box; empty: keep the shown name
    bool cancel = false;    // press Cancel instead of Save
    std::wstring probePath; // file checked for being closed while the export's box is shown
};

struct ExportRun {
    int result = -1;
    bool dialogSeen = false;
    std::wstring initialName;
    std::vector<std::wstring> filters;
    int filterSelection = -2;
    bool typed = false;
    int overwritePrompts = 0;
    std::vector<BoxSeen> dialogWarnings; // the dialog's own boxes, other than the prompt
    std::vector<BoxSeen> programBoxes;   // boxes owned by the test window
    bool timedOut = false;
};

struct DriverContext {
    HWND owner;
    DWORD uiThread;
    DialogPlan plan;
    ExportRun* run;
    HANDLE done;
};

std::wstring WindowText(HWND window) {
    WCHAR text[1024] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

std::wstring ClassOf(HWND window) {
    WCHAR name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

// The file-name box: the edit inside the ComboBoxEx32 cmb13 of the explorer-style dialog, or
// the plain edit edt1 of dialogs that use one.
HWND FileNameEdit(HWND dialog) {
    HWND combo = GetDlgItem(dialog, cmb13);
    if (combo != nullptr) {
        return reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
    }
    return GetDlgItem(dialog, edt1);
}

bool IsSaveDialog(HWND window) {
    return FileNameEdit(window) != nullptr && GetDlgItem(window, cmb1) != nullptr;
}

bool IsMessageBox(HWND window) {
    // The text of a message box is the static control 0xFFFF.
    return !IsSaveDialog(window) && GetDlgItem(window, 0xFFFF) != nullptr;
}

BOOL CALLBACK FindIconStatic(HWND child, LPARAM found) {
    if (ClassOf(child) == L"Static" &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

BoxSeen ReadBox(HWND box, const std::wstring& probePath) {
    BoxSeen seen;
    seen.text = WindowText(GetDlgItem(box, 0xFFFF));
    seen.caption = WindowText(box);
    HWND iconStatic = nullptr;
    EnumChildWindows(box, FindIconStatic, reinterpret_cast<LPARAM>(&iconStatic));
    if (iconStatic != nullptr) {
        HICON icon = reinterpret_cast<HICON>(SendMessageW(iconStatic, STM_GETICON, 0, 0));
        if (icon == LoadIconW(nullptr, IDI_INFORMATION)) {
            seen.icon = kInformationIcon;
        } else if (icon == LoadIconW(nullptr, IDI_ERROR)) {
            seen.icon = kErrorIcon;
        } else if (icon != nullptr) {
            seen.icon = kOtherIcon;
        }
    }
    const int ids[] = {IDOK,  IDCANCEL, IDABORT,    IDRETRY,   IDIGNORE,
                       IDYES, IDNO,     IDTRYAGAIN, IDCONTINUE};
    for (int id : ids) {
        HWND button = GetDlgItem(box, id);
        if (button != nullptr && IsWindowVisible(button)) {
            seen.buttons.push_back(id);
        }
    }
    if (!probePath.empty()) {
        seen.fileClosed = FileIsClosed(probePath);
    }
    return seen;
}

// Presses a button as a click would: the dialog receives its command.
void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

struct ThreadWindows {
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        reinterpret_cast<ThreadWindows*>(context)->dialogs.push_back(window);
    }
    return TRUE;
}

DWORD WINAPI DriveDialogs(void* parameter) {
    DriverContext* c = static_cast<DriverContext*>(parameter);
    ExportRun* run = c->run;
    const DWORD start = GetTickCount();
    HWND saveDialog = nullptr;
    bool cancelWhenEnabled = false;
    std::set<HWND> answered;
    while (WaitForSingleObject(c->done, 20) == WAIT_TIMEOUT) {
        ThreadWindows windows;
        EnumThreadWindows(c->uiThread, CollectDialog, reinterpret_cast<LPARAM>(&windows));
        if (GetTickCount() - start > kDriverTimeoutMs) {
            // Gets the test out of a dialog nobody answers.
            run->timedOut = true;
            for (HWND w : windows.dialogs) {
                Press(w, IDCANCEL);
                PostMessageW(w, WM_CLOSE, 0, 0);
            }
            continue;
        }
        for (HWND w : windows.dialogs) {
            if (IsSaveDialog(w)) {
                HWND edit = FileNameEdit(w);
                if (w != saveDialog) {
                    if (!IsWindowEnabled(w) || WindowText(edit).empty()) {
                        continue; // still being set up
                    }
                    saveDialog = w;
                    run->dialogSeen = GetWindow(w, GW_OWNER) == c->owner;
                    run->initialName = WindowText(edit);
                    HWND types = GetDlgItem(w, cmb1);
                    LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
                    for (LRESULT i = 0; i < count; ++i) {
                        WCHAR item[256] = {};
                        if (SendMessageW(types, CB_GETLBTEXTLEN, i, 0) < 256) {
                            SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                        }
                        run->filters.push_back(item);
                    }
                    run->filterSelection =
                        static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0));
                    if (!c->plan.typedName.empty()) {
                        SendMessageW(edit, WM_SETTEXT, 0,
                                     reinterpret_cast<LPARAM>(c->plan.typedName.c_str()));
                        run->typed = WindowText(edit) == c->plan.typedName;
                    }
                    Press(w, c->plan.cancel ? IDCANCEL : IDOK);
                } else if (cancelWhenEnabled && IsWindowEnabled(w)) {
                    cancelWhenEnabled = false;
                    Press(w, IDCANCEL);
                }
            } else if (IsMessageBox(w) && answered.insert(w).second) {
                HWND owner = GetWindow(w, GW_OWNER);
                if (owner == c->owner) {
                    run->programBoxes.push_back(ReadBox(w, c->plan.probePath));
                    Press(w, IDOK);
                } else {
                    BoxSeen seen = ReadBox(w, std::wstring());
                    if (std::find(seen.buttons.begin(), seen.buttons.end(), IDYES) !=
                        seen.buttons.end()) {
                        ++run->overwritePrompts;
                        Press(w, IDYES);
                    } else {
                        // A refusal of the dialog itself: dismiss it, then leave the dialog.
                        run->dialogWarnings.push_back(seen);
                        Press(w, seen.buttons.empty() ? IDOK : seen.buttons[0]);
                        cancelWhenEnabled = true;
                    }
                }
            }
        }
    }
    return 0;
}

// ---- the fixture ------------------------------------------------------------------------------

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// Counts what the export asks of the device-set calls, passing them on to the system.
struct DeviceSetSpy {
    int opens;
    const GUID* classGuid;
    DWORD flags;
    int destroys;
};
DeviceSetSpy g_spy;

HDEVINFO WINAPI SpyGetClassDevs(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                DWORD flags) {
    ++g_spy.opens;
    g_spy.classGuid = classGuid;
    g_spy.flags = flags;
    return SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
}

HDEVINFO WINAPI RefuseDeviceSet(const GUID* classGuid, PCWSTR, HWND, DWORD flags) {
    ++g_spy.opens;
    g_spy.classGuid = classGuid;
    g_spy.flags = flags;
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// A valid set that holds no device: a class that no device belongs to.
HDEVINFO WINAPI EmptyDeviceSet(const GUID*, PCWSTR, HWND, DWORD) {
    ++g_spy.opens;
    return SetupDiGetClassDevsW(&kTestEmptyClassGuid, nullptr, nullptr, DIGCF_PRESENT);
}

BOOL WINAPI SpyDestroyInfoList(HDEVINFO set) {
    ++g_spy.destroys;
    return SetupDiDestroyDeviceInfoList(set);
}

// Puts its device-set calls in place for one scope and the system's back on leaving it,
// whichever way the scope is left.
struct DeviceSetSeam {
    explicit DeviceSetSeam(HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND, DWORD))
        : saved(g_deviceSetApi) {
        g_spy = DeviceSetSpy();
        g_deviceSetApi.getClassDevs = getClassDevs;
        g_deviceSetApi.destroyInfoList = SpyDestroyInfoList;
    }
    ~DeviceSetSeam() {
        g_deviceSetApi = saved;
    }
    DeviceSetApi saved;
};

// Texts of the devices made for these tests: accents, a character outside the BMP, long texts.
const std::wstring kOddName =
    L"Carte r\u00e9seau \u00e9tendue (contr\u00f4leur \u00ab\u00a0\u00e9l\u00e8ve\u00a0\u00bb) "
    L"\U0001F600 \u4e2d\u6587";
const std::wstring kOddHardwareId = L"PCI\\VEN_8086&DEV_10D3&SUBSYS_07D015AD&REV_00";
const std::wstring kOddManufacturer = L"Soci\u00e9t\u00e9 fran\u00e7aise d'\u00e9lectronique";
const std::wstring kOddService = L"HalvoranExportSvc";
const std::wstring kOddDriverFile = L"pilote_r\u00e9seau \u00e0 \u00e9t\u00e9.sys";

std::wstring LongText(const std::wstring& start, size_t units) {
    std::wstring text = start;
    while (text.size() < units) {
        text += static_cast<wchar_t>(L'a' + text.size() % 26);
        if (text.size() % 40 == 0) {
            text.back() = L'\u00e9';
        }
    }
    return text;
}

const std::wstring kLongDescription = LongText(L"Contr\u00f4leur audio ", 511);
const std::wstring kLongHardwareId = LongText(L"HDAUDIO\\FUNC_01&VEN_10EC&DEV_0887", 400);
const std::wstring kLongManufacturer = LongText(L"Fabricant \u00f4 ", 511);

TestDevice g_oddDevice, g_longDevice, g_bareDevice;

class ExportTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RemoveLeftoverTestDevices();
        g_oddDevice.set = g_longDevice.set = g_bareDevice.set = INVALID_HANDLE_VALUE;
        // A device whose every field is accented or beyond the BMP, with a driver file.
        std::wstring image = L"\\SystemRoot\\System32\\drivers\\" + kOddDriverFile;
        WriteTestService(kOddService.c_str(), REG_EXPAND_SZ, image.c_str(),
                         static_cast<DWORD>((image.size() + 1) * sizeof(WCHAR)));
        if (CreateTestDevice(&kGuidNet, L"HALVORAN_TEST_EXPORT_ODD", &g_oddDevice)) {
            SetTestDeviceText(&g_oddDevice, SPDRP_FRIENDLYNAME, kOddName.c_str());
            std::wstring ids = kOddHardwareId + L'\0' + L"PCI\\VEN_8086&DEV_10D3" + L'\0';
            SetTestDeviceProperty(&g_oddDevice, SPDRP_HARDWAREID, ids.c_str(),
                                  static_cast<DWORD>((ids.size() + 1) * sizeof(WCHAR)));
            SetTestDeviceText(&g_oddDevice, SPDRP_MFG, kOddManufacturer.c_str());
            SetTestDeviceText(&g_oddDevice, SPDRP_SERVICE, kOddService.c_str());
        }
        // A device with fields of full length and no service.
        if (CreateTestDevice(&kGuidMedia, L"HALVORAN_TEST_EXPORT_LONG", &g_longDevice)) {
            SetTestDeviceText(&g_longDevice, SPDRP_DEVICEDESC, kLongDescription.c_str());
            std::wstring ids = kLongHardwareId + L'\0';
            SetTestDeviceProperty(&g_longDevice, SPDRP_HARDWAREID, ids.c_str(),
                                  static_cast<DWORD>((ids.size() + 1) * sizeof(WCHAR)));
            SetTestDeviceText(&g_longDevice, SPDRP_MFG, kLongManufacturer.c_str());
        }
        // A device with no property at all.
        CreateTestDevice(&kGuidUsb, L"HALVORAN_TEST_EXPORT_BARE", &g_bareDevice);
    }
    static void TearDownTestSuite() {
        RemoveTestDevice(&g_oddDevice);
        RemoveTestDevice(&g_longDevice);
        RemoveTestDevice(&g_bareDevice);
        DeleteTestService(kOddService.c_str());
    }

    void SetUp() override {
        ASSERT_NE(INVALID_HANDLE_VALUE, g_oddDevice.set);
        ASSERT_NE(INVALID_HANDLE_VALUE, g_longDevice.set);
        ASSERT_NE(INVALID_HANDLE_VALUE, g_bareDevice.set);
        WCHAR directory[MAX_PATH];
        ASSERT_NE(0u, GetCurrentDirectoryW(ARRAYSIZE(directory), directory));
        savedDirectory_ = directory;
        WCHAR temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(ARRAYSIZE(temp), temp));
        folder_ = std::wstring(temp) + L"halvoran_export_test";
        CreateDirectoryW(folder_.c_str(), nullptr);
        ASSERT_TRUE(FileExists(folder_));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"HalvoranExportTestOwner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, wc.lpszClassName, L"Halvoran export test", WS_OVERLAPPEDWINDOW,
                                 40, 40, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, owner_);
        ShowWindow(owner_, SW_SHOW);
        UpdateWindow(owner_);
    }
    void TearDown() override {
        if (owner_ != nullptr) {
            DestroyWindow(owner_);
        }
        SetCurrentDirectoryW(savedDirectory_.c_str());
        for (const std::wstring& f : made_) {
            DeleteFileW(f.c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }

    // A path in the test folder, removed at the end of the test.
    std::wstring PathOf(const std::wstring& name) {
        std::wstring path = folder_ + L"\\" + name;
        DeleteFileW(path.c_str());
        made_.push_back(path);
        return path;
    }

    // Runs the export while the driver thread plays the user.
    ExportRun Export(const DialogPlan& plan) {
        ExportRun run;
        DriverContext context = {owner_, GetCurrentThreadId(), plan, &run,
                                 CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        HANDLE driver = CreateThread(nullptr, 0, DriveDialogs, &context, 0, nullptr);
        EXPECT_NE(nullptr, driver);
        if (driver == nullptr) {
            CloseHandle(context.done);
            return run;
        }
        run.result = ExportDevicesToText(owner_);
        SetEvent(context.done);
        WaitForSingleObject(driver, INFINITE);
        CloseHandle(driver);
        CloseHandle(context.done);
        EXPECT_FALSE(run.timedOut) << "nobody answered a dialog in time";
        return run;
    }

    // The dialog appeared as the user sees it: owned by the window, on the default name,
    // with the two file types, the first one in effect.
    static void ExpectDialogAsShown(const ExportRun& run, const DialogPlan& plan) {
        EXPECT_TRUE(run.dialogSeen);
        EXPECT_EQ("peripheriques.txt", Narrow(run.initialName));
        ASSERT_EQ(2u, run.filters.size());
        EXPECT_EQ("Fichier texte (*.txt)", Narrow(run.filters[0]));
        EXPECT_EQ("Tous les fichiers (*.*)", Narrow(run.filters[1]));
        EXPECT_EQ(0, run.filterSelection);
        EXPECT_EQ(!plan.typedName.empty(), run.typed);
    }

    static void ExpectOneBox(const ExportRun& run, const std::wstring& text,
                             const std::wstring& caption, IconKind icon) {
        ASSERT_EQ(1u, run.programBoxes.size());
        const BoxSeen& box = run.programBoxes[0];
        EXPECT_EQ(Narrow(text), Narrow(box.text));
        EXPECT_EQ(Narrow(caption), Narrow(box.caption));
        EXPECT_STREQ(IconName(icon), IconName(box.icon));
        EXPECT_EQ(std::vector<int>({IDOK}), box.buttons) << "a single OK button";
        EXPECT_TRUE(run.dialogWarnings.empty());
    }

    std::wstring folder_;
    std::wstring savedDirectory_;
    std::vector<std::wstring> made_;
    HWND owner_ = nullptr;
};

#define EXPECT_BYTES_EQ(expected, actual)                                                          \
    do {                                                                                           \
        const Bytes& e_ = (expected);                                                              \
        const Bytes& a_ = (actual);                                                                \
        EXPECT_EQ(e_.size(), a_.size());                                                           \
        size_t i_ = 0;                                                                             \
        while (i_ < e_.size() && i_ < a_.size() && e_[i_] == a_[i_]) {                             \
            ++i_;                                                                                  \
        }                                                                                          \
        EXPECT_TRUE(e_ == a_) << "first difference at byte " << i_;                                \
    } while (0)

// ---- success --------------------------------------------------------------------------------

TEST_F(ExportTest, WritesEveryPresentDeviceAndTellsCountAndPath) {
    DialogPlan plan;
    plan.typedName = PathOf(L"inventaire.txt");
    plan.probePath = plan.typedName;
    ExportRun run;
    {
        DeviceSetSeam seam(SpyGetClassDevs);
        run = Export(plan);
        EXPECT_EQ(1, g_spy.opens);
        EXPECT_EQ(nullptr, g_spy.classGuid) << "every setup class";
        EXPECT_EQ(static_cast<DWORD>(DIGCF_PRESENT | DIGCF_ALLCLASSES), g_spy.flags);
        EXPECT_EQ(1, g_spy.destroys) << "the set is released once";
    }
    DWORD count = 0;
    Bytes expected = ReportOfPresentDevices(&count);
    EXPECT_EQ(CountPresentDevices(nullptr), count);

    ExpectDialogAsShown(run, plan);
    EXPECT_EQ(0, run.overwritePrompts) << "a new file needs no confirmation";
    EXPECT_EQ(1, run.result);
    ExpectOneBox(run, DoneMessage(count, plan.typedName), kDoneCaption, kInformationIcon);
    if (!run.programBoxes.empty()) {
        EXPECT_TRUE(run.programBoxes[0].fileClosed) << "the file is closed before the message";
    }
    Bytes written;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &written));
    EXPECT_BYTES_EQ(expected, written);

    // The devices made for this test are in it with their texts, whole.
    const struct {
        const char* what;
        std::wstring lines;
    } kInReport[] = {
        {"odd device", L"]\r\nNom du p\u00e9riph\u00e9rique : " + kOddName +
                           L"\r\nID Mat\u00e9riel : " + kOddHardwareId + L"\r\nFabricant : " +
                           kOddManufacturer + L"\r\nPilote associ\u00e9 : " + kOddDriverFile +
                           L"\r\n\r\n"},
        {"long device", L"]\r\nNom du p\u00e9riph\u00e9rique : " + kLongDescription +
                            L"\r\nID Mat\u00e9riel : " + kLongHardwareId + L"\r\nFabricant : " +
                            kLongManufacturer + L"\r\nPilote associ\u00e9 : N/A\r\n\r\n"},
        {"bare device", L"]\r\nNom du p\u00e9riph\u00e9rique : Inconnu\r\nID Mat\u00e9riel : "
                        L"N/A\r\nFabricant : N/A\r\nPilote associ\u00e9 : N/A\r\n\r\n"},
    };
    for (const auto& c : kInReport) {
        SCOPED_TRACE(c.what);
        Bytes lines;
        AppendUnits(&lines, c.lines);
        EXPECT_TRUE(Contains(written, lines));
    }
    Bytes smiley = {0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_TRUE(Contains(written, smiley)) << "U+1F600 as its surrogate pair";
}

TEST_F(ExportTest, SaveOnTheShownNameWritesPeripheriquesTxtInTheStartingFolder) {
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    DialogPlan plan; // nothing typed: the dialog's own folder and name
    const std::wstring path = PathOf(L"peripheriques.txt");
    plan.probePath = path;
    ExportRun run = Export(plan);
    DWORD count = 0;
    Bytes expected = ReportOfPresentDevices(&count);
    ExpectDialogAsShown(run, plan);
    EXPECT_EQ(1, run.result);
    ExpectOneBox(run, DoneMessage(count, path), kDoneCaption, kInformationIcon);
    Bytes written;
    ASSERT_TRUE(ReadFileBytes(path, &written));
    EXPECT_BYTES_EQ(expected, written);
}

TEST_F(ExportTest, CancelShowsNothingAndLeavesTheFile) {
    DialogPlan plan;
    plan.typedName = PathOf(L"existant.txt");
    plan.cancel = true;
    const Bytes before = {'k', 'e', 'e', 'p', '\r', '\n'};
    WriteFileBytes(plan.typedName, before);
    ExportRun run = Export(plan);
    ExpectDialogAsShown(run, plan);
    EXPECT_EQ(0, run.result);
    EXPECT_TRUE(run.programBoxes.empty());
    EXPECT_EQ(0, run.overwritePrompts);
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &after));
    EXPECT_BYTES_EQ(before, after);
}

TEST_F(ExportTest, NameWithoutExtensionGetsTxt) {
    DialogPlan plan;
    const std::wstring withTxt = PathOf(L"sans_extension.txt");
    plan.typedName = PathOf(L"sans_extension");
    plan.probePath = withTxt;
    ExportRun run = Export(plan);
    DWORD count = 0;
    Bytes expected = ReportOfPresentDevices(&count);
    ExpectDialogAsShown(run, plan);
    EXPECT_EQ(1, run.result);
    ExpectOneBox(run, DoneMessage(count, withTxt), kDoneCaption, kInformationIcon);
    EXPECT_FALSE(FileExists(plan.typedName));
    Bytes written;
    ASSERT_TRUE(ReadFileBytes(withTxt, &written));
    EXPECT_BYTES_EQ(expected, written);
}

TEST_F(ExportTest, ExistingFileIsConfirmedEmptiedAndRewritten) {
    DialogPlan plan;
    plan.typedName = PathOf(L"ancien.txt");
    plan.probePath = plan.typedName;
    // Longer than any report here, so that bytes left over from it would show.
    WriteFileBytes(plan.typedName, Bytes(1 << 20, 'Z'));
    ExportRun run = Export(plan);
    DWORD count = 0;
    Bytes expected = ReportOfPresentDevices(&count);
    ASSERT_LT(expected.size(), static_cast<size_t>(1 << 20));
    EXPECT_EQ(1, run.overwritePrompts);
    EXPECT_EQ(1, run.result);
    ExpectOneBox(run, DoneMessage(count, plan.typedName), kDoneCaption, kInformationIcon);
    Bytes written;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &written));
    EXPECT_BYTES_EQ(expected, written);
}

TEST_F(ExportTest, EmptyDeviceSetGivesHeaderAloneAndZeroDevices) {
    DialogPlan plan;
    plan.typedName = PathOf(L"vide.txt");
    plan.probePath = plan.typedName;
    ExportRun run;
    {
        DeviceSetSeam seam(EmptyDeviceSet);
        run = Export(plan);
        EXPECT_EQ(1, g_spy.destroys);
    }
    EXPECT_EQ(1, run.result);
    ExpectOneBox(run, DoneMessage(0, plan.typedName), kDoneCaption, kInformationIcon);
    Bytes written;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &written));
    EXPECT_BYTES_EQ(MarkAndHeader(), written);
}

// ---- failures -------------------------------------------------------------------------------

TEST_F(ExportTest, FileHeldWithoutWriteSharingCannotBeCreated) {
    DialogPlan plan;
    plan.typedName = PathOf(L"verrouille.txt");
    const Bytes before = {'a', 'v', 'a', 'n', 't'};
    WriteFileBytes(plan.typedName, before);
    HANDLE holder = CreateFileW(plan.typedName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ExportRun run;
    {
        DeviceSetSeam seam(SpyGetClassDevs);
        run = Export(plan);
        EXPECT_EQ(0, g_spy.opens) << "no device set without a file";
    }
    CloseHandle(holder);
    EXPECT_EQ(1, run.overwritePrompts);
    EXPECT_EQ(0, run.result);
    ExpectOneBox(run, kCannotCreate, kErrorCaption, kErrorIcon);
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &after));
    EXPECT_BYTES_EQ(before, after);
}

TEST_F(ExportTest, RefusedDeviceSetLeavesTheMarkOnly) {
    DialogPlan plan;
    plan.typedName = PathOf(L"refus.txt");
    plan.probePath = plan.typedName;
    const DeviceSetApi original = g_deviceSetApi;
    ExportRun run;
    {
        DeviceSetSeam seam(RefuseDeviceSet);
        run = Export(plan);
        EXPECT_EQ(1, g_spy.opens);
        EXPECT_EQ(0, g_spy.destroys) << "a refused set is never destroyed";
    }
    EXPECT_EQ(0, run.result);
    ExpectOneBox(run, kNoDeviceSet, kErrorCaption, kErrorIcon);
    if (!run.programBoxes.empty()) {
        EXPECT_TRUE(run.programBoxes[0].fileClosed) << "the file is closed before the message";
    }
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(plan.typedName, &after));
    EXPECT_BYTES_EQ(Bytes({0xFF, 0xFE}), after);
    // The seam is back: the system's set is obtained again.
    EXPECT_TRUE(original.getClassDevs == g_deviceSetApi.getClassDevs);
    EXPECT_TRUE(original.destroyInfoList == g_deviceSetApi.destroyInfoList);
}

// A file on a full disk: a link inside the prefix's drive C to the Unix device that refuses
// every write. The link is made by the Unix ln, started from here.
class FullDiskTest : public ExportTest {
  protected:
    void SetUp() override {
        ExportTest::SetUp();
        WCHAR prefix[MAX_PATH] = {};
        DWORD n = GetEnvironmentVariableW(L"WINEPREFIX", prefix, ARRAYSIZE(prefix));
        ASSERT_TRUE(n > 0 && n < ARRAYSIZE(prefix)) << "WINEPREFIX names the Wine prefix";
        linkPath_ = L"C:\\halvoran_full.txt";
        DeleteFileW(linkPath_.c_str());
        std::wstring command =
            L"/bin/ln -sfn /dev/full \"" + std::wstring(prefix) + L"/drive_c/halvoran_full.txt\"";
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi))
            << "the Unix ln is started through Wine";
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        // Wine does not wait for a Unix child: wait for the link itself.
        for (int i = 0; i < 250 && !IsFullDevice(); ++i) {
            Sleep(20);
        }
        ASSERT_TRUE(IsFullDevice()) << "C:\\halvoran_full.txt leads to /dev/full";
    }
    void TearDown() override {
        DeleteFileW(linkPath_.c_str());
        ExportTest::TearDown();
    }
    bool IsFullDevice() {
        HANDLE h = CreateFileW(linkPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return false;
        }
        DWORD type = GetFileType(h);
        CloseHandle(h);
        return type == FILE_TYPE_CHAR;
    }
    std::wstring linkPath_;
};

// Two sizes of report: one larger than the stream's buffer fails on the way, one that stays
// in the buffer fails only when the last data are flushed at the close.
TEST_F(FullDiskTest, WriteFailureIsReportedNotSuccess) {
    const struct {
        const char* what;
        HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND, DWORD);
    } kCases[] = {
        {"every present device", SpyGetClassDevs},
        {"no device: mark and header only", EmptyDeviceSet},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        DialogPlan plan;
        plan.typedName = linkPath_;
        ExportRun run;
        {
            DeviceSetSeam seam(c.getClassDevs);
            run = Export(plan);
            EXPECT_EQ(1, g_spy.destroys);
        }
        EXPECT_EQ(0, run.result);
        ExpectOneBox(run, kWriteFailed, kErrorCaption, kErrorIcon);
        EXPECT_TRUE(IsFullDevice()) << "the link is left in place";
    }
}

TEST_F(ExportTest, FolderThatDoesNotExistIsRefusedByTheDialog) {
    DialogPlan plan;
    const std::wstring missingFolder = folder_ + L"\\dossier_absent";
    RemoveDirectoryW(missingFolder.c_str());
    ASSERT_FALSE(FileExists(missingFolder));
    plan.typedName = missingFolder + L"\\rapport.txt";
    ExportRun run;
    {
        DeviceSetSeam seam(SpyGetClassDevs);
        run = Export(plan);
        EXPECT_EQ(0, g_spy.opens);
    }
    EXPECT_EQ(0, run.result);
    EXPECT_TRUE(run.programBoxes.empty()) << "no message of the program";
    EXPECT_EQ(1u, run.dialogWarnings.size()) << "the dialog warns by itself";
    EXPECT_FALSE(FileExists(missingFolder));
    EXPECT_FALSE(FileExists(plan.typedName));
}

} // namespace
