// The inventory report's bytes, written through real files and read back byte for byte.
// Expected bytes are spelled here independently of the program: Latin-1 texts (every character
// below U+0100 is one UTF-16 unit of the same value) and explicit byte lists.

#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report/inventory_report.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Each character of a Latin-1 text as one little-endian unit.
void AppendLatin1(Bytes* out, const std::string& text) {
    for (unsigned char c : text) {
        out->push_back(c);
        out->push_back(0);
    }
}

void AppendUnits(Bytes* out, const std::u16string& text) {
    for (char16_t unit : text) {
        out->push_back(static_cast<unsigned char>(unit & 0xFF));
        out->push_back(static_cast<unsigned char>(unit >> 8));
    }
}

Bytes Latin1Lines(const std::vector<std::string>& lines) {
    Bytes out;
    for (const std::string& line : lines) {
        AppendLatin1(&out, line);
        AppendLatin1(&out, "\r\n");
    }
    return out;
}

const Bytes kMark = {0xFF, 0xFE};

Bytes ExpectedHeader() {
    return Latin1Lines(
        {"Liste de tous les p\xE9riph\xE9riques pr\xE9sents", std::string(40, '='), ""});
}

struct Fields {
    std::u16string name, hardwareId, manufacturer, driverFile;
};

Bytes ExpectedRecord(const std::string& ordinal, const Fields& f) {
    Bytes out;
    AppendLatin1(&out, "[" + ordinal + "]\r\nNom du p\xE9riph\xE9rique : ");
    AppendUnits(&out, f.name);
    AppendLatin1(&out, "\r\nID Mat\xE9riel : ");
    AppendUnits(&out, f.hardwareId);
    AppendLatin1(&out, "\r\nFabricant : ");
    AppendUnits(&out, f.manufacturer);
    AppendLatin1(&out, "\r\nPilote associ\xE9 : ");
    AppendUnits(&out, f.driverFile);
    AppendLatin1(&out, "\r\n\r\n");
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Copies the units into the 512-unit field, zero after them, as a reset and a read leave it.
void SetField(WCHAR* field, const std::u16string& text) {
    ASSERT_LT(text.size(), static_cast<size_t>(kFieldCapacity));
    for (DWORD i = 0; i < kFieldCapacity; ++i) {
        field[i] = i < text.size() ? static_cast<WCHAR>(text[i]) : 0;
    }
}

void SetRecord(DeviceRecord* record, const Fields& f) {
    SetField(record->name, f.name);
    SetField(record->hardwareId, f.hardwareId);
    SetField(record->manufacturer, f.manufacturer);
    SetField(record->driverFile, f.driverFile);
}

std::u16string& FieldOf(Fields* f, int index) {
    switch (index) {
    case 0:
        return f->name;
    case 1:
        return f->hardwareId;
    case 2:
        return f->manufacturer;
    default:
        return f->driverFile;
    }
}

const char* const kFieldNames[4] = {"name", "hardwareId", "manufacturer", "driverFile"};

// A different multi-unit text in every field, so that a field taken as a narrow text (only its
// first character) or two fields swapped would show.
const Fields kTypicalFields = {u"Carte r\u00e9seau Intel(R) 82574L Gigabit",
                               u"PCI\\VEN_8086&DEV_10D3&SUBSYS_07D015AD", u"Intel Corporation",
                               u"e1i63x64.sys"};

// 511 units: a cycle of letters ending in a recognisable tail.
std::u16string FullField(char16_t first) {
    std::u16string text;
    for (int i = 0; i < 508; ++i) {
        text += static_cast<char16_t>(first + i % 26);
    }
    text += u"\u00e9\u00f4Z";
    return text;
}

class ReportFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WCHAR folder[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(ARRAYSIZE(folder), folder));
        path_ = std::wstring(folder) + L"halvoran_report_test.txt";
        DeleteFileW(path_.c_str());
        stream_ = _wfopen(path_.c_str(), L"wb");
        ASSERT_NE(nullptr, stream_);
    }
    void TearDown() override {
        if (stream_ != nullptr) {
            fclose(stream_);
        }
        DeleteFileW(path_.c_str());
    }
    // Closes the stream and returns every byte of the file.
    Bytes CloseAndRead() {
        EXPECT_EQ(0, ferror(stream_));
        EXPECT_EQ(0, fclose(stream_));
        stream_ = nullptr;
        Bytes bytes;
        FILE* in = _wfopen(path_.c_str(), L"rb");
        EXPECT_NE(nullptr, in);
        if (in == nullptr) {
            return bytes;
        }
        unsigned char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), in)) != 0) {
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        fclose(in);
        return bytes;
    }
    std::wstring path_;
    FILE* stream_ = nullptr;
};

// Index of the first difference, for messages that point at the byte that went wrong.
size_t FirstDifference(const Bytes& a, const Bytes& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    return i;
}

