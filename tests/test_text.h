#pragma once

// Text helpers shared by the tests: wide texts shown readably in failure messages.

#include <gtest/gtest.h>
#include <stdio.h>
#include <string>

// ASCII as it is, anything else as \uXXXX.
inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[12];
            snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out;
}

#define EXPECT_WTEXT(expected, actual)                                                             \
    EXPECT_EQ(Narrow(std::wstring(expected)), Narrow(std::wstring(actual)))

inline std::wstring Repeat(wchar_t c, size_t n) {
    return std::wstring(n, c);
}
