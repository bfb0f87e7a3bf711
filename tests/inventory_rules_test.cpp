// The category table, the record defaults, the image-path rule and bounded text building:
// the rules that decide what the user sees, called directly.

#include <gtest/gtest.h>
#include <wchar.h>

#include "inventory/device_types.h"
#include "inventory/driver_file.h"
#include "inventory/text_format.h"

namespace {

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; *text; ++text) {
        if (*text < 0x80) {
            out += static_cast<char>(*text);
        } else {
            char hex[12];
            snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned>(*text));
            out += hex;
        }
    }
    return out;
}

#define EXPECT_WTEXT(expected, actual) EXPECT_EQ(Narrow(expected), Narrow(actual))

TEST(CategoryTable, LabelsAndClassesInOrder) {
    struct Row {
        const WCHAR* label;
        const char* guid;
    } const rows[kDeviceCategoryCount] = {
        {L"Tous les p\u00e9riph\u00e9riques (ALL)", nullptr},
        {L"Cartes R\u00e9seau (Network)", "{4D36E972-E325-11CE-BFC1-08002BE10318}"},
        {L"Lecteurs de Disque (Storage)", "{4D36E967-E325-11CE-BFC1-08002BE10318}"},
        {L"Contr\u00f4leurs IDE/SATA/AHCI", "{4D36E96A-E325-11CE-BFC1-08002BE10318}"},
        {L"Cartes Graphiques (Display)", "{4D36E968-E325-11CE-BFC1-08002BE10318}"},
        {L"Contr\u00f4leurs USB", "{36FC9E60-C465-11CF-8056-444553540000}"},
        {L"Cartes Audio (Media)", "{4D36E96C-E325-11CE-BFC1-08002BE10318}"},
    };
    for (int i = 0; i < kDeviceCategoryCount; ++i) {
        SCOPED_TRACE("category " + std::to_string(i));
        EXPECT_WTEXT(rows[i].label, DeviceCategoryTable[i].label);
        if (rows[i].guid == nullptr) {
            EXPECT_EQ(nullptr, DeviceCategoryTable[i].classGuid);
            continue;
        }
        ASSERT_NE(nullptr, DeviceCategoryTable[i].classGuid);
        const GUID& g = *DeviceCategoryTable[i].classGuid;
        char text[40];
        snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                 static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                 g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
        EXPECT_STREQ(rows[i].guid, text);
    }
}

TEST(CategoryTable, ValidIndexes) {
    const struct {
        int index;
        bool valid;
    } cases[] = {{-1, false}, {0, true}, {6, true}, {7, false}, {100, false}, {-100, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.valid, IsValidCategoryIndex(c.index)) << "index " << c.index;
    }
}

TEST(DeviceRecordReset, DefaultsThenZerosToCapacity) {
    DeviceRecord record;
    memset(&record, 0x5a, sizeof(record));
    ResetDeviceRecord(&record);
    const struct {
        const char* field;
        const WCHAR* text;
        const WCHAR* expected;
    } fields[] = {{"name", record.name, L"Inconnu"},
                  {"hardwareId", record.hardwareId, L"N/A"},
                  {"manufacturer", record.manufacturer, L"N/A"},
                  {"driverFile", record.driverFile, L"N/A"}};
    for (const auto& f : fields) {
        SCOPED_TRACE(f.field);
        EXPECT_WTEXT(f.expected, f.text);
        size_t length = wcslen(f.expected);
        for (size_t i = length; i < kFieldCapacity; ++i) {
            ASSERT_EQ(0, f.text[i]) << "unit " << i;
        }
    }
}

