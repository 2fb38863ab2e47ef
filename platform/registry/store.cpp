#include "platform/registry/store.h"

#include <chrono>

#include "platform/base/log.h"
#include "platform/registry/registry.h"
#include "platform/base/wide_string.h"

namespace skyvane::registry {
namespace {

const char* const kStatementText[] = {
    /* kKeyExists */ "SELECT 1 FROM keys WHERE id=?1",
    /* kFindChild */ "SELECT id FROM keys WHERE parent=?1 AND fold=?2",
    /* kInsertKey */ "INSERT INTO keys(parent, fold, name, class, written) VALUES(?1, ?2, ?3, ?4, ?5)",
    /* kTouchKey */ "UPDATE keys SET written=?2 WHERE id=?1",
    /* kKeyParent */ "SELECT parent FROM keys WHERE id=?1",
    /* kReadValue */ "SELECT type, data FROM vals WHERE key=?1 AND fold=?2",
    /* kUpsertValue */
    "INSERT INTO vals(key, fold, name, seq, type, data) "
    "VALUES(?1, ?2, ?3, (SELECT IFNULL(MAX(seq), 0) + 1 FROM vals WHERE key=?1), ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data",
    /* kDeleteValue */ "DELETE FROM vals WHERE key=?1 AND fold=?2",
    /* kDeleteTreeValues */
    "WITH RECURSIVE tree(id) AS (VALUES(?1) UNION ALL "
    "SELECT keys.id FROM keys JOIN tree ON keys.parent=tree.id) "
    "DELETE FROM vals WHERE key IN tree",
    /* kDeleteTreeKeys */
    "WITH RECURSIVE tree(id) AS (VALUES(?1) UNION ALL "
    "SELECT keys.id FROM keys JOIN tree ON keys.parent=tree.id) "
    "DELETE FROM keys WHERE id IN tree",
    /* kSubkeyAt */ "SELECT name, class, written FROM keys WHERE parent=?1 ORDER BY fold LIMIT 1 OFFSET ?2",
    /* kValueAt */ "SELECT type, data, name FROM vals WHERE key=?1 ORDER BY seq LIMIT 1 OFFSET ?2",
    /* kKeyRow */ "SELECT class, written FROM keys WHERE id=?1",
    /* kSubkeyStats */
    "SELECT COUNT(*), IFNULL(MAX(length(name)), 0), IFNULL(MAX(length(class)), 0) FROM keys WHERE parent=?1",
    /* kValueStats */
    "SELECT COUNT(*), IFNULL(MAX(length(name)), 0), IFNULL(MAX(length(data)), 0) FROM vals WHERE key=?1",
    /* kKeyValues */ "SELECT fold, type, data FROM vals WHERE key=?1",
    /* kDataVersion */ "PRAGMA data_version",
};
static_assert(sizeof(kStatementText) / sizeof(kStatementText[0]) == 17);

// A read that finds nothing in memory loads the whole key, within these
// bounds: the plugin polls a few hundred small values of one key.
constexpr size_t kMaxKeyLoadValues = 1024;
constexpr size_t kMaxKeyLoadBytes = 256 * 1024;

}  // namespace

ULONGLONG FileTimeNow() {
    using namespace std::chrono;
    auto ticks = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return ULONGLONG(ticks) + 116444736000000000ull;  // 1601 to 1970
}

std::shared_ptr<Store> Store::Open(const std::string& path, LONG* error) {
    std::shared_ptr<Store> store(new Store(path));
    *error = store->connection_.Open();
    return *error == ERROR_SUCCESS ? store : nullptr;
}

Store::Statement Store::Prepare(StatementId id) { return connection_.Prepare(id, kStatementText[id]); }

const std::string& Store::Fold(std::u16string_view name) {
    foldBuffer_.resize(name.size() * 2);
    char* out = foldBuffer_.data();
    for (char16_t c : name) {
        char16_t f = FoldLower(c);
        *out++ = char(f >> 8);
        *out++ = char(f & 0xff);
    }
    return foldBuffer_;
}

bool Store::KeyExists(KeyId key) {
    Statement s = Prepare(kKeyExists);
    s.Int(1, key);
    return s.Step();
}

KeyId Store::FindChild(KeyId parent, std::u16string_view name) {
    Statement s = Prepare(kFindChild);
    s.Int(1, parent).Blob(2, Fold(name));
    return s.Step() ? s.Int(0) : 0;
}

LONG Store::Resolve(KeyId from, const std::vector<std::u16string_view>& parts, KeyId* out) {
    KeyId id = from;
    for (auto part : parts) {
        KeyId child = FindChild(id, part);
        if (!child) return id == from && !KeyExists(from) ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
        id = child;
    }
    if (parts.empty() && !KeyExists(from)) return ERROR_KEY_DELETED;
    *out = id;
    return ERROR_SUCCESS;
}

void Store::Touch(KeyId key) {
    Statement s = Prepare(kTouchKey);
    s.Int(1, key).Int(2, std::int64_t(FileTimeNow()));
    s.Run();
}

LONG Store::OpenPath(KeyId from, const std::vector<std::u16string_view>& parts, KeyId* out) {
    return connection_.Run(parts.size() > 1 ? Mode::kSnapshot : Mode::kRead, [&] { return Resolve(from, parts, out); });
}

LONG Store::CreatePath(KeyId from, const std::vector<std::u16string_view>& parts, std::u16string_view cls,
                       KeyId* out, DWORD* disposition) {
    return connection_.Run(Mode::kWrite, [&]() -> LONG {
        if (!KeyExists(from)) return ERROR_KEY_DELETED;
        KeyId id = from;
        bool created = false;
        for (size_t i = 0; i < parts.size(); ++i) {
            KeyId child = FindChild(id, parts[i]);
            if (!child) {
                const bool last = i + 1 == parts.size();
                const auto now = std::int64_t(FileTimeNow());
                Statement s = Prepare(kInsertKey);
                s.Int(1, id).Blob(2, Fold(parts[i])).Text(3, parts[i]).Text(4, last ? cls : std::u16string_view());
                s.Int(5, now);
                s.Run();
                child = connection_.LastInsertRowid();
                s.Reset();
                Touch(id);
                created = last;
            }
            id = child;
        }
        *out = id;
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LONG Store::DeletePath(KeyId from, const std::vector<std::u16string_view>& parts) {
    return connection_.Run(Mode::kWrite, [&]() -> LONG {
        KeyId id = 0;
        if (LONG r = Resolve(from, parts, &id); r != ERROR_SUCCESS) return r;
        if (id == kClassesRootId || id == kCurrentUserId || id == kLocalMachineId) return ERROR_ACCESS_DENIED;
        KeyId parent = 0;
        {
            Statement s = Prepare(kKeyParent);
            s.Int(1, id);
            if (s.Step()) parent = s.Int(0);
        }
        {
            Statement s = Prepare(kDeleteTreeValues);
            s.Int(1, id).Run();
        }
        {
            Statement s = Prepare(kDeleteTreeKeys);
            s.Int(1, id).Run();
        }
        if (parent) Touch(parent);
        return ERROR_SUCCESS;
    });
}

LONG Store::ReadValueFromDatabase(KeyId key, std::u16string_view name, ReadCache::Entry* out) {
    {
        Statement s = Prepare(kReadValue);
        s.Int(1, key).Blob(2, Fold(name));
        if (s.Step()) {
            out->type = DWORD(s.Int(0));
            const BYTE* data = s.BlobData(1);
            out->data.assign(data, data + s.BlobSize(1));
            return out->result = ERROR_SUCCESS;
        }
    }
    return out->result = KeyExists(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

// SQLite's count of the commits of other connections (see read_cache.h).
std::int64_t Store::DataVersion() {
    Statement s = Prepare(kDataVersion);
    s.Step();
    return s.Int(0);
}

// Reads the values of key in one statement into the cache (when no other
// connection committed meanwhile) and takes the one with fold out of them;
// false when the key is too big to be read whole and the value was not among
// those read.
bool Store::ReadKeyFromDatabase(KeyId key, const std::string& fold, std::int64_t version, ReadCache::Entry* wanted) {
    std::vector<std::pair<std::string, ReadCache::Entry>> values;
    size_t bytes = 0;
    bool complete = true, found = false;
    {
        Statement s = Prepare(kKeyValues);
        s.Int(1, key);
        while (s.Step()) {
            if (values.size() >= kMaxKeyLoadValues || bytes > kMaxKeyLoadBytes) {
                complete = false;
                break;
            }
            const BYTE* f = s.BlobData(0);
            const BYTE* data = s.BlobData(2);
            ReadCache::Entry entry{ERROR_SUCCESS, DWORD(s.Int(1)), std::vector<BYTE>(data, data + s.BlobSize(2))};
            bytes += entry.data.size();
            std::string name(reinterpret_cast<const char*>(f), size_t(s.BlobSize(0)));
            if (name == fold) {
                *wanted = entry;
                found = true;
            }
            values.emplace_back(std::move(name), std::move(entry));
        }
    }
    bool deleted = false;
    if (!found && complete) {
        deleted = values.empty() && !KeyExists(key);
        wanted->result = deleted ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    }
    if (DataVersion() == version) {
        if (deleted)
            connection_.cache().Keep(version, key, fold, ReadCache::Entry(*wanted));
        else
            connection_.cache().KeepKey(version, key, std::move(values), complete);
    }
    return found || complete;
}

LONG Store::ReadValue(KeyId key, std::u16string_view name, FunctionRef<void(const ValueView&)> fn) {
    return connection_.Run(Mode::kRead, [&]() -> LONG {
        auto deliver = [&](const ReadCache::Entry& e) {
            if (e.result == ERROR_SUCCESS) fn(ValueView{name, e.type, e.data.data(), DWORD(e.data.size())});
            return e.result;
        };
        const std::int64_t version = DataVersion();
        const std::string fold = Fold(name);
        if (const auto* hit = connection_.cache().Find(version, key, fold)) return deliver(*hit);
        ReadCache::Entry read;
        if (ReadKeyFromDatabase(key, fold, version, &read)) return deliver(read);
        ReadValueFromDatabase(key, name, &read);
        if (DataVersion() == version) return deliver(connection_.cache().Keep(version, key, fold, std::move(read)));
        return deliver(read);
    });
}

LONG Store::WriteValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size) {
    return connection_.Run(Mode::kUpdate, [&]() -> LONG {
        if (!KeyExists(key)) return ERROR_KEY_DELETED;
        const std::string fold = Fold(name);
        {
            Statement s = Prepare(kUpsertValue);
            s.Int(1, key).Blob(2, fold).Text(3, name).Int(4, type).Blob(5, data, size);
            s.Run();
        }
        Touch(key);
        connection_.cache().Update(key, fold, ReadCache::Entry{ERROR_SUCCESS, type, std::vector<BYTE>(data, data + size)});
        return ERROR_SUCCESS;
    });
}

LONG Store::DeleteValue(KeyId key, std::u16string_view name) {
    return connection_.Run(Mode::kWrite, [&]() -> LONG {
        if (!KeyExists(key)) return ERROR_KEY_DELETED;
        {
            Statement s = Prepare(kDeleteValue);
            s.Int(1, key).Blob(2, Fold(name)).Run();
        }
        if (connection_.Changes() == 0) return ERROR_FILE_NOT_FOUND;
        Touch(key);
        return ERROR_SUCCESS;
    });
}

LONG Store::SubkeyAt(KeyId key, DWORD index, SubkeyInfo* out) {
    return connection_.Run(Mode::kRead, [&]() -> LONG {
        {
            Statement s = Prepare(kSubkeyAt);
            s.Int(1, key).Int(2, index);
            if (s.Step()) {
                out->name = s.Name(0);
                out->cls = s.Name(1);
                out->written = ULONGLONG(s.Int(2));
                return ERROR_SUCCESS;
            }
        }
        return KeyExists(key) ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
    });
}

LONG Store::ValueAt(KeyId key, DWORD index, FunctionRef<void(const ValueView&)> fn) {
    return connection_.Run(Mode::kRead, [&]() -> LONG {
        {
            Statement s = Prepare(kValueAt);
            s.Int(1, key).Int(2, index);
            if (s.Step()) {
                std::u16string name = s.Name(2);
                fn(ValueView{name, DWORD(s.Int(0)), s.BlobData(1), DWORD(s.BlobSize(1))});
                return ERROR_SUCCESS;
            }
        }
        return KeyExists(key) ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
    });
}

LONG Store::Stats(KeyId key, KeyStats* out) {
    return connection_.Run(Mode::kSnapshot, [&]() -> LONG {
        {
            Statement s = Prepare(kKeyRow);
            s.Int(1, key);
            if (!s.Step()) return ERROR_KEY_DELETED;
            out->cls = s.Name(0);
            out->written = ULONGLONG(s.Int(1));
        }
        {
            Statement s = Prepare(kSubkeyStats);
            s.Int(1, key);
            s.Step();
            out->subkeys = DWORD(s.Int(0));
            out->maxSubkeyChars = DWORD(s.Int(1) / 2);
            out->maxClassChars = DWORD(s.Int(2) / 2);
        }
        {
            Statement s = Prepare(kValueStats);
            s.Int(1, key);
            s.Step();
            out->values = DWORD(s.Int(0));
            out->maxValueNameChars = DWORD(s.Int(1) / 2);
            out->maxValueBytes = DWORD(s.Int(2));
        }
        return ERROR_SUCCESS;
    });
}

LONG Store::Flush() {
    return connection_.Run(Mode::kRead, [&]() -> LONG {
        connection_.Checkpoint();
        return ERROR_SUCCESS;
    });
}

}  // namespace skyvane::registry