#define EXPECT_BYTES_EQ(expected, actual)                                                          \
    do {                                                                                           \
        const Bytes& e_ = (expected);                                                              \
        const Bytes& a_ = (actual);                                                                \
        EXPECT_EQ(e_.size(), a_.size());                                                           \
        EXPECT_TRUE(e_ == a_) << "first difference at byte " << FirstDifference(e_, a_);           \
    } while (0)

TEST_F(ReportFileTest, OneDefaultDeviceIsMarkHeaderAndNineLines) {
    DeviceRecord record;
    ResetDeviceRecord(&record);
    WriteReportMark(stream_);
    WriteReportHeader(stream_);
    WriteReportRecord(stream_, 1, &record);
    Bytes expected =
        Concat({kMark, Latin1Lines({"Liste de tous les p\xE9riph\xE9riques pr\xE9sents",
                                    "========================================", "", "[1]",
                                    "Nom du p\xE9riph\xE9rique : Inconnu", "ID Mat\xE9riel : N/A",
                                    "Fabricant : N/A", "Pilote associ\xE9 : N/A", ""})});
    // 2 bytes of mark, then 86 + 5 + 31 + 19 + 17 + 22 + 2 units.
    EXPECT_EQ(2u + 2 * 182, expected.size());
    EXPECT_BYTES_EQ(expected, CloseAndRead());
}

TEST_F(ReportFileTest, NoDeviceIsMarkAndHeaderAlone) {
    WriteReportMark(stream_);
    WriteReportHeader(stream_);
    Bytes bytes = CloseAndRead();
    EXPECT_BYTES_EQ(Concat({kMark, ExpectedHeader()}), bytes);
    // The rule is as long as the 40-unit title: both lines are 42 units with their line end.
    ASSERT_EQ(2u + 2 * 86, bytes.size());
    EXPECT_EQ(0x3D, bytes[2 + 2 * 42]);
    EXPECT_EQ(0x3D, bytes[2 + 2 * 81]);
    EXPECT_EQ(0x0D, bytes[2 + 2 * 82]);
}

TEST_F(ReportFileTest, MarkIsTwoBytesLowFirst) {
    WriteReportMark(stream_);
    EXPECT_BYTES_EQ(kMark, CloseAndRead());
}

TEST_F(ReportFileTest, TenRecordsAreNumberedOneToTenWithoutPadding) {
    Bytes expected = Concat({kMark, ExpectedHeader()});
    WriteReportMark(stream_);
    WriteReportHeader(stream_);
    for (DWORD ordinal = 1; ordinal <= 10; ++ordinal) {
        Fields f = kTypicalFields;
        f.driverFile = u"drv" + std::u16string(ordinal, u'x') + u".sys";
        DeviceRecord record;
        SetRecord(&record, f);
        WriteReportRecord(stream_, ordinal, &record);
        expected = Concat({expected, ExpectedRecord(std::to_string(ordinal), f)});
    }
    Bytes bytes = CloseAndRead();
    EXPECT_BYTES_EQ(expected, bytes);
    Bytes tenth;
    AppendLatin1(&tenth, "\r\n\r\n[10]\r\nNom");
    EXPECT_NE(bytes.end(), std::search(bytes.begin(), bytes.end(), tenth.begin(), tenth.end()));
}

TEST_F(ReportFileTest, OrdinalsAreDecimalWithoutLeadingZeros) {
    const struct {
        DWORD ordinal;
        const char* text;
    } kCases[] = {{1, "1"},
                  {9, "9"},
                  {10, "10"},
                  {99, "99"},
                  {100, "100"},
                  {1000000, "1000000"},
                  {4294967295u, "4294967295"}};
    Bytes expected;
    for (const auto& c : kCases) {
        DeviceRecord record;
        SetRecord(&record, kTypicalFields);
        WriteReportRecord(stream_, c.ordinal, &record);
        expected = Concat({expected, ExpectedRecord(c.text, kTypicalFields)});
    }
    EXPECT_BYTES_EQ(expected, CloseAndRead());
}

TEST_F(ReportFileTest, EveryFieldKeepsItsOwnMultiCharacterText) {
    DeviceRecord record;
    SetRecord(&record, kTypicalFields);
    WriteReportMark(stream_);
    WriteReportHeader(stream_);
    WriteReportRecord(stream_, 1, &record);
    Bytes expected = Concat({kMark, ExpectedHeader()});
    AppendLatin1(&expected,
                 "[1]\r\n"
                 "Nom du p\xE9riph\xE9rique : Carte r\xE9seau Intel(R) 82574L Gigabit\r\n"
                 "ID Mat\xE9riel : PCI\\VEN_8086&DEV_10D3&SUBSYS_07D015AD\r\n"
                 "Fabricant : Intel Corporation\r\n"
                 "Pilote associ\xE9 : e1i63x64.sys\r\n"
                 "\r\n");
    Bytes bytes = CloseAndRead();
    EXPECT_BYTES_EQ(expected, bytes);
    // Nothing follows the last record: the file ends with its two line ends.
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(Bytes({0x0D, 0, 0x0A, 0, 0x0D, 0, 0x0A, 0}), Bytes(bytes.end() - 8, bytes.end()));
}

