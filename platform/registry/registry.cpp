// The registry functions over the SQLite store of the current device.
//
// Behaviour callers rely on, as the platform documents it:
// - HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE name the roots
//   of the process's device (skyvane::DeviceRoot). A handle returned by
//   RegOpenKeyExW/RegCreateKeyExW stays bound to the key it was opened on, and
//   answers ERROR_KEY_DELETED once that key has been deleted, by this or any
//   other process. When skyvane::SetDeviceRoot moves the process to another
//   device, the previous device's database is closed and every handle opened
//   on it answers ERROR_INVALID_HANDLE: a process never holds keys of two
//   devices.
// - Handles are entries of a process-wide table, never pointers, so a closed or
//   made-up handle answers ERROR_INVALID_HANDLE instead of crashing. Opening
//   with a NULL or empty subkey gives a new handle to the same key, also for
//   the roots.
// - Subkey paths use backslashes. A leading backslash is refused with
//   ERROR_BAD_PATHNAME, as desktop Windows does for RegOpenKeyExW and
//   RegCreateKeyExW (relative paths only); trailing and doubled backslashes are
//   tolerated.
// - Access masks and REG_OPTION_VOLATILE are accepted and not enforced: the
//   handheld platform ignores samDesired, and no key outlives the device here.
// - RegDeleteKeyW removes the whole subtree, as on the handheld platform. An
//   empty subkey deletes the key of the handle itself; the roots cannot be
//   deleted (ERROR_ACCESS_DENIED).
// - Type and bytes of a value come back exactly as stored: no terminator is
//   added to strings and no size is checked against the type.
#include "platform/registry/registry.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/device_root.h"
#include "platform/base/log.h"
#include "platform/registry/store.h"

using skyvane::registry::KeyId;
using skyvane::registry::KeyStats;
using skyvane::registry::Store;
using skyvane::registry::SubkeyInfo;
using skyvane::registry::ValueView;

namespace {

struct KeyRef {
    std::shared_ptr<Store> store;
    KeyId id = 0;
};

// The registry database of the process's device. It is reopened when its
// file was replaced or removed (one stat per call on a root key).
class CurrentDevice {
public:
    LONG Get(std::shared_ptr<Store>* out) {
        bool same = false;
        if (store_) {
            struct stat st;
            same = ::stat(store_->path().c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
        }
        if (!same) {
            store_.reset();
            std::string path = skyvane::DeviceRoot() + "/registry.db";
            LONG error = ERROR_SUCCESS;
            auto store = Store::Open(path, &error);
            if (!store) return error;
            struct stat st;
            if (::stat(path.c_str(), &st) != 0) return ERROR_CANTOPEN;
            dev_ = st.st_dev;
            ino_ = st.st_ino;
            store_ = std::move(store);
            SKYVANE_LOG("platform", "registry: device registry is %s", path.c_str());
        }
        *out = store_;
        return ERROR_SUCCESS;
    }

    void Close() {
        if (store_) store_->Close();
    }
    void Forget() {
        Close();
        store_.reset();
    }

private:
    std::shared_ptr<Store> store_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

class HandleTable {
public:
    LONG Resolve(HKEY hKey, KeyRef* out) {
        auto value = reinterpret_cast<std::uintptr_t>(hKey);
        std::lock_guard lock(mutex_);
        FollowDevice();
        if (KeyId root = RootId(value)) {
            out->id = root;
            return device_.Get(&out->store);
        }
        auto it = handles_.find(value);
        if (it == handles_.end()) return ERROR_INVALID_HANDLE;
        *out = it->second;
        return ERROR_SUCCESS;
    }

    HKEY Add(KeyRef ref) {
        std::lock_guard lock(mutex_);
        std::uintptr_t value = next_;
        next_ += 4;
        handles_.emplace(value, std::move(ref));
        return reinterpret_cast<HKEY>(value);
    }

    // At exit: lets go of every database, so that each is left as one
    // self-contained file. Handles stay valid; a later call reconnects.
    void CloseConnections() {
        std::lock_guard lock(mutex_);
        for (auto& [value, ref] : handles_) ref.store->Close();
        device_.Close();
    }

    LONG Close(HKEY hKey) {
        auto value = reinterpret_cast<std::uintptr_t>(hKey);
        if (RootId(value)) return ERROR_SUCCESS;  // closing a root is allowed and does nothing
        std::lock_guard lock(mutex_);
        FollowDevice();
        return handles_.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

private:
    // When the process has moved to another device, closes the previous one's
    // database and forgets its handles.
    void FollowDevice() {
        const unsigned generation = skyvane::DeviceRootGeneration();
        if (generation == generation_) return;
        generation_ = generation;
        for (auto& [value, ref] : handles_) ref.store->Close();
        if (!handles_.empty())
            SKYVANE_LOG("platform", "registry: %zu handles of the previous device are closed", handles_.size());
        handles_.clear();
        device_.Forget();
    }

    static KeyId RootId(std::uintptr_t value) {
        if (value == reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT)) return skyvane::registry::kClassesRootId;
        if (value == reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER)) return skyvane::registry::kCurrentUserId;
        if (value == reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE)) return skyvane::registry::kLocalMachineId;
        return 0;
    }

