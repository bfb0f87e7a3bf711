// The export driven through Wine's real save dialog and message boxes: a second thread plays the
// user (types a name, presses Save, answers the overwrite prompt, reads the outcome, presses OK).

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include "report/export.h"
#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"

namespace {

// The report of the devices present now, as the system describes them, spelled here.
Bytes ReportOfPresentDevices(DWORD* count) {
    std::wstring report = kReportHead;
    const std::vector<ListedDevice> devices = ReadPresentDevices(nullptr);
    for (size_t i = 0; i < devices.size(); ++i) {
        report += ReportRecord(i + 1, devices[i]);
    }
    *count = static_cast<DWORD>(devices.size());
    return Units(report);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True when nobody holds the file open: an open that shares nothing succeeds.
bool IsClosed(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    CloseHandle(file);
    return file != INVALID_HANDLE_VALUE;
}

// The system's set of every present device, counted like the stand-ins.
HDEVINFO WINAPI PresentSet(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags) {
    ++g_deviceSetCalls.opens;
    EXPECT_EQ(nullptr, classGuid) << "every setup class";
    EXPECT_EQ(static_cast<DWORD>(DIGCF_PRESENT | DIGCF_ALLCLASSES), flags);
    return SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
}

// What the user saw and did during one export.
struct ExportRun {
    bool answered;
    int result;
    HWND dialogOwner;
    std::wstring shownName;
    std::vector<std::wstring> filters;
    int filterIndex;
    int prompts;                // overwrite prompts, answered Yes
    int dialogWarnings;         // other boxes of the dialog itself, answered OK
    std::vector<BoxSeen> boxes; // the program's boxes, owned by its window
    bool closedAtBox;           // the file was closed while the program's box was shown
};

// The dialog's control of that identifier, at any depth: systems nest them differently.
HWND DialogControl(HWND dialog, int id) {
    HWND found = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && found == nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        found = GetDlgCtrlID(child) == id ? child : DialogControl(child, id);
    }
    return found;
}

// The file-name edit: inside the combo box cmb13 (an extended one or not), or a plain edt1.
HWND FileNameEdit(HWND dialog) {
    HWND combo = DialogControl(dialog, cmb13);
    if (combo == nullptr) {
        return DialogControl(dialog, edt1);
    }
    return ClassName(combo) == L"ComboBoxEx32"
               ? reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0))
               : FindWindowExW(combo, nullptr, L"Edit", nullptr);
}

// Runs the export from owner; types typed (empty: keeps the shown name) and presses Save, or
// Cancel; leaves the dialog when it refuses the name by itself.
ExportRun Export(HWND owner, const std::wstring& typed, bool cancel, const std::wstring& written) {
    ExportRun run = {};
    HWND saveDialog = nullptr;
    bool leave = false;
    auto play = [&](HWND dialog) {
        if (dialog == saveDialog) { // Save pressed; left once it has refused the name by itself
            if (leave && IsWindowEnabled(dialog)) {
                Press(dialog, IDCANCEL);
                return true;
            }
            return false;
        }
        HWND edit = FileNameEdit(dialog), types = DialogControl(dialog, cmb1);
        if (edit != nullptr && types != nullptr) {
            if (!IsWindowEnabled(dialog) || WindowText(edit).empty()) {
                return false; // still being set up
            }
            saveDialog = dialog;
            run.dialogOwner = GetWindow(dialog, GW_OWNER);
            run.shownName = WindowText(edit);
            run.filters = ComboItems(types);
            run.filterIndex = static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0));
            if (!typed.empty()) {
                SetWindowTextW(edit, typed.c_str());
            }
            Press(dialog, cancel ? IDCANCEL : IDOK);
            return false;
        }
        if (GetDlgItem(dialog, 0xFFFF) == nullptr) {
            return false; // not a message box, or not one yet
        }
        BoxSeen box = ReadBox(dialog);
        if (box.owner == owner) {
            run.boxes.push_back(box);
            run.closedAtBox = IsClosed(written);
            Press(dialog, IDOK);
        } else if (std::count(box.buttons.begin(), box.buttons.end(), IDYES) != 0) {
            ++run.prompts;
            Press(dialog, IDYES);
        } else {
            ++run.dialogWarnings;
            leave = true;
            Press(dialog, IDOK);
        }
        return true;
    };
    run.answered = PlayUser([&] { run.result = ExportDevicesToText(owner); }, play);
    return run;
}

