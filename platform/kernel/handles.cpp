#include "platform/kernel/handles.h"

#include <mutex>
#include <unordered_map>

namespace {

thread_local DWORD t_lastError = 0;

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::unique_ptr<skyvane::KernelObject>> objects;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // never destroyed: handles may close during exit
    return *table;
}

}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

namespace skyvane {

HANDLE MakeHandle(std::unique_ptr<KernelObject> object) {
    HANDLE h = object.get();
    auto& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.objects.emplace(h, std::move(object));
    return h;
}

KernelObject* LookupHandle(HANDLE h) {
    auto& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(h);
    return it == table.objects.end() ? nullptr : it->second.get();
}

}  // namespace skyvane

BOOL CloseHandle(HANDLE h) {
    std::unique_ptr<skyvane::KernelObject> object;
    {
        auto& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        auto it = table.objects.find(h);
        if (it == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        table.objects.erase(it);
    }
    // Destroyed outside the lock: closing may block (a file flush, a child reap).
    object.reset();
    return TRUE;
}
