// The registry's storage: one SQLite database file holding the keys and values
// of one device. Internal to the platform layer; the Win32 functions in
// registry.cpp sit on top of it.
//
// Every operation is one transaction and answers a Win32 error number. Keys are
// rows with a parent; the three roots are fixed rows that always exist. Names are
// kept twice: exactly as the caller spelled them, and folded (lower case, as
// skyvane::CompareNoCase folds) for lookups and for the order of subkeys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/connection.h"
#include "platform/registry/read_cache.h"
#include "platform/base/win_types.h"

namespace skyvane::registry {

using KeyId = std::int64_t;
inline constexpr KeyId kClassesRootId = 1;
inline constexpr KeyId kCurrentUserId = 2;
inline constexpr KeyId kLocalMachineId = 3;

// Limits of the platform: a key name (one path component) has at most 255
// characters, a value name at most 16383.
inline constexpr size_t kMaxKeyNameChars = 255;
inline constexpr size_t kMaxValueNameChars = 16383;

// A non-owning reference to a callable, for handing stored bytes to the caller
// while SQLite still owns them (no copy on the read path).
template <class Sig>
class FunctionRef;
template <class R, class... A>
class FunctionRef<R(A...)> {
public:
    template <class F>
    FunctionRef(F&& f)  // NOLINT: implicit by design
        : obj_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, A... a) -> R { return (*static_cast<std::remove_reference_t<F>*>(o))(a...); }) {}
    R operator()(A... a) const { return call_(obj_, a...); }

private:
    void* obj_;
    R (*call_)(void*, A...);
};

// A stored value as SQLite hands it out; data is valid only inside the callback.
struct ValueView {
    std::u16string_view name;
    DWORD type;
    const BYTE* data;
    DWORD size;
};

struct SubkeyInfo {
    std::u16string name;
    std::u16string cls;
    ULONGLONG written = 0;  // FILETIME ticks
};

struct KeyStats {
    std::u16string cls;
    DWORD subkeys = 0;
    DWORD maxSubkeyChars = 0;
    DWORD maxClassChars = 0;
    DWORD values = 0;
    DWORD maxValueNameChars = 0;
    DWORD maxValueBytes = 0;
    ULONGLONG written = 0;
};

class Store {
public:
    // Opens the database at path, creating it (and its folder) when missing.
    // On failure answers null with *error ERROR_CANTOPEN (cannot be opened or
    // created) or ERROR_BADDB (not a registry database, or damaged); the reason
    // has gone to stderr, once per file and process.
    static std::shared_ptr<Store> Open(const std::string& path, LONG* error);

    const std::string& path() const { return connection_.path(); }

    // Finds the key at parts below from. ERROR_KEY_DELETED when from is gone.
    LONG OpenPath(KeyId from, const std::vector<std::u16string_view>& parts, KeyId* out);
    // Finds or creates every level of parts below from; cls is the class of a
    // newly created last level. *disposition is REG_CREATED_NEW_KEY when the
    // last level is new.
    LONG CreatePath(KeyId from, const std::vector<std::u16string_view>& parts, std::u16string_view cls,
                    KeyId* out, DWORD* disposition);
    // Deletes the key at parts below from (from itself when parts is empty)
    // with its whole subtree. The roots cannot be deleted (ERROR_ACCESS_DENIED).
    LONG DeletePath(KeyId from, const std::vector<std::u16string_view>& parts);

    // fn sees the value while it is current. ERROR_FILE_NOT_FOUND when the
    // value does not exist, ERROR_KEY_DELETED when the key is gone.
    LONG ReadValue(KeyId key, std::u16string_view name, FunctionRef<void(const ValueView&)> fn);
    LONG WriteValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size);
    LONG DeleteValue(KeyId key, std::u16string_view name);

    // Enumeration by index: subkeys in folded-name order, values in the order
    // they were first written. ERROR_NO_MORE_ITEMS past the last.
    LONG SubkeyAt(KeyId key, DWORD index, SubkeyInfo* out);
    LONG ValueAt(KeyId key, DWORD index, FunctionRef<void(const ValueView&)> fn);
    LONG Stats(KeyId key, KeyStats* out);
    // Makes committed changes durable in the database file.
    LONG Flush();
    // Closes the connection (the last one to close folds the WAL into the
    // database file); the next operation opens it again.
    void Close() { connection_.Close(); }

private:
    using Mode = Connection::Mode;
    using Statement = Connection::Statement;
    enum StatementId : int {
        kKeyExists,
        kFindChild,
        kInsertKey,
        kTouchKey,
        kKeyParent,
        kReadValue,
        kUpsertValue,
        kDeleteValue,
        kDeleteTreeValues,
        kDeleteTreeKeys,
        kSubkeyAt,
        kValueAt,
        kKeyRow,
        kSubkeyStats,
        kValueStats,
        kKeyValues,
        kDataVersion,
        kStatementCount
    };
    static_assert(kStatementCount <= Connection::kMaxStatements);

    explicit Store(std::string path) : connection_(std::move(path)) {}
    Statement Prepare(StatementId id);
    const std::string& Fold(std::u16string_view name);
    bool KeyExists(KeyId key);
    KeyId FindChild(KeyId parent, std::u16string_view name);
    LONG Resolve(KeyId from, const std::vector<std::u16string_view>& parts, KeyId* out);
    void Touch(KeyId key);
    LONG ReadValueFromDatabase(KeyId key, std::u16string_view name, ReadCache::Entry* out);
    std::int64_t DataVersion();
    bool ReadKeyFromDatabase(KeyId key, const std::string& fold, std::int64_t version, ReadCache::Entry* wanted);

    Connection connection_;
    std::string foldBuffer_;  // used under the connection's lock
};

// FILETIME ticks of the present moment (100 ns since 1601, UTC).
ULONGLONG FileTimeNow();

}  // namespace skyvane::registry
