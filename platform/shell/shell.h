// The shell services the system uses: opening documents and addresses
// (ShellExecuteExW "open" through xdg-open), playing a WAV file (PlaySoundW
// through SDL2 audio), vibration, and a wait cursor for long work.
#pragma once

#include "platform/user/user_types.h"

// ---------------------------------------------------------------------------
// ShellExecuteExW: only the verb "open" (or none). The file is a device path
// ("\My Documents\x.htm", mapped below the device root), a Linux path or an
// address ("http://...", "file://..."); it is handed to xdg-open, or to the
// program SKYVANE_OPENER names, which runs on its own (it is not waited for).
// hInstApp is 33 on success, as the platform gives a value above 32.
struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    LPVOID lpIDList;
    LPCWSTR lpClass;
    void* hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};
typedef SHELLEXECUTEINFOW* LPSHELLEXECUTEINFOW;
typedef SHELLEXECUTEINFOW SHELLEXECUTEINFO;
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31
#define ERROR_NO_ASSOCIATION 1155L
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo);
inline BOOL ShellExecuteEx(SHELLEXECUTEINFOW* p) { return ShellExecuteExW(p); }

// ---------------------------------------------------------------------------
// PlaySoundW: SND_FILENAME with a WAV file (device or Linux path); NULL stops
// the sound playing. SND_SYNC (0) waits until it has played, SND_ASYNC
// returns at once, SND_NOWAIT gives up when a sound is playing. Where no
// audio device exists nothing is played and FALSE is returned, with one line
// in the developer log and nothing shown to the user.
#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_LOOP 0x0008
#define SND_NOSTOP 0x0010
#define SND_NOWAIT 0x00002000L
#define SND_FILENAME 0x00020000L
BOOL PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound);
inline BOOL PlaySound(LPCWSTR s, HMODULE m, DWORD f) { return PlaySoundW(s, m, f); }

// ---------------------------------------------------------------------------
// Vibration: this machine has no vibrator. Vibrate logs that once and
// returns S_OK (the feedback is a courtesy); VibrateGetDeviceCaps says 0.
struct VIBRATENOTE {
    BYTE bAmplitude;
    DWORD dwFrequency;
    DWORD dwDuration;
};
enum VIBRATEDEVICECAPS { VDC_AMPLITUDE, VDC_FREQUENCY, VDC_LAST };
HRESULT Vibrate(DWORD cvn, const VIBRATENOTE* rgvn, BOOL fRepeat, DWORD dwTimeout);
HRESULT VibrateStop();
int VibrateGetDeviceCaps(VIBRATEDEVICECAPS vdc);

namespace skyvane {
// Shows the wait cursor for its lifetime and then puts back the one before.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};
}  // namespace skyvane
