#pragma once

// The inventory report: UTF-16LE text with a byte-order mark, a title, then one five-line
// record per device followed by an empty line. Every text goes to the stream unit for unit,
// each unit as two bytes, low byte first, with no conversion and no terminating zero.

#include <windows.h>
#include <stdio.h>

#include "inventory/device_types.h"

// Units of the longest record text, terminator included: the ordinal of ten digits and four
// full fields, each with its label and line end.
const DWORD kReportRecordCapacity = 2200;

// Builds the record text of the device at ordinal (1 for the first) into buffer; returns its
// length. A buffer of kReportRecordCapacity units always holds the whole record.
DWORD FormatReportRecord(WCHAR* buffer, DWORD capacity, DWORD ordinal, const DeviceRecord* record);

// The three writes of the report, to a stream opened in binary mode. Their results are left
// in the stream's error state.
void WriteReportMark(FILE* stream);
void WriteReportHeader(FILE* stream);
void WriteReportRecord(FILE* stream, DWORD ordinal, const DeviceRecord* record);
