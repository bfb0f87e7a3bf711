// The rules that decide what the user sees, called directly: the category table, the record
// defaults, the image-path rule, bounded text building, the detail text and the window's layout.

#include <wchar.h>

#include "inventory/driver_file.h"
#include "inventory/text_format.h"
#include "test_devices.h"
#include "test_text.h"
#include "test_ui.h"
#include "ui/device_list.h"

namespace {

// The program's table against the tests' own, written out apart from it: every other test
// takes the categories from the tests' table.
TEST(CategoryTable, LabelsAndClassesInOrder) {
    for (int i = 0; i < kDeviceCategoryCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_WTEXT(kTestCategories[i].label, DeviceCategoryTable[i].label);
        const GUID* g = DeviceCategoryTable[i].classGuid;
        ASSERT_EQ(kTestCategories[i].classGuid == nullptr, g == nullptr);
        if (g != nullptr) {
            EXPECT_WTEXT(kTestCategories[i].classGuid, GuidText(*g));
            EXPECT_WTEXT(kTestCategories[i].classGuid, GuidText(*TestCategoryGuid(i)));
        }
    }
    const int indexes[] = {-100, -1, 0, 6, 7, 100};
    for (int index : indexes) {
        EXPECT_EQ(index >= 0 && index <= 6, IsValidCategoryIndex(index)) << index;
    }
}

TEST(DeviceRecord, ResetGivesDefaultsThenZeros) {
    DeviceRecord r;
    memset(&r, 0x5a, sizeof(r));
    ResetDeviceRecord(&r);
    const struct {
        const WCHAR *text, *expected;
    } fields[] = {{r.name, L"Inconnu"},
                  {r.hardwareId, L"N/A"},
                  {r.manufacturer, L"N/A"},
                  {r.driverFile, L"N/A"}};
    for (const auto& f : fields) {
        EXPECT_WTEXT(f.expected, f.text);
        for (size_t i = wcslen(f.expected); i < kFieldCapacity; ++i) {
            ASSERT_EQ(0, f.text[i]) << Narrow(f.expected) << " unit " << i;
        }
    }
}

// The text after the last backslash or slash, one closing quote dropped unless it stands alone.
TEST(FileNameFromImagePath, EdgeCases) {
    const struct {
        const WCHAR *imagePath, *shown; // "N/A": result 0, out untouched
    } cases[] = {
        {L"\\SystemRoot\\System32\\drivers\\example.sys", L"example.sys"},
        {L"System32\\DRIVERS\\Example.SYS", L"Example.SYS"},
        {L"\"C:\\Program Files\\Vendor\\service.exe\"", L"service.exe"},
        {L"C:\\Windows\\system32\\svchost.exe -k netsvcs -p", L"svchost.exe -k netsvcs -p"},
        {L"C:\\Tools\\agent.exe /run", L"run"},
        {L"\"C:\\Tools\\agent.exe\" -service", L"agent.exe\" -service"},
        {L"C:\\Drivers\\", L"N/A"},
        {L"C:\\Drivers\\\"", L"\""},
        {L"C:/Unix/style/driver.sys", L"driver.sys"},
        {L"plain.sys", L"plain.sys"},
        {L"%SystemRoot%\\system32\\x.sys", L"x.sys"},
        {L"", L"N/A"},
        {L"\"", L"\""},
        {L"a\"", L"a"},
        {L"C:\\d\\p\u00e9riph\u00e9rique.sys", L"p\u00e9riph\u00e9rique.sys"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.imagePath));
        WCHAR out[kFieldCapacity] = L"N/A";
        EXPECT_EQ(wcscmp(c.shown, L"N/A") ? 1 : 0,
                  FileNameFromImagePath(c.imagePath, out, ARRAYSIZE(out)));
        EXPECT_WTEXT(c.shown, out);
    }
}

TEST(FileNameFromImagePath, CutToCapacityAndStillFound) {
    const std::wstring path = L"\"C:\\d\\" + std::wstring(600, L'n') + L"\"";
    const DWORD capacities[] = {512, 8, 2, 1};
    for (DWORD capacity : capacities) {
        SCOPED_TRACE(capacity);
        WCHAR out[kFieldCapacity + 1];
        wmemset(out, L'#', ARRAYSIZE(out));
        EXPECT_EQ(1, FileNameFromImagePath(path.c_str(), out, capacity));
        EXPECT_WTEXT(std::wstring(capacity - 1, L'n'), out);
        EXPECT_EQ(L'#', out[capacity]) << "wrote past the capacity";
    }
    WCHAR out[4] = L"xyz";
    SP_DEVINFO_DATA data = {};
    EXPECT_EQ(0, FileNameFromImagePath(L"a.sys", out, 0));
    EXPECT_EQ(0, FileNameFromImagePath(L"a.sys", nullptr, 512));
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, out, 0));
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, nullptr, 512));
    EXPECT_WTEXT(L"xyz", out);
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, out, 2)); // no service
    EXPECT_WTEXT(L"N", out);
}