// The image-path rule: text after the last separator, one closing quote dropped.
TEST(FileNameFromImagePath, EdgeCaseTable) {
    const struct {
        const WCHAR* imagePath;
        int result;
        const WCHAR* shown;
    } cases[] = {
        {L"\\SystemRoot\\System32\\drivers\\example.sys", 1, L"example.sys"},
        {L"System32\\DRIVERS\\Example.SYS", 1, L"Example.SYS"},
        {L"\"C:\\Program Files\\Vendor\\service.exe\"", 1, L"service.exe"},
        {L"C:\\Windows\\system32\\svchost.exe -k netsvcs -p", 1, L"svchost.exe -k netsvcs -p"},
        {L"C:\\Tools\\agent.exe /run", 1, L"run"},
        {L"\"C:\\Tools\\agent.exe\" -service", 1, L"agent.exe\" -service"},
        {L"C:\\Drivers\\", 0, L"N/A"},
        {L"C:\\Drivers\\\"", 1, L"\""},
        {L"C:/Unix/style/driver.sys", 1, L"driver.sys"},
        {L"plain.sys", 1, L"plain.sys"},
        {L"%SystemRoot%\\system32\\x.sys", 1, L"x.sys"},
        {L"", 0, L"N/A"},
        {L"\\", 0, L"N/A"},
        {L"\"", 1, L"\""},
        {L"a\"", 1, L"a"},
        {L"C:\\d\\p\u00e9riph\u00e9rique.sys", 1, L"p\u00e9riph\u00e9rique.sys"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.imagePath));
        WCHAR out[kFieldCapacity];
        wcscpy(out, L"N/A");
        EXPECT_EQ(c.result, FileNameFromImagePath(c.imagePath, out, ARRAYSIZE(out)));
        EXPECT_WTEXT(c.shown, out);
    }
}

TEST(FileNameFromImagePath, LongNameIsCutToCapacity) {
    WCHAR path[1024];
    wcscpy(path, L"C:\\d\\");
    for (int i = 0; i < 600; ++i) {
        wcscat(path, L"n");
    }
    const struct {
        DWORD capacity;
        size_t length;
    } cases[] = {{512, 511}, {8, 7}, {2, 1}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("capacity " + std::to_string(c.capacity));
        WCHAR out[kFieldCapacity + 1];
        wmemset(out, L'#', ARRAYSIZE(out));
        EXPECT_EQ(1, FileNameFromImagePath(path, out, c.capacity));
        EXPECT_EQ(c.length, wcslen(out));
        EXPECT_EQ(L'#', out[c.capacity]) << "wrote past the capacity";
    }
}

TEST(FileNameFromImagePath, QuotedNameCutKeepsNoQuote) {
    // "C:\x\abcdef" cut to 4 units: the quote is dropped before the cut.
    WCHAR out[8];
    EXPECT_EQ(1, FileNameFromImagePath(L"\"C:\\x\\abcdef\"", out, 5));
    EXPECT_WTEXT(L"abcd", out);
}

