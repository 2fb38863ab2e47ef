// Vibration (none on this machine) and the wait cursor.
#include <atomic>

#include "platform/base/log.h"
#include "platform/shell/shell.h"
#include "platform/user/user.h"

HRESULT Vibrate(DWORD cvn, const VIBRATENOTE* rgvn, BOOL fRepeat, DWORD dwTimeout) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true)) SKYVANE_LOG("shell", "vibration asked for: this machine has no vibrator");
    return S_OK;
}

HRESULT VibrateStop() { return S_OK; }

int VibrateGetDeviceCaps(VIBRATEDEVICECAPS vdc) { return 0; }

namespace skyvane {
WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
WaitCursor::~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }
}  // namespace skyvane
