// The arrow and wait cursors; the back end shows the one set.
#include <atomic>

#include "platform/user/backend.h"
#include "platform/user/user.h"

namespace {
const HCURSOR kArrow = reinterpret_cast<HCURSOR>(IDC_ARROW);
const HCURSOR kWait = reinterpret_cast<HCURSOR>(IDC_WAIT);
std::atomic<HCURSOR> g_cursor{kArrow};
}  // namespace

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    if (lpCursorName == IDC_ARROW) return kArrow;
    if (lpCursorName == IDC_WAIT) return kWait;
    return nullptr;
}

HCURSOR SetCursor(HCURSOR hCursor) {
    HCURSOR old = g_cursor.exchange(hCursor);
    if (old != hCursor)
        skyvane::user::TheBackend().SetCursor(hCursor == kWait ? skyvane::user::CursorShape::Wait
                                                               : skyvane::user::CursorShape::Arrow);
    return old;
}

HCURSOR GetCursor() { return g_cursor.load(); }
