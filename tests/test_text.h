#pragma once

// Text helpers shared by the tests: wide texts shown readably in failure messages.

#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

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

typedef std::vector<unsigned char> Bytes;

// Whether part stands somewhere in bytes, whole and in order.
inline bool Contains(const Bytes& bytes, const Bytes& part) {
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// The bytes a text's 16-bit units take in a UTF-16LE file: each unit low byte first.

template <class Text> Bytes Units(const Text& text) {
    Bytes out;
    for (auto unit : text) {
        out.push_back(static_cast<unsigned char>(unit & 0xFF));
        out.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    }
    return out;
}
