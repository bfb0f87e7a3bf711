#include "report/export.h"

#include <commdlg.h>
#include <stdio.h>

#include "inventory/device_enum.h"
#include "inventory/text_format.h"
#include "report/inventory_report.h"

// The dialog is given the structure as the platform currently defines it, reserved fields
// included.
static_assert(sizeof(OPENFILENAMEW) == (sizeof(void*) == 8 ? 152 : 88),
              "OPENFILENAMEW must be the full current structure");

static const WCHAR kDefaultFileName[] = L"peripheriques.txt";
static const WCHAR kFileFilter[] = L"Fichier texte (*.txt)\0*.txt\0"
                                   L"Tous les fichiers (*.*)\0*.*\0";
static const WCHAR kDefaultExtension[] = L"txt";

static const WCHAR kErrorCaption[] = L"Erreur d'export";
static const WCHAR kCannotCreateText[] =
    L"Impossible de cr\u00e9er le fichier s\u00e9lectionn\u00e9.";
static const WCHAR kNoDeviceSetText[] =
    L"Impossible d'obtenir la liste des p\u00e9riph\u00e9riques.";
static const WCHAR kWriteFailedText[] =
    L"Une erreur s'est produite pendant l'\u00e9criture du fichier.";
static const WCHAR kDoneCaption[] = L"Export termin\u00e9";
static const WCHAR kDoneCountSuffix[] = L" p\u00e9riph\u00e9rique(s) export\u00e9(s) dans :\r\n";

static const DWORD kDoneMessageCapacity = 360;

static void ShowExportError(HWND ownerWindow, const WCHAR* text) {
    MessageBoxW(ownerWindow, text, kErrorCaption, MB_OK | MB_ICONERROR);
}

// Writes the device at position (0 for the first) as the record numbered position + 1.
static void WriteDeviceToReport(void* context, DWORD position, const DeviceRecord* record) {
    WriteReportRecord(static_cast<FILE*>(context), position + 1, record);
}

// Asks for the path with the save dialog; false when the user cancels or the dialog fails.
static bool AskExportPath(HWND ownerWindow, WCHAR* path, DWORD pathCapacity) {
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ownerWindow;
    dialog.lpstrFilter = kFileFilter;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = path;
    dialog.nMaxFile = pathCapacity;
    dialog.lpstrDefExt = kDefaultExtension;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    return GetSaveFileNameW(&dialog) != FALSE;
}

ExportOutcome WriteInventoryFile(const WCHAR* path, DWORD* count) {
    *count = 0;
    FILE* stream = _wfopen(path, L"wb");
    if (stream == nullptr) {
        return kExportCannotCreate;
    }
    WriteReportMark(stream);

    HDEVINFO set = OpenDeviceSet(nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        // The file stays behind holding the mark only.
        fclose(stream);
        return kExportNoDeviceSet;
    }
    WriteReportHeader(stream);
    *count = WalkDevices(set, WriteDeviceToReport, stream);

    // A write that failed along the way counts as much as a failed final flush. The buffered
    // data are flushed here, before the close, because some C runtimes (Wine's msvcrt) do not
    // report a failure of that final flush from fclose.
    bool written = fflush(stream) == 0 && ferror(stream) == 0;
    if (fclose(stream) != 0) {
        written = false;
    }
    return written ? kExportWritten : kExportWriteFailed;
}

int ExportDevicesToText(HWND ownerWindow) {
    WCHAR path[MAX_PATH];
    ZeroMemory(path, sizeof(path));
    lstrcpynW(path, kDefaultFileName, ARRAYSIZE(path));
    if (!AskExportPath(ownerWindow, path, ARRAYSIZE(path))) {
        return 0;
    }

    DWORD count = 0;
    switch (WriteInventoryFile(path, &count)) {
    case kExportCannotCreate:
        ShowExportError(ownerWindow, kCannotCreateText);
        return 0;
    case kExportNoDeviceSet:
        ShowExportError(ownerWindow, kNoDeviceSetText);
        return 0;
    case kExportWriteFailed:
        ShowExportError(ownerWindow, kWriteFailedText);
        return 0;
    case kExportWritten:
        break;
    }

    WCHAR message[kDoneMessageCapacity];
    DWORD length = 0;
    message[0] = 0;
    TextAppendUnsigned(message, ARRAYSIZE(message), &length, count);
    TextAppend(message, ARRAYSIZE(message), &length, kDoneCountSuffix);
    TextAppend(message, ARRAYSIZE(message), &length, path);
    MessageBoxW(ownerWindow, message, kDoneCaption, MB_OK | MB_ICONINFORMATION);
    return 1;
}