// The registry buffer may still hold an earlier, longer value: the text ends with the new data,
// an odd last byte being one more unit whose high byte is zero.
TEST(FileNameFromImagePathData, TextEndsWithTheData) {
    const WCHAR kHeld = L'\u0179'; // what the buffer held: both bytes set
    const struct {
        const char* what;
        const WCHAR* data;
        DWORD bytes;
        DWORD capacity;
        const WCHAR* shown; // null: the held units up to the field's capacity
    } cases[] = {
        {"no terminator", L"C:\\ok.sys", 18, 1024, L"ok.sys"},
        {"with terminator", L"C:\\ok.sys", 20, 1024, L"ok.sys"},
        {"odd, the terminator's low byte", L"C:\\ok.sys", 19, 1024, L"ok.sys"},
        {"1 byte", L"4", 1, 1024, L"4"},
        {"3 bytes", L"ab", 3, 1024, L"ab"},
        {"odd, ending in a separator", L"C:\\dir\\", 13, 1024, L"N/A"},
        {"odd, a byte after the closing quote", L"\"C:\\a.sys\"x", 21, 1024, L"a.sys\"x"},
        {"empty", L"", 0, 1024, L"N/A"},
        {"ends in a separator", L"C:\\dir\\", 14, 1024, L"N/A"},
        {"full buffer, last unit gives way", L"", 2048, 1024, nullptr},
        {"2047 bytes, last unit gives way", L"", 2047, 1024, nullptr},
        {"data said longer than the buffer", L"", 4000, 8,
         L"\u0179\u0179\u0179\u0179\u0179\u0179\u0179"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WCHAR buffer[1024];
        wmemset(buffer, kHeld, ARRAYSIZE(buffer));
        buffer[40] = L'\\';
        const size_t stored = (wcslen(c.data) + 1) * sizeof(WCHAR);
        memcpy(buffer, c.data, c.bytes <= stored ? c.bytes : 0);
        WCHAR out[kFieldCapacity + 1] = L"N/A";
        const std::wstring shown = c.shown ? c.shown : std::wstring(512, kHeld);
        EXPECT_EQ(shown != L"N/A",
                  FileNameFromImagePathData(buffer, c.capacity, c.bytes, out, ARRAYSIZE(out)));
        EXPECT_WTEXT(shown, out);
        const DWORD end = (c.bytes + 1) / 2 < c.capacity - 1 ? (c.bytes + 1) / 2 : c.capacity - 1;
        EXPECT_EQ(0, buffer[end]);
    }
}

TEST(TextAppend, CutsToCapacityByUnitsAndStaysTerminated) {
    const struct {
        DWORD capacity;
        const WCHAR *first, *second, *expected;
    } cases[] = {
        {16, L"abc", L"def", L"abcdef"},
        {6, L"abc", L"def", L"abcde"},
        {4, L"abcdef", L"gh", L"abc"},
        {1, L"abc", L"", L""},
        {8, L"", L"", L""},
        {3, L"a\xd83d\xde00", L"", L"a\xd83d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.expected));
        WCHAR buffer[16];
        wmemset(buffer, L'#', ARRAYSIZE(buffer));
        DWORD length = 0;
        TextAppend(buffer, c.capacity, &length, c.first);
        TextAppend(buffer, c.capacity, &length, c.second);
        EXPECT_WTEXT(c.expected, buffer);
        EXPECT_EQ(wcslen(c.expected), length);
    }
    const struct {
        DWORD value;
        const WCHAR* text;
    } numbers[] = {{0, L"0"}, {1, L"1"}, {10, L"10"}, {4294967295u, L"4294967295"}};
    for (const auto& n : numbers) {
        WCHAR buffer[16] = L"[";
        DWORD length = 1;
        TextAppendUnsigned(buffer, ARRAYSIZE(buffer), &length, n.value);
        EXPECT_WTEXT(std::wstring(L"[") + n.text, buffer);
    }
}

// Buttons keep their sizes at the right, 10 px apart; the pane is 95 high, 10 px above the
// bottom; the list fills what is left; sizes stop at zero.
TEST(ControlLayout, ForEachClientSize) {
    const struct {
        int width, height;
        const char* expected; // selector | export | About | list | pane
    } kCases[] = {
        {1000, 600, "10,10 720x200 | 740,10 155x25 | 905,10 85x25 | 10,45 980x440 | 10,495 980x95"},
        {560, 330, "10,10 280x200 | 300,10 155x25 | 465,10 85x25 | 10,45 540x170 | 10,225 540x95"},
        {280, 160, "10,10 0x200 | 20,10 155x25 | 185,10 85x25 | 10,45 260x0 | 10,55 260x95"},
        {100, 50, "10,10 0x200 | -160,10 155x25 | 5,10 85x25 | 10,45 80x0 | 10,-55 80x95"},
        {0, 0, "10,10 0x200 | -260,10 155x25 | -95,10 85x25 | 10,45 0x0 | 10,-105 0x95"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        ControlPlacement computed[kControlCount];
        ComputeControlLayout(c.width, c.height, computed);
        EXPECT_EQ(c.expected, DescribeLayout(computed));
    }
}

// Each field as it is, percent signs included, under its label; the whole cut to 2047 units.
TEST(DetailTextTest, FourLabelledLinesCutToTheCapacity) {
    const std::wstring k511 = std::wstring(511, L'x');
    std::wstring pairs = L"a"; // 511 units; the 2047th unit of the text is a pair's first half
    for (int i = 0; i < 255; ++i) {
        pairs += L"\U0001F5A5";
    }
    const ListedDevice kCases[] = {{L"%s %ls", L"%d", L"%%", L"%n"}, {k511, k511, k511, pairs}};
    for (const ListedDevice& c : kCases) {
        SCOPED_TRACE(Narrow(c.name));
        wchar_t text[2048 + 8];
        wmemset(text, L'#', ARRAYSIZE(text));
        FormatDeviceDetails(c.name.c_str(), c.hardwareId.c_str(), c.manufacturer.c_str(),
                            c.driverFile.c_str(), text, 2048);
        EXPECT_WTEXT(DetailsOf(c).substr(0, 2047), text);
        EXPECT_EQ(std::wstring(8, L'#'), std::wstring(text + 2048, 8)) << "written past the end";
    }
}

} // namespace
