#include "test_ui.h"

#include <commctrl.h>

#include <set>

std::wstring WindowText(HWND window) {
    std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::wstring CellText(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = ARRAYSIZE(text);
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void ChooseCategory(HWND window, int row) {
    SendMessageW(g_categoryCombo, CB_SETCURSEL, row, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(g_categoryCombo));
}

std::string DescribeLayout(const ControlPlacement* p) {
    std::string text;
    for (int i = 0; i < kControlCount; ++i) {
        text += (i ? " | " : "") + std::to_string(p[i].x) + "," + std::to_string(p[i].y) + " " +
                std::to_string(p[i].width) + "x" + std::to_string(p[i].height);
    }
    return text;
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
        std::vector<wchar_t> text(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1);
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(text.data());
    }
    return items;
}

static BOOL CALLBACK FindIcon(HWND child, LPARAM context) {
    if (ClassName(child) == L"Static" &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(context) =
            reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

BoxSeen ReadBox(HWND box) {
    BoxSeen seen = {GetWindow(box, GW_OWNER), WindowText(box), L"", nullptr, {}};
    if (HWND text = GetDlgItem(box, 0xFFFF)) {
        seen.text = WindowText(text);
    }
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen.icon));
    for (int id = IDOK; id <= IDCONTINUE; ++id) {
        HWND button = GetDlgItem(box, id);
        if (button != nullptr && IsWindowVisible(button) && ClassName(button) == L"Button") {
            seen.buttons.push_back(id);
        }
    }
    return seen;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {

struct Player {
    DWORD uiThread;
    HANDLE stop;
    const std::function<bool(HWND)>* onDialog;
    bool timedOut;
    std::set<HWND> finished;
};

BOOL CALLBACK OfferDialog(HWND window, LPARAM context) {
    Player* player = reinterpret_cast<Player*>(context);
    if (!IsWindowVisible(window) || ClassName(window) != L"#32770" ||
        player->finished.count(window) != 0) {
        return TRUE;
    }
    if (player->timedOut) {
        Press(window, IDCANCEL);
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if ((*player->onDialog)(window)) {
        player->finished.insert(window);
    }
    return TRUE;
}

DWORD WINAPI PlayerThread(void* context) {
    Player* player = static_cast<Player*>(context);
    DWORD start = GetTickCount();
    while (WaitForSingleObject(player->stop, 20) == WAIT_TIMEOUT) {
        player->timedOut = player->timedOut || GetTickCount() - start > 30000;
        EnumThreadWindows(player->uiThread, OfferDialog, reinterpret_cast<LPARAM>(player));
    }
    return 0;
}

} // namespace

bool PlayUser(const std::function<void()>& action, const std::function<bool(HWND)>& onDialog) {
    Player player = {
        GetCurrentThreadId(), CreateEventW(nullptr, TRUE, FALSE, nullptr), &onDialog, false, {}};
    HANDLE thread = CreateThread(nullptr, 0, PlayerThread, &player, 0, nullptr);
    action();
    SetEvent(player.stop);
    // The player may be reading a window of this thread: its messages are served meanwhile.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) !=
           WAIT_OBJECT_0) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    CloseHandle(player.stop);
    return !player.timedOut;
}

std::vector<BoxSeen> RunClosingDialogs(const std::function<void()>& action) {
    std::vector<BoxSeen> seen;
    bool answered = PlayUser(action, [&seen](HWND dialog) {
        seen.push_back(ReadBox(dialog));
        Press(dialog, IDCANCEL);
        return true;
    });
    if (!answered) {
        seen.push_back({nullptr, L"(not answered in time)", L"", nullptr, {}});
    }
    return seen;
}
