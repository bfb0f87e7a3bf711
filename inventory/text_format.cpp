#include "inventory/text_format.h"

void TextAppend(WCHAR* buffer, DWORD capacity, DWORD* length, const WCHAR* text) {
    if (buffer == nullptr || capacity == 0) {
        return;
    }
    DWORD at = *length < capacity ? *length : capacity - 1;
    for (; text != nullptr && *text != 0 && at < capacity - 1; ++text) {
        buffer[at++] = *text;
    }
    buffer[at] = 0;
    *length = at;
}

void TextAppendUnsigned(WCHAR* buffer, DWORD capacity, DWORD* length, DWORD value) {
    WCHAR digits[11];
    DWORD at = ARRAYSIZE(digits) - 1;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<WCHAR>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    TextAppend(buffer, capacity, length, digits + at);
}