bool IsWritableDevice(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD type = file != INVALID_HANDLE_VALUE ? GetFileType(file) : FILE_TYPE_UNKNOWN;
    CloseHandle(file);
    return type == FILE_TYPE_CHAR;
}

// Whether a full disk can be had: only Wine, with its drive Z at the Unix root, can link a
// Windows file name to /dev/full, the Unix device that refuses every write.
bool FullDiskAvailable() {
    return RunningUnderWine() && IsWritableDevice(L"Z:\\dev\\full") &&
           GetFileAttributesW(L"Z:\\bin\\ln") != INVALID_FILE_ATTRIBUTES;
}

// A link in the prefix's drive C to /dev/full, made by the Unix ln started through Wine (which
// does not wait for it: the link itself is awaited).
bool MakeFullDiskLink(const std::wstring& path) {
    wchar_t prefix[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", prefix, ARRAYSIZE(prefix));
    std::wstring command =
        L"/bin/ln -sfn /dev/full \"" + std::wstring(prefix) + L"/drive_c/" + path.substr(3) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 250 && !IsWritableDevice(path.c_str()); ++i) {
        Sleep(20);
    }
    return IsWritableDevice(path.c_str());
}

// A device with every field accented or beyond the BMP, and one with 511-unit texts.
const ListedDevice kOdd = {L"Carte r\u00e9seau (contr\u00f4leur \u00ab\u00a0\u00e9l\u00e8ve"
                           L"\u00a0\u00bb) \U0001F600 \u4e2d\u6587",
                           L"PCI\\VEN_8086&DEV_10D3&SUBSYS_07D015AD&REV_00",
                           L"Soci\u00e9t\u00e9 fran\u00e7aise d'\u00e9lectronique",
                           L"pilote_r\u00e9seau \u00e0 \u00e9t\u00e9.sys"};
const std::wstring kLongText = L"Contr\u00f4leur audio " + std::wstring(494, L'\u00e9');

TestDevice g_odd, g_long;

class ExportTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!SystemChangesAllowed()) {
            return;
        }
        RemoveLeftoverTestData();
        ASSERT_TRUE(CreateShownTestDevice(TestCategoryGuid(1), L"HALVORAN_TEST_EXPORT_ODD", kOdd,
                                          L"HalvTestExportSvc", &g_odd));
        ASSERT_TRUE(CreateTestDevice(TestCategoryGuid(6), L"HALVORAN_TEST_EXPORT_LONG", &g_long));
        ASSERT_TRUE(SetTestDeviceText(&g_long, SPDRP_DEVICEDESC, kLongText.c_str()));
        ASSERT_TRUE(SetTestDeviceText(&g_long, SPDRP_MFG, kLongText.c_str()));
    }
    static void TearDownTestSuite() {
        RemoveTestDevice(&g_odd);
        RemoveTestDevice(&g_long);
        RemoveLeftoverTestData();
    }
    void SetUp() override {
        SKIP_UNLESS_SYSTEM_CHANGES_ALLOWED("creates devices and registry keys; the save dialog "
                                           "records its folders in the user's registry");
        folder_ = TempPath(L"halvoran_export_test\\");
        CreateDirectoryW(folder_.c_str(), nullptr);
        ASSERT_TRUE(Exists(folder_));
        owner_ = CreateWindowExW(0, L"Static", L"Halvoran", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                 40, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner_);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring folder_;
    HWND owner_ = nullptr;
};

