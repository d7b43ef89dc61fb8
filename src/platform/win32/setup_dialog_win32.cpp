#include "platform/win32/setup_dialog_win32.h"

#include <windows.h>

namespace {

// The view of the dialog that is open; null outside it.
SetupDialogView* openView;

void centreOnScreen(HWND dialog) {
    RECT rectangle{};
    GetWindowRect(dialog, &rectangle);
    // The template puts the dialog at the origin, so this centres it on the primary screen.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - rectangle.right) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - rectangle.bottom) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE);
}

INT_PTR CALLBACK setupDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        openView = reinterpret_cast<SetupDialogView*>(lParam);
        if (!openView) return FALSE;
        centreOnScreen(dialog);
        for (int32_t i = 0; i < openView->entryCount; ++i)
            SendDlgItemMessageA(dialog, kResolutionListId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(openView->entries[i]));
        SendDlgItemMessageA(dialog, kResolutionListId, CB_SETCURSEL, static_cast<WPARAM>(openView->selected),
                            0);
        SendDlgItemMessageA(dialog, kFullscreenBoxId, BM_SETCHECK,
                            openView->fullscreen ? BST_CHECKED : BST_UNCHECKED, 0);
        return FALSE;
    }
    // Only Run and Quit end the dialog: Enter, Escape and Alt+F4 (IDOK, IDCANCEL) get the
    // default handling, which does not close it.
    if (message != WM_COMMAND || !openView) return FALSE;
    const int32_t control = LOWORD(wParam);
    if (control == kSetupRun) {
        openView->fullscreen = SendDlgItemMessageA(dialog, kFullscreenBoxId, BM_GETCHECK, 0, 0) != 0;
        openView->selected =
            static_cast<int32_t>(SendDlgItemMessageA(dialog, kResolutionListId, CB_GETCURSEL, 0, 0));
    } else if (control != kSetupQuit) {
        return FALSE;
    }
    EndDialog(dialog, static_cast<INT_PTR>(wParam));
    openView = nullptr;
    return TRUE;
}

} // namespace

int32_t win32ShowSetupDialog(SetupDialogView* view) {
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogTemplateId),
                                           nullptr, setupDialogProcedure, reinterpret_cast<LPARAM>(view));
    openView = nullptr;
    return result == kSetupRun || result == kSetupQuit ? static_cast<int32_t>(result) : -1;
}
