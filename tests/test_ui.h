#pragma once

// Driving windows, dialogs and message boxes from a test as a user would.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/main_window.h"

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// The text of a list-view cell (column 0: the item itself).
std::wstring CellText(HWND list, int row, int column);

// Chooses a category row in the main window's selector, as a user does: the window is told.
void ChooseCategory(HWND window, int row);

// The five controls' places in slot order, as "x,y widthxheight | ...".
std::string DescribeLayout(const ControlPlacement* places);

// The texts of a combo box's list, in order.
std::vector<std::wstring> ComboItems(HWND combo);

// A dialog or message box as it was shown.
struct BoxSeen {
    HWND owner;
    std::wstring caption;
    std::wstring text;        // the message box text, static 0xFFFF; empty for other dialogs
    HICON icon;               // the icon shown, null when none
    std::vector<int> buttons; // the visible standard buttons (IDOK to IDCONTINUE), by identifier
};

BoxSeen ReadBox(HWND box);

// Presses a dialog's button as a click does: the dialog receives its command.
void Press(HWND dialog, int id);

// Runs action on this thread while a second thread plays the user: every round it offers each
// visible dialog of this thread to onDialog, until onDialog returns true for it. Dialogs still
// open after 30 s are cancelled; the result is then false.
bool PlayUser(const std::function<void()>& action, const std::function<bool(HWND)>& onDialog);

// Runs action, reading then cancelling every dialog it opens; returns them in order.
std::vector<BoxSeen> RunClosingDialogs(const std::function<void()>& action);
