// The report's bytes through a real file, against the records as the tests spell them and bytes
// spelled here as Latin-1 or byte lists.

#include <functional>

#include "report/inventory_report.h"
#include "test_devices.h"
#include "test_text.h"

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Latin1(const std::string& text) {
    const unsigned char* c = reinterpret_cast<const unsigned char*>(text.data());
    return Units(std::u16string(c, c + text.size()));
}

// The fields as a reset and a read leave them: the units, then zeros to the capacity.
DeviceRecord RecordOf(const ListedDevice& f) {
    DeviceRecord record;
    ZeroMemory(&record, sizeof(record));
    std::copy(f.name.begin(), f.name.end(), record.name);
    std::copy(f.hardwareId.begin(), f.hardwareId.end(), record.hardwareId);
    std::copy(f.manufacturer.begin(), f.manufacturer.end(), record.manufacturer);
    std::copy(f.driverFile.begin(), f.driverFile.end(), record.driverFile);
    return record;
}

// Every byte of a file after write ran on a fresh binary stream to it.
Bytes Written(const std::function<void(FILE*)>& write) {
    const std::wstring path = TempPath(L"halvoran_report_test.txt");
    FILE* stream = _wfopen(path.c_str(), L"w+b");
    if (stream == nullptr) {
        ADD_FAILURE() << "cannot create the file";
        return Bytes();
    }
    write(stream);
    EXPECT_EQ(0, ferror(stream));
    rewind(stream);
    Bytes bytes(1 << 16);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), stream));
    EXPECT_EQ(0, fclose(stream));
    DeleteFileW(path.c_str());
    return bytes;
}

testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
    size_t at =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
        expected.begin();
    return (expected == actual ? testing::AssertionSuccess() : testing::AssertionFailure())
           << expected.size() << " bytes expected, " << actual.size()
           << " written; first difference at byte " << at;
}

TEST(ReportTest, OneDefaultDeviceByteForByte) {
    DeviceRecord record;
    ResetDeviceRecord(&record);
    Bytes bytes = Written([&](FILE* stream) {
        WriteReportMark(stream);
        WriteReportHeader(stream);
        WriteReportRecord(stream, 1, &record);
    });
    EXPECT_TRUE(
        SameBytes(Bytes{0xFF, 0xFE} + Latin1("Liste de tous les p\xE9riph\xE9riques pr\xE9sents\r\n"
                                             "========================================\r\n\r\n"
                                             "[1]\r\nNom du p\xE9riph\xE9rique : Inconnu\r\n"
                                             "ID Mat\xE9riel : N/A\r\nFabricant : N/A\r\n"
                                             "Pilote associ\xE9 : N/A\r\n\r\n"),
                  bytes));
}

// Records one after another, numbered without padding, each text whole and unconverted.
TEST(ReportTest, RecordsAreWrittenUnitForUnit) {
    const std::wstring k511 = std::wstring(508, L'k') + L"\u00e9\u00f4Z";
    const ListedDevice kTypical = {L"Carte r\u00e9seau Intel(R) 82574L Gigabit",
                                   L"PCI\\VEN_8086&DEV_10D3&SUBSYS_07D015AD", L"Intel Corporation",
                                   L"e1i63x64.sys"};
    const struct {
        DWORD ordinal;
        ListedDevice fields;
        Bytes spelled; // bytes the record must hold, spelled out
    } kCases[] = {
        {1, kTypical, Latin1("[1]\r\nNom du p\xE9riph\xE9rique : Carte r\xE9seau Intel(R)")},
        {2, {L"\u00e9\u00e8\u00f4", L"\u00f4", L"", L"x"}, {0xE9, 0, 0xE8, 0, 0xF4, 0, 13, 0}},
        {9, {L"\U0001F600", L"a\xD800z", L"\u20ac\u4e2d", L"\xFFFF"}, {0x3D, 0xD8, 0, 0xDE}},
        {10, {L"a\nb\rc\x1A", L"%s %ls %lu %%", L"", L""}, Latin1("\r\n\r\n[10]\r\nNom")},
        {4294967295u, {k511, k511, k511, k511}, Latin1("[4294967295]\r\nNom")},
    };
    Bytes expected = Units(kReportHead);
    Bytes bytes = Written([&](FILE* stream) {
        WriteReportMark(stream);
        WriteReportHeader(stream);
        for (const auto& c : kCases) {
            DeviceRecord record = RecordOf(c.fields);
            WriteReportRecord(stream, c.ordinal, &record);
            expected = expected + Units(ReportRecord(c.ordinal, c.fields));
        }
    });
    EXPECT_TRUE(SameBytes(expected, bytes));
    for (const auto& c : kCases) {
        EXPECT_TRUE(Contains(bytes, c.spelled)) << "record " << c.ordinal;
    }
}

// A field that lost its terminator is taken to its own capacity and no further.
TEST(ReportTest, UnterminatedFieldStopsAtItsCapacity) {
    DeviceRecord record = RecordOf({L"n", L"", L"m", L"d"});
    std::fill(record.hardwareId, record.hardwareId + kFieldCapacity, L'x');
    EXPECT_TRUE(SameBytes(Units(ReportRecord(1, {L"n", std::wstring(511, L'x'), L"m", L"d"})),
                          Written([&](FILE* stream) { WriteReportRecord(stream, 1, &record); })));
}

} // namespace