enum Before { kNoFile, kSmallFile, kLargeFile, kLockedFile, kFullDisk };
enum After { kReport, kHeaderOnly, kMarkOnly, kUnchanged, kNothing, kNotRead };

const wchar_t kCannotCreate[] = L"Impossible de cr\u00e9er le fichier s\u00e9lectionn\u00e9.";
const wchar_t kNoDeviceSet[] = L"Impossible d'obtenir la liste des p\u00e9riph\u00e9riques.";
const wchar_t kWriteFailed[] = L"Une erreur s'est produite pendant l'\u00e9criture du fichier.";

// Each case through the real dialog: result 1 with the success message, or 0 with the error
// shown (none when null); the file as it is afterwards.
TEST_F(ExportTest, ThroughTheSaveDialog) {
    const struct {
        const char* what;
        const wchar_t* typed; // in the test folder unless absolute; empty: the shown name
        Before before;
        int prompts, result;
        After after;
        const wchar_t* error = nullptr;
        const wchar_t* written = nullptr; // the file written or left, when not the one typed
        decltype(DeviceSetApi::getClassDevs) getClassDevs = PresentSet;
        bool cancel = false;
    } kCases[] = {
        {"new file", L"inventaire.txt", kNoFile, 0, 1, kReport},
        {"shown name in the current folder", L"", kNoFile, 0, 1, kReport, nullptr,
         L"peripheriques.txt"},
        {"cancel", L"existant.txt", kSmallFile, 0, 0, kUnchanged, nullptr, nullptr, PresentSet,
         true},
        {"name without extension", L"sans_extension", kNoFile, 0, 1, kReport, nullptr,
         L"sans_extension.txt"},
        {"existing file emptied", L"ancien.txt", kLargeFile, 1, 1, kReport},
        {"no device", L"vide.txt", kNoFile, 0, 1, kHeaderOnly, nullptr, nullptr, EmptyDeviceSet},
        {"file locked by another", L"verrouille.txt", kLockedFile, 1, 0, kUnchanged, kCannotCreate},
        {"device set refused", L"refus.txt", kNoFile, 0, 0, kMarkOnly, kNoDeviceSet, nullptr,
         RefusedDeviceSet},
        {"missing folder", L"dossier_absent\\rapport.txt", kNoFile, 0, 0, kNothing, nullptr,
         L"dossier_absent"},
        {"full disk, large report", L"C:\\halvoran_full.txt", kFullDisk, 0, 0, kNotRead,
         kWriteFailed},
        {"full disk, mark and header only", L"C:\\halvoran_full.txt", kFullDisk, 0, 0, kNotRead,
         kWriteFailed, nullptr, EmptyDeviceSet},
    };
    wchar_t savedDirectory[MAX_PATH];
    GetCurrentDirectoryW(ARRAYSIZE(savedDirectory), savedDirectory);
    SetCurrentDirectoryW(folder_.c_str()); // where the dialog opens
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.before == kFullDisk && !FullDiskAvailable()) {
            printf("skipped case \"%s\": no file here refuses writes (Wine's link to /dev/full)\n",
                   c.what);
            continue;
        }
        const bool absolute = c.typed[0] != 0 && c.typed[1] == L':';
        const std::wstring typed = c.typed[0] == 0 || absolute ? c.typed : folder_ + c.typed;
        const wchar_t* const named = c.written != nullptr ? c.written : c.typed;
        const std::wstring written = absolute ? named : folder_ + named;
        DeleteFileW(written.c_str());
        DeleteFileW(typed.c_str()); // left by an earlier run that failed
        const Bytes before(c.before == kLargeFile ? 1 << 20 : 5, 'Z'); // more than any report
        if (c.before == kSmallFile || c.before == kLargeFile || c.before == kLockedFile) {
            FILE* file = _wfopen(written.c_str(), L"wb");
            ASSERT_NE(nullptr, file);
            fwrite(before.data(), 1, before.size(), file);
            fclose(file);
        }
        HANDLE holder = c.before != kLockedFile
                            ? INVALID_HANDLE_VALUE
                            : CreateFileW(written.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        ASSERT_TRUE(c.before != kFullDisk || MakeFullDiskLink(written));

        g_deviceSetCalls = {};
        ExportRun run = {};
        {
            ScopedDeviceSetApi counting(c.getClassDevs, CountedDestroy);
            run = Export(owner_, typed, c.cancel, written);
        }
        CloseHandle(holder);
        DWORD count = 0;
        const Bytes report = ReportOfPresentDevices(&count);

        EXPECT_TRUE(run.answered) << "a dialog was left unanswered";
        EXPECT_EQ(owner_, run.dialogOwner);
        EXPECT_WTEXT(L"peripheriques.txt", run.shownName);
        EXPECT_EQ(std::vector<std::wstring>({L"Fichier texte (*.txt)", L"Tous les fichiers (*.*)"}),
                  run.filters);
        EXPECT_EQ(0, run.filterIndex);
        EXPECT_EQ(c.prompts, run.prompts);
        EXPECT_EQ(c.after == kNothing ? 1 : 0, run.dialogWarnings) << "the dialog's own refusal";
        EXPECT_EQ(c.result, run.result);
        // The set is opened once the file is, and released unless refused.
        const int opens = c.cancel || c.after == kNothing || c.before == kLockedFile ? 0 : 1;
        EXPECT_EQ(opens, g_deviceSetCalls.opens);
        EXPECT_EQ(c.getClassDevs == RefusedDeviceSet ? 0 : opens, g_deviceSetCalls.destroys);

        ASSERT_EQ(c.result == 1 || c.error != nullptr ? 1u : 0u, run.boxes.size());
        if (!run.boxes.empty()) {
            const BoxSeen& box = run.boxes[0];
            const std::wstring exported =
                std::to_wstring(c.getClassDevs == EmptyDeviceSet ? 0 : count) +
                L" p\u00e9riph\u00e9rique(s) export\u00e9(s) dans :\r\n" + written;
            EXPECT_WTEXT(c.result == 1 ? exported : std::wstring(c.error), box.text);
            EXPECT_WTEXT(c.result == 1 ? L"Export termin\u00e9" : L"Erreur d'export", box.caption);
            EXPECT_EQ(LoadIconW(nullptr, c.result == 1 ? IDI_INFORMATION : IDI_ERROR), box.icon);
            EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
            EXPECT_TRUE(run.closedAtBox || c.before == kLockedFile || c.before == kFullDisk)
                << "the file is closed before the message";
        }
        const Bytes kept[] = {report, Units(kReportHead), {0xFF, 0xFE}, before}; // by After
        const Bytes after = FileBytes(written);
        EXPECT_TRUE(c.after > kUnchanged || kept[c.after] == after) << after.size() << " bytes";
        EXPECT_TRUE(c.after != kNothing || !Exists(written)) << "made by the export";
        EXPECT_TRUE(typed == written || typed.empty() || !Exists(typed))
            << "a file by another name";
        DeleteFileW(written.c_str());
    }
    SetCurrentDirectoryW(savedDirectory);
}

// The report holds the test devices' texts whole, as their records.
TEST_F(ExportTest, ReportHoldsEveryTextWhole) {
    const std::wstring path = folder_ + L"textes.txt";
    ExportRun run = Export(owner_, path, false, path);
    EXPECT_EQ(1, run.result);
    const Bytes written = FileBytes(path);
    DeleteFileW(path.c_str());
    for (const ListedDevice& device : {kOdd, ListedDevice{kLongText, L"N/A", kLongText, L"N/A"}}) {
        EXPECT_TRUE(Contains(written, Units(ReportRecord(0, device).substr(2)))) << device;
    }
}

} // namespace
