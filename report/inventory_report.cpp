#include "report/inventory_report.h"

#include "inventory/text_format.h"

static const WCHAR kReportHeader[] = L"Liste de tous les p\u00e9riph\u00e9riques pr\u00e9sents\r\n"
                                     L"========================================\r\n"
                                     L"\r\n";

// The record, in the order written: ordinal between brackets, then each field after its label.
static const WCHAR kRecordOrdinalOpen[] = L"[";
static const WCHAR kRecordOrdinalClose[] = L"]\r\n";
static const WCHAR kRecordNameLabel[] = L"Nom du p\u00e9riph\u00e9rique : ";
static const WCHAR kRecordHardwareIdLabel[] = L"\r\nID Mat\u00e9riel : ";
static const WCHAR kRecordManufacturerLabel[] = L"\r\nFabricant : ";
static const WCHAR kRecordDriverFileLabel[] = L"\r\nPilote associ\u00e9 : ";
static const WCHAR kRecordEnd[] = L"\r\n\r\n";

// Units of a literal without its terminator.
#define LITERAL_UNITS(text) (ARRAYSIZE(text) - 1)

static const DWORD kMaxOrdinalDigits = 10; // 4294967295
static_assert(LITERAL_UNITS(kRecordOrdinalOpen) + kMaxOrdinalDigits +
                      LITERAL_UNITS(kRecordOrdinalClose) + LITERAL_UNITS(kRecordNameLabel) +
                      LITERAL_UNITS(kRecordHardwareIdLabel) +
                      LITERAL_UNITS(kRecordManufacturerLabel) +
                      LITERAL_UNITS(kRecordDriverFileLabel) + LITERAL_UNITS(kRecordEnd) +
                      4 * (kFieldCapacity - 1) + 1 <=
                  kReportRecordCapacity,
              "a record with four full fields must fit in its buffer");

// The mark, the header and a record each go out as one item of 16-bit units, unconverted.
static void WriteUnits(FILE* stream, const WCHAR* text, DWORD length) {
    if (length != 0) {
        fwrite(text, sizeof(WCHAR), length, stream);
    }
}

// A field is taken up to its terminator, and never past its own capacity.
static void AppendField(WCHAR* buffer, DWORD capacity, DWORD* length, const WCHAR* field) {
    WCHAR text[kFieldCapacity];
    lstrcpynW(text, field, ARRAYSIZE(text));
    TextAppend(buffer, capacity, length, text);
}

DWORD FormatReportRecord(WCHAR* buffer, DWORD capacity, DWORD ordinal, const DeviceRecord* record) {
    DWORD length = 0;
    if (capacity != 0) {
        buffer[0] = 0;
    }
    TextAppend(buffer, capacity, &length, kRecordOrdinalOpen);
    TextAppendUnsigned(buffer, capacity, &length, ordinal);
    TextAppend(buffer, capacity, &length, kRecordOrdinalClose);
    TextAppend(buffer, capacity, &length, kRecordNameLabel);
    AppendField(buffer, capacity, &length, record->name);
    TextAppend(buffer, capacity, &length, kRecordHardwareIdLabel);
    AppendField(buffer, capacity, &length, record->hardwareId);
    TextAppend(buffer, capacity, &length, kRecordManufacturerLabel);
    AppendField(buffer, capacity, &length, record->manufacturer);
    TextAppend(buffer, capacity, &length, kRecordDriverFileLabel);
    AppendField(buffer, capacity, &length, record->driverFile);
    TextAppend(buffer, capacity, &length, kRecordEnd);
    return length;
}

void WriteReportMark(FILE* stream) {
    const WCHAR mark = 0xFEFF;
    WriteUnits(stream, &mark, 1);
}

void WriteReportHeader(FILE* stream) {
    WriteUnits(stream, kReportHeader, LITERAL_UNITS(kReportHeader));
}

void WriteReportRecord(FILE* stream, DWORD ordinal, const DeviceRecord* record) {
    WCHAR text[kReportRecordCapacity];
    DWORD length = FormatReportRecord(text, ARRAYSIZE(text), ordinal, record);
    WriteUnits(stream, text, length);
}