TEST(FileNameFromImagePathData, TextEndsWithTheData) {
    // The buffer still holds an earlier, longer value; the new value carries no terminator.
    const struct {
        const char* what;
        const WCHAR* newData;
        DWORD dataBytes;
        int result;
        const WCHAR* shown;
    } cases[] = {
        {"short value without terminator", L"C:\\ok.sys", 9 * sizeof(WCHAR), 1, L"ok.sys"},
        {"value with its terminator", L"C:\\ok.sys", 10 * sizeof(WCHAR), 1, L"ok.sys"},
        {"odd byte count", L"C:\\ok.sys", 9 * sizeof(WCHAR) + 1, 1, L"ok.sys"},
        {"empty value", L"", 0, 0, L"N/A"},
        {"value ending in a separator", L"C:\\dir\\", 7 * sizeof(WCHAR), 0, L"N/A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WCHAR buffer[1024];
        wmemset(buffer, L'z', ARRAYSIZE(buffer));
        buffer[40] = L'\\';
        buffer[ARRAYSIZE(buffer) - 1] = 0;
        memcpy(buffer, c.newData, c.dataBytes & ~1u);
        WCHAR out[kFieldCapacity];
        wcscpy(out, L"N/A");
        EXPECT_EQ(c.result,
                  FileNameFromImagePathData(buffer, ARRAYSIZE(buffer), c.dataBytes, out, 512));
        EXPECT_WTEXT(c.shown, out);
    }
}

TEST(FileNameFromImagePathData, FullBufferGivesWayToTheTerminator) {
    // 2048 bytes with no terminator: the last unit is replaced, the rest is read.
    WCHAR buffer[1024];
    wmemset(buffer, L'y', ARRAYSIZE(buffer));
    buffer[3] = L'\\';
    WCHAR out[kFieldCapacity + 1];
    EXPECT_EQ(1, FileNameFromImagePathData(buffer, ARRAYSIZE(buffer), 2048, out, ARRAYSIZE(out)));
    EXPECT_EQ(0, buffer[1023]);
    EXPECT_EQ(512u, wcslen(out));
    // Data said to be longer than the buffer are still ended inside it.
    wmemset(buffer, L'y', ARRAYSIZE(buffer));
    EXPECT_EQ(1, FileNameFromImagePathData(buffer, 8, 4000, out, ARRAYSIZE(out)));
    EXPECT_WTEXT(L"yyyyyyy", out);
}

TEST(GetDriverFileName, NullOutOrZeroCapacityTouchesNothing) {
    WCHAR out[4] = {L'x', L'y', L'z', 0};
    SP_DEVINFO_DATA data = {};
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, out, 0));
    EXPECT_WTEXT(L"xyz", out);
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, nullptr, 512));
    EXPECT_EQ(0, FileNameFromImagePath(L"a.sys", out, 0));
    EXPECT_EQ(0, FileNameFromImagePath(L"a.sys", nullptr, 512));
    EXPECT_WTEXT(L"xyz", out);
}

TEST(GetDriverFileName, FailedLookupLeavesNotAvailable) {
    // A device the set does not hold has no service: "N/A" and 0.
    WCHAR out[16];
    wcscpy(out, L"stale");
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, out, ARRAYSIZE(out)));
    EXPECT_WTEXT(L"N/A", out);
    WCHAR small[2];
    EXPECT_EQ(0, GetDriverFileName(INVALID_HANDLE_VALUE, &data, small, ARRAYSIZE(small)));
    EXPECT_WTEXT(L"N", small);
}

TEST(TextAppend, CutsToCapacityAndStaysTerminated) {
    const struct {
        DWORD capacity;
        const WCHAR* first;
        const WCHAR* second;
        const WCHAR* expected;
    } cases[] = {
        {16, L"abc", L"def", L"abcdef"},
        {6, L"abc", L"def", L"abcde"},
        {4, L"abcdef", L"gh", L"abc"},
        {1, L"abc", L"", L""},
        {8, L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.expected));
        WCHAR buffer[16];
        wmemset(buffer, L'#', ARRAYSIZE(buffer));
        DWORD length = 0;
        buffer[0] = 0;
        TextAppend(buffer, c.capacity, &length, c.first);
        TextAppend(buffer, c.capacity, &length, c.second);
        EXPECT_WTEXT(c.expected, buffer);
        EXPECT_EQ(wcslen(c.expected), length);
    }
}

TEST(TextAppend, SurrogatePairIsCutByUnits) {
    WCHAR buffer[3];
    DWORD length = 0;
    TextAppend(buffer, ARRAYSIZE(buffer), &length, L"a\xd83d\xde00");
    EXPECT_EQ(2u, length);
    EXPECT_EQ(0xd83d, buffer[1]);
    EXPECT_EQ(0, buffer[2]);
}

TEST(TextAppendUnsigned, Decimal) {
    const struct {
        DWORD value;
        const WCHAR* text;
    } cases[] = {{0, L"0"}, {1, L"1"}, {10, L"10"}, {4294967295u, L"4294967295"}};
    for (const auto& c : cases) {
        WCHAR buffer[16];
        DWORD length = 0;
        buffer[0] = 0;
        TextAppendUnsigned(buffer, ARRAYSIZE(buffer), &length, c.value);
        EXPECT_WTEXT(c.text, buffer) << c.value;
    }
}

} // namespace
