#pragma once

#include <windows.h>

// Bounded text building into fixed buffers. The buffer always stays terminated; text that
// would not fit is cut to capacity - 1 units (by 16-bit units, even inside a surrogate pair).
// *length is the number of units already in the buffer.

void TextAppend(WCHAR* buffer, DWORD capacity, DWORD* length, const WCHAR* text);

// Appends value in decimal, without leading zeros, spaces or separators.
void TextAppendUnsigned(WCHAR* buffer, DWORD capacity, DWORD* length, DWORD value);
