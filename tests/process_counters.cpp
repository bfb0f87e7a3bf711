#include "process_counters.h"

#include <vector>

// The system's handle table as NtQuerySystemInformation returns it for
// SystemHandleInformation: a count, then one entry per open handle of every process.
struct HandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

typedef LONG(WINAPI* QuerySystemInformationProc)(ULONG infoClass, PVOID buffer, ULONG size,
                                                 PULONG needed);

static const ULONG kSystemHandleInformation = 16;
static const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

DWORD CountProcessHandles(DWORD processId) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return kNoCount;
    }
    QuerySystemInformationProc query = reinterpret_cast<QuerySystemInformationProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (query == nullptr) {
        return kNoCount;
    }
    // The table grows between calls as other processes open handles: retry with more room.
    std::vector<BYTE> buffer(64 * 1024);
    LONG status = kStatusInfoLengthMismatch;
    for (int attempt = 0; attempt < 16 && status == kStatusInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kStatusInfoLengthMismatch) {
            size_t larger = buffer.size() * 2;
            buffer.resize(needed > larger ? needed + 4096 : larger);
        }
    }
    if (status != 0) {
        return kNoCount;
    }
    const HandleTable* table = reinterpret_cast<const HandleTable*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i) {
        if (table->entries[i].ownerProcessId == processId) {
            ++count;
        }
    }
    return count;
}

struct WindowCensus {
    DWORD processId;
    DWORD count;
};

static BOOL CALLBACK CountDescendant(HWND, LPARAM context) {
    ++*reinterpret_cast<DWORD*>(context);
    return TRUE;
}

static void CountIfOwned(HWND window, WindowCensus* census) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == census->processId) {
        ++census->count;
        EnumChildWindows(window, CountDescendant, reinterpret_cast<LPARAM>(&census->count));
    }
}

static BOOL CALLBACK CountTopLevel(HWND window, LPARAM context) {
    CountIfOwned(window, reinterpret_cast<WindowCensus*>(context));
    return TRUE;
}

DWORD CountProcessWindows(DWORD processId) {
    WindowCensus census = {processId, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&census));
    // Message-only windows are not top-level windows and need a search of their own.
    HWND window = nullptr;
    while ((window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr) {
        CountIfOwned(window, &census);
    }
    return census.count;
}
