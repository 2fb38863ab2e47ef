// What the dialog manager keeps for each dialog.
#pragma once

#include "platform/user/dialog.h"
#include "platform/user/user.h"

namespace skyvane::user {

struct DialogState {
    HFONT font = nullptr;  // made from the template; deleted with the dialog
    int baseX = 6, baseY = 13;
    bool modal = false;
    bool ended = false;
    bool destroyed = false;
    bool ownerDisabled = false;
    INT_PTR result = 0;
    WORD defaultId = IDOK;
    HWND savedFocus = nullptr;
};

DialogState* FindDialog(HWND hwnd);
// Forgets a modal dialog once its loop has read the result.
void ForgetDialog(HWND hwnd);
const DialogTemplate* FindDialogResource(HINSTANCE module, LPCWSTR name);
HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                              bool modal);

#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

}  // namespace skyvane::user