    std::mutex mutex_;
    CurrentDevice device_;
    std::unordered_map<std::uintptr_t, KeyRef> handles_;
    unsigned generation_ = skyvane::DeviceRootGeneration();
    // Handle values look like the platform's (multiples of 4) and are never
    // reused, so a stale handle cannot reach a key opened later.
    std::uintptr_t next_ = 0x1000;
};

// Never destroyed: keys may be closed from other libraries' static destructors.
HandleTable& Handles() {
    static HandleTable* table = [] {
        auto* t = new HandleTable;
        std::atexit([] { Handles().CloseConnections(); });
        return t;
    }();
    return *table;
}

std::u16string_view View(LPCWSTR s) { return s ? std::u16string_view(s) : std::u16string_view(); }

LONG SplitPath(LPCWSTR subKey, std::vector<std::u16string_view>* parts) {
    std::u16string_view path = View(subKey);
    if (!path.empty() && path.front() == u'\\') return ERROR_BAD_PATHNAME;
    while (!path.empty()) {
        size_t end = path.find(u'\\');
        std::u16string_view part = path.substr(0, end);
        if (!part.empty()) parts->push_back(part);
        if (end == std::u16string_view::npos) break;
        path.remove_prefix(end + 1);
    }
    return ERROR_SUCCESS;
}

// The key of hKey and the components of subKey, which names a key below it.
LONG ResolvePath(HKEY hKey, LPCWSTR subKey, KeyRef* key, std::vector<std::u16string_view>* parts) {
    if (LONG r = Handles().Resolve(hKey, key); r != ERROR_SUCCESS) return r;
    return SplitPath(subKey, parts);
}

FILETIME ToFileTime(ULONGLONG ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }

// Copies name with its terminator into a buffer of capacity characters;
// false when it does not fit.
bool CopyName(std::u16string_view name, LPWSTR buffer, DWORD capacity) {
    if (name.size() >= capacity) return false;
    std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
    buffer[name.size()] = 0;
    return true;
}

// The boundary of every entry point: nothing thrown inside leaves it.
template <class F>
LONG Guarded(const char* function, F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        skyvane::LogCaughtException("platform", function);
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        skyvane::LogCaughtException("platform", function);
        return ERROR_GEN_FAILURE;
    }
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef base;
        std::vector<std::u16string_view> parts;
        if (LONG r = ResolvePath(hKey, lpSubKey, &base, &parts); r != ERROR_SUCCESS) return r;
        KeyId id = 0;
        if (LONG r = base.store->OpenPath(base.id, parts, &id); r != ERROR_SUCCESS) return r;
        *phkResult = Handles().Add(KeyRef{base.store, id});
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_BADKEY;  // as desktop Windows answers
    *phkResult = nullptr;
    if (Reserved) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef base;
        std::vector<std::u16string_view> parts;
        if (LONG r = ResolvePath(hKey, lpSubKey, &base, &parts); r != ERROR_SUCCESS) return r;
        for (auto part : parts) {
            if (part.size() > skyvane::registry::kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
        }
        KeyId id = 0;
        DWORD disposition = 0;
        if (LONG r = base.store->CreatePath(base.id, parts, View(lpClass), &id, &disposition); r != ERROR_SUCCESS)
            return r;
        *phkResult = Handles().Add(KeyRef{base.store, id});
        if (lpdwDisposition) *lpdwDisposition = disposition;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        const DWORD capacity = lpcbData ? *lpcbData : 0;
        LONG result = ERROR_SUCCESS;
        LONG r = key.store->ReadValue(key.id, View(lpValueName), [&](const ValueView& v) {
            if (lpType) *lpType = v.type;
            if (lpData) {
                if (v.size > capacity)
                    result = ERROR_MORE_DATA;  // the buffer is left as it was
                else if (v.size)
                    std::memcpy(lpData, v.data, v.size);
            }
            if (lpcbData) *lpcbData = v.size;
        });
        // Asking the size of a missing value answers 0 besides the error.
        if (r == ERROR_FILE_NOT_FOUND && lpcbData && !lpData) *lpcbData = 0;
        return r != ERROR_SUCCESS ? r : result;
    });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        if (!lpData && cbData) return ERROR_NOACCESS;
        std::u16string_view name = View(lpValueName);
        if (name.size() > skyvane::registry::kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
        return key.store->WriteValue(key.id, name, dwType, lpData, cbData);
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        return key.store->DeleteValue(key.id, View(lpValueName));
    });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        std::vector<std::u16string_view> parts;
        if (LONG r = ResolvePath(hKey, lpSubKey, &key, &parts); r != ERROR_SUCCESS) return r;
        return key.store->DeletePath(key.id, parts);
    });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPWSTR lpClass,
                   LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
    if (lpReserved || !lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        SubkeyInfo info;
        if (LONG r = key.store->SubkeyAt(key.id, dwIndex, &info); r != ERROR_SUCCESS) return r;
        // Nothing is written unless everything fits.
        if (info.name.size() >= *lpcchName) return ERROR_MORE_DATA;
        if (lpClass && lpcchClass && info.cls.size() >= *lpcchClass) return ERROR_MORE_DATA;
        CopyName(info.name, lpName, *lpcchName);
        *lpcchName = DWORD(info.name.size());
        if (lpcchClass) {
            if (lpClass) CopyName(info.cls, lpClass, *lpcchClass);
            *lpcchClass = DWORD(info.cls.size());
        }
        if (lpftLastWriteTime) *lpftLastWriteTime = ToFileTime(info.written);
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        const DWORD capacity = lpcbData ? *lpcbData : 0;
        LONG result = ERROR_SUCCESS;
        LONG r = key.store->ValueAt(key.id, dwIndex, [&](const ValueView& v) {
            // Type and size are always reported; the name only when it fits,
            // and the data only when both fit.
            if (lpType) *lpType = v.type;
            if (lpcbData) *lpcbData = v.size;
            if (!CopyName(v.name, lpValueName, *lpcchValueName)) {
                result = ERROR_MORE_DATA;
                return;
            }
            *lpcchValueName = DWORD(v.name.size());
            if (lpData) {
                if (v.size > capacity)
                    result = ERROR_MORE_DATA;
                else if (v.size)
                    std::memcpy(lpData, v.data, v.size);
            }
        });
        return r != ERROR_SUCCESS ? r : result;
    });
}

LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      FILETIME* lpftLastWriteTime) {
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        KeyStats stats;
        if (LONG r = key.store->Stats(key.id, &stats); r != ERROR_SUCCESS) return r;
        LONG result = ERROR_SUCCESS;
        if (lpcchClass) {
            if (lpClass && !CopyName(stats.cls, lpClass, *lpcchClass)) result = ERROR_MORE_DATA;
            *lpcchClass = DWORD(stats.cls.size());
        }
        // The "cb" maxima of names are in characters without the terminator.
        if (lpcSubKeys) *lpcSubKeys = stats.subkeys;
        if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = stats.maxSubkeyChars;
        if (lpcbMaxClassLen) *lpcbMaxClassLen = stats.maxClassChars;
        if (lpcValues) *lpcValues = stats.values;
        if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = stats.maxValueNameChars;
        if (lpcbMaxValueLen) *lpcbMaxValueLen = stats.maxValueBytes;
        if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
        if (lpftLastWriteTime) *lpftLastWriteTime = ToFileTime(stats.written);
        return result;
    });
}

LONG RegCloseKey(HKEY hKey) {
    return Guarded(__func__, [&] { return Handles().Close(hKey); });
}

LONG RegFlushKey(HKEY hKey) {
    return Guarded(__func__, [&]() -> LONG {
        KeyRef key;
        if (LONG r = Handles().Resolve(hKey, &key); r != ERROR_SUCCESS) return r;
        return key.store->Flush();
    });
}
