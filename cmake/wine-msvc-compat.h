// Force-included (/FI) before Wine's Windows headers when clang-cl compiles the program in
// MSVC mode (the msvc_mode tests). It changes no declaration the program uses.
#pragma once

// WCHAR is wchar_t, as in the Windows SDK and with MinGW-w64. Wine's headers otherwise make it
// char16_t in C++, which L"..." literals do not convert to.
#define WINE_UNICODE_NATIVE

// Wine 8's winnt.h defines inline bodies for interlocked functions it expects an MSVC-mode
// compiler to lack: the 64-bit ones on i686 and, for clang, the 128-bit compare-exchange on
// x86_64. clang-cl has them built in and refuses a definition of a built-in function, so these
// bodies get names of their own; the headers' Interlocked* macros still lead to them.
#if defined(_M_IX86)
#define _InterlockedAnd64 WineHeaders_InterlockedAnd64
#define _InterlockedCompareExchangePointer WineHeaders_InterlockedCompareExchangePointer
#define _InterlockedDecrement64 WineHeaders_InterlockedDecrement64
#define _InterlockedExchangeAdd64 WineHeaders_InterlockedExchangeAdd64
#define _InterlockedExchangePointer WineHeaders_InterlockedExchangePointer
#define _InterlockedIncrement64 WineHeaders_InterlockedIncrement64
#define _InterlockedOr64 WineHeaders_InterlockedOr64
#define _InterlockedXor64 WineHeaders_InterlockedXor64
#elif defined(_M_X64)
#define _InterlockedCompareExchange128 WineHeaders_InterlockedCompareExchange128
#endif