// Units that a conversion to a code page, a newline translation or a text-mode stream would
// change, each placed in every field in turn.
TEST_F(ReportFileTest, UnitsPassThroughUnchangedInEveryField) {
    const struct {
        const char* what;
        std::u16string text;
        Bytes bytes;
    } kCases[] = {
        {"e acute", u"\u00e9", {0xE9, 0x00}},
        {"e grave", u"\u00e8", {0xE8, 0x00}},
        {"o circumflex", u"\u00f4", {0xF4, 0x00}},
        {"accented word",
         u"Contr\u00f4leur \u00e9l\u00e8ve",
         {0x43, 0, 0x6F, 0, 0x6E, 0, 0x74, 0, 0x72, 0, 0xF4, 0, 0x6C, 0, 0x65, 0,
          0x75, 0, 0x72, 0, 0x20, 0, 0xE9, 0, 0x6C, 0, 0xE8, 0, 0x76, 0, 0x65, 0}},
        {"surrogate pair U+1F600", u"\U0001F600", {0x3D, 0xD8, 0x00, 0xDE}},
        {"lone high surrogate", u"a\xD800z", {0x61, 0, 0x00, 0xD8, 0x7A, 0}},
        {"euro sign", u"\u20ac", {0xAC, 0x20}},
        {"CJK", u"\u4e2d\u6587", {0x2D, 0x4E, 0x87, 0x65}},
        {"lone line feed", u"a\nb", {0x61, 0, 0x0A, 0, 0x62, 0}},
        {"lone carriage return", u"a\rb", {0x61, 0, 0x0D, 0, 0x62, 0}},
        {"control-Z", u"a\x1A", {0x61, 0, 0x1A, 0}},
        {"percent signs", u"%s %ls %lu %%", {0x25, 0,    0x73, 0,    0x20, 0,    0x25, 0,    0x6C,
                                             0,    0x73, 0,    0x20, 0,    0x25, 0,    0x6C, 0,
                                             0x75, 0,    0x20, 0,    0x25, 0,    0x25, 0}},
        {"unit 0xFFFF", u"\xFFFF", {0xFF, 0xFF}},
        {"empty", u"", {}},
    };
    Bytes expected;
    for (const auto& c : kCases) {
        for (int field = 0; field < 4; ++field) {
            SCOPED_TRACE(std::string(c.what) + " in " + kFieldNames[field]);
            Fields f = kTypicalFields;
            FieldOf(&f, field) = c.text;
            Bytes spelled;
            AppendUnits(&spelled, c.text);
            ASSERT_EQ(c.bytes, spelled); // the table's byte list and text agree
            DeviceRecord record;
            SetRecord(&record, f);
            WriteReportRecord(stream_, 1, &record);
            expected = Concat({expected, ExpectedRecord("1", f)});
        }
    }
    EXPECT_BYTES_EQ(expected, CloseAndRead());
}

TEST_F(ReportFileTest, FieldOf511UnitsIsWrittenWholeInEveryField) {
    Bytes expected;
    for (int field = 0; field < 4; ++field) {
        Fields f = kTypicalFields;
        FieldOf(&f, field) = FullField(u'A');
        ASSERT_EQ(511u, FieldOf(&f, field).size());
        DeviceRecord record;
        SetRecord(&record, f);
        WriteReportRecord(stream_, static_cast<DWORD>(field + 1), &record);
        expected = Concat({expected, ExpectedRecord(std::to_string(field + 1), f)});
    }
    EXPECT_BYTES_EQ(expected, CloseAndRead());
}

TEST_F(ReportFileTest, LongestRecordIsNeverCut) {
    const Fields f = {FullField(u'a'), FullField(u'A'), FullField(u'k'), FullField(u'K')};
    DeviceRecord record;
    SetRecord(&record, f);
    WriteReportRecord(stream_, 4294967295u, &record);
    Bytes bytes = CloseAndRead();
    EXPECT_BYTES_EQ(ExpectedRecord("4294967295", f), bytes);
    // [4294967295] and four labels of 22, 14, 12 and 17 units, each text and line end, and the
    // empty line: 2133 units.
    EXPECT_EQ(2u * 2133, bytes.size());
    WCHAR text[kReportRecordCapacity];
    EXPECT_EQ(2133u, FormatReportRecord(text, ARRAYSIZE(text), 4294967295u, &record));
    EXPECT_EQ(0, text[2133]);
}

// A field that lost its terminator is taken to its own capacity and no further.
TEST_F(ReportFileTest, UnterminatedFieldStopsAtItsCapacity) {
    DeviceRecord record;
    SetRecord(&record, kTypicalFields);
    for (DWORD i = 0; i < kFieldCapacity; ++i) {
        record.hardwareId[i] = L'x';
    }
    WriteReportRecord(stream_, 1, &record);
    Fields f = kTypicalFields;
    f.hardwareId = std::u16string(kFieldCapacity - 1, u'x');
    EXPECT_BYTES_EQ(ExpectedRecord("1", f), CloseAndRead());
}

} // namespace
