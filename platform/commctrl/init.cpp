// InitCommonControlsEx: registers the classes asked for, once each.
#include <mutex>

#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/common_classes.h"
#include "platform/kernel/handles.h"

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static std::once_flag listView, upDown, date;
    if (picce->dwICC & ICC_LISTVIEW_CLASSES) std::call_once(listView, skyvane::commctrl::RegisterListViewClass);
    if (picce->dwICC & ICC_UPDOWN_CLASS) std::call_once(upDown, skyvane::commctrl::RegisterUpDownClass);
    if (picce->dwICC & ICC_DATE_CLASSES) std::call_once(date, skyvane::commctrl::RegisterTimePickerClass);
    return TRUE;
}

void InitCommonControls() {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
}
