// Window classes: registered per process, names compared without regard to
// case (class atoms are not handed out as names).
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/base/wide_string.h"
#include "platform/kernel/handles.h"
#include "platform/user/controls/system_classes.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

struct ClassTable {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes;  // by lower-case name
    ATOM nextAtom = 0xC000;
};

ClassTable& Classes() {
    static auto* table = new ClassTable;
    return *table;
}

}  // namespace

std::shared_ptr<WindowClass> FindClass(std::u16string_view name) {
    EnsureSystemClasses();
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.classes.find(ToLower(name));
    return it == t.classes.end() ? nullptr : it->second;
}

}  // namespace skyvane::user

using namespace skyvane::user;

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName) ||
        !lpWndClass->lpfnWndProc || lpWndClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = lpWndClass->lpszClassName;
    cls->wc = *lpWndClass;
    cls->wc.lpszClassName = nullptr;  // the name lives in cls->name
    cls->wc.lpszMenuName = nullptr;
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto [it, added] = t.classes.emplace(skyvane::ToLower(cls->name), cls);
    if (!added) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    return t.nextAtom++;
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    if (!lpClassName || IS_INTRESOURCE(lpClassName)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.classes.erase(skyvane::ToLower(lpClassName)) == 0) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return TRUE;  // windows of the class keep it until they are destroyed
}

BOOL GetClassInfoW(HINSTANCE hInstance, LPCWSTR lpClassName, WNDCLASSW* lpWndClass) {
    std::shared_ptr<WindowClass> cls = lpClassName && !IS_INTRESOURCE(lpClassName) ? FindClass(lpClassName) : nullptr;
    if (!cls || !lpWndClass) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *lpWndClass = cls->wc;
    lpWndClass->lpszClassName = lpClassName;
    return TRUE;
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    Window* w = Find(hWnd);
    if (!w || !lpClassName || nMaxCount <= 0) return 0;
    int n = std::min<int>(nMaxCount - 1, static_cast<int>(w->cls->name.size()));
    std::copy_n(w->cls->name.data(), n, lpClassName);
    lpClassName[n] = 0;
    return n;
}
