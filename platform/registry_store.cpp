#include "platform/registry_store.h"

#include <pthread.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/log.h"
#include "platform/registry.h"
#include "platform/wstring.h"

namespace skyvane::registry {
namespace {

constexpr int kSchemaVersion = 1;
// How long a call waits for other processes' write transactions before it
// gives up: SQLite's own busy handler waits this long, and the retry loop
// around each transaction again (some BUSY answers skip the handler).
constexpr int kBusyTimeoutMs = 10000;
constexpr auto kRetryLimit = std::chrono::milliseconds(kBusyTimeoutMs);

// A child of fork() must not use its parent's SQLite connections: the locks
// belong to the parent. Each Store reconnects when this has moved on.
std::atomic<unsigned> g_forkGeneration{0};
[[maybe_unused]] const int g_atFork = pthread_atfork(nullptr, nullptr, [] { ++g_forkGeneration; });

struct SqlFailure {
    int rc;
    const char* what;
};

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
};
static_assert(sizeof(kStatementText) / sizeof(kStatementText[0]) == 16);

// A read that finds nothing in memory loads the whole key, within these
// bounds: the plugin polls a few hundred small values of one key.
constexpr size_t kMaxKeyLoadValues = 1024;
constexpr size_t kMaxKeyLoadBytes = 256 * 1024;

const char kSchema[] =
    "CREATE TABLE keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a handle to a deleted key stays deleted
    " parent INTEGER NOT NULL,"
    " fold BLOB NOT NULL,"   // folded name, UTF-16 big-endian so that byte order is character order
    " name BLOB NOT NULL,"   // name as created, UTF-16 in host order
    " class BLOB NOT NULL,"
    " written INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX keys_by_name ON keys(parent, fold);"
    "CREATE TABLE vals("
    " key INTEGER NOT NULL,"
    " fold BLOB NOT NULL,"
    " name BLOB NOT NULL,"
    " seq INTEGER NOT NULL,"  // order of first write
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, fold)) WITHOUT ROWID;"
    "CREATE INDEX vals_by_seq ON vals(key, seq);"
    "INSERT INTO keys(id, parent, fold, name, class, written) VALUES"
    " (1, 0, x'01', x'', x'', 0), (2, 0, x'02', x'', x'', 0), (3, 0, x'03', x'', x'', 0);"
    // FILETIME ticks of now: Julian day 2305813.5 is 1 January 1601.
    "UPDATE keys SET written=CAST((julianday('now') - 2305813.5) * 864000000000 AS INTEGER);"
    "PRAGMA user_version=1;";

// A zero-length blob must be bound as a blob, not as NULL.
const BYTE kEmpty[1] = {0};

bool IsBusy(int rc) {
    int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Prints a registry failure on stderr the first time it happens for a file.
void ReportOnce(const std::string& path, const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (!reported.insert(path).second) return;
    std::fprintf(stderr, "skyvane: %s\n", message.c_str());
}

std::u16string FromBlob(const void* bytes, int size) {
    std::u16string s(size_t(size) / 2, u'\0');
    if (size > 1) std::memcpy(s.data(), bytes, s.size() * 2);
    return s;
}

}  // namespace

ULONGLONG FileTimeNow() {
    using namespace std::chrono;
    auto ticks = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return ULONGLONG(ticks) + 116444736000000000ull;  // 1601 to 1970
}

// A cached prepared statement in use; resets it when the scope ends so that no
// statement keeps a read transaction open after an error.
class Store::Statement {
public:
    Statement(sqlite3_stmt* s) : s_(s) {}
    ~Statement() { sqlite3_reset(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Int(int i, sqlite3_int64 v) {
        Check(sqlite3_bind_int64(s_, i, v));
        return *this;
    }
    Statement& Blob(int i, const void* data, size_t size) {
        Check(sqlite3_bind_blob64(s_, i, size ? data : kEmpty, size, SQLITE_STATIC));
        return *this;
    }
    Statement& Blob(int i, const std::string& bytes) { return Blob(i, bytes.data(), bytes.size()); }
    Statement& Text(int i, std::u16string_view s) { return Blob(i, s.data(), s.size() * 2); }
    // True while there is a row; false when done.
    bool Step() {
        int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw SqlFailure{rc, sqlite3_sql(s_)};
    }
    void Run() {
        while (Step()) {
        }
    }
    void Reset() { sqlite3_reset(s_); }
    sqlite3_int64 Int(int col) const { return sqlite3_column_int64(s_, col); }
    const BYTE* BlobData(int col) const { return static_cast<const BYTE*>(sqlite3_column_blob(s_, col)); }
    int BlobSize(int col) const { return sqlite3_column_bytes(s_, col); }
    std::u16string Name(int col) const { return FromBlob(sqlite3_column_blob(s_, col), BlobSize(col)); }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) throw SqlFailure{rc, "bind"};
    }
    sqlite3_stmt* s_;
};

Store::Store(std::string path) : path_(std::move(path)) {}

Store::~Store() { Disconnect(g_forkGeneration != forkGeneration_); }

std::shared_ptr<Store> Store::Open(const std::string& path, LONG* error) {
    std::shared_ptr<Store> store(new Store(path));
    std::lock_guard lock(store->mutex_);
    *error = store->Connect();
    if (*error != ERROR_SUCCESS) return nullptr;
    return store;
}

void Store::Disconnect(bool abandon) {
    cache_.Detach();
    if (!db_) return;
    if (!abandon) {
        for (auto*& s : statements_) {
            if (s) sqlite3_finalize(s);
        }
        sqlite3_close_v2(db_);
    }
    for (auto*& s : statements_) s = nullptr;
    db_ = nullptr;
}

LONG Store::Connect() {
    if (db_ && forkGeneration_ == g_forkGeneration) return ERROR_SUCCESS;
    Disconnect(/*abandon=*/db_ != nullptr);
    forkGeneration_ = g_forkGeneration;

    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        int sys = db_ ? sqlite3_system_errno(db_) : 0;
        std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        if (sys) why += std::string(": ") + std::strerror(sys);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        ReportOnce(path_, "cannot open the registry database " + path_ + " (" + why + ")");
        SKYVANE_LOG("platform", "registry: open %s failed: %s", path_.c_str(), why.c_str());
        return ERROR_CANTOPEN;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);

    LONG result = CheckSchema();
    if (result != ERROR_SUCCESS) {
        Disconnect(false);
        return result;
    }
    cache_.Attach(path_ + "-shm");
    SKYVANE_LOG("platform", "registry: opened %s", path_.c_str());
    return ERROR_SUCCESS;
}

// Puts the database in WAL mode and makes sure it holds the registry's tables,
// creating them in a new (or zero-length) file. Several processes may do this
// at once; the write transaction makes one of them create the tables.
LONG Store::CheckSchema() {
    auto exec = [&](const char* sql) {
        for (auto deadline = std::chrono::steady_clock::now() + kRetryLimit;;) {
            int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return;
            if (!IsBusy(rc) || std::chrono::steady_clock::now() > deadline) throw SqlFailure{rc, sql};
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    auto version = [&] {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &s, nullptr);
        if (rc != SQLITE_OK) throw SqlFailure{rc, "PRAGMA user_version"};
        rc = sqlite3_step(s);
        int v = rc == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW) throw SqlFailure{rc, "PRAGMA user_version"};
        return v;
    };
    try {
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        int v = version();
        if (v == kSchemaVersion) return ERROR_SUCCESS;
        if (v != 0) {
            ReportOnce(path_, "the registry database " + path_ + " has an unknown format (version " +
                                  std::to_string(v) + "); registry calls fail with ERROR_BADDB");
            return ERROR_BADDB;
        }
        exec("BEGIN IMMEDIATE");
        try {
            v = version();
            if (v == 0) {
                sqlite3_stmt* s = nullptr;
                sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM sqlite_master", -1, &s, nullptr);
                int rc = sqlite3_step(s);
                int objects = rc == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
                sqlite3_finalize(s);
                if (objects != 0) {
                    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                    ReportOnce(path_, "the file " + path_ +
                                          " is an SQLite database but not a registry database; registry calls fail "
                                          "with ERROR_BADDB");
                    return ERROR_BADDB;
                }
                exec(kSchema);
                SKYVANE_LOG("platform", "registry: created %s", path_.c_str());
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        return v == 0 || v == kSchemaVersion ? ERROR_SUCCESS : ERROR_BADDB;
    } catch (const SqlFailure& f) {
        return Translate(f.rc, f.what);
    }
}

LONG Store::Translate(int rc, const char* what) {
    int primary = rc & 0xff;
    const char* text = sqlite3_errstr(rc);
    SKYVANE_LOG("platform", "registry: %s: %s (%d) in %s", path_.c_str(), text, rc, what ? what : "?");
    switch (primary) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        ReportOnce(path_, "the registry database " + path_ + " is damaged or is not a registry database (" +
                              text + "); registry calls fail with ERROR_BADDB");
        return ERROR_BADDB;
    case SQLITE_CANTOPEN:
        ReportOnce(path_, "cannot open the registry database " + path_ + " (" + text + ")");
        return ERROR_CANTOPEN;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_TIMEOUT;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        ReportOnce(path_, "cannot write the registry database " + path_ + " (" + text + ")");
        return ERROR_CANTWRITE;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        ReportOnce(path_, "the registry database " + path_ + " cannot be read or written (" + text + ")");
        return ERROR_REGISTRY_IO_FAILED;
    }
}

Store::Statement Store::Prepare(StatementId id) {
    sqlite3_stmt*& s = statements_[id];
    if (!s) {
        int rc = sqlite3_prepare_v3(db_, kStatementText[id], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        if (rc != SQLITE_OK) {
            s = nullptr;
            throw SqlFailure{rc, kStatementText[id]};
        }
    }
    return Statement(s);
}

// Runs body as one transaction: none for a single read statement, a read
// snapshot for several, BEGIN IMMEDIATE for writes so that a writer never has
// to upgrade a read lock (which fails under contention). A body that answers
// an error rolls its writes back. Busy answers retry the whole transaction.
template <class Body>
LONG Store::Run(Mode mode, Body&& body) {
    std::lock_guard lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + kRetryLimit;
    for (int attempt = 0;; ++attempt) {
        LONG result = Connect();
        if (result != ERROR_SUCCESS) return result;
        bool open = false;
        try {
            if (mode != Mode::kRead) {
                int rc = sqlite3_exec(db_, mode == Mode::kWrite ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr,
                                      nullptr);
                if (rc != SQLITE_OK) throw SqlFailure{rc, "BEGIN"};
                open = true;
            }
            result = body();
            if (open) {
                const char* end = result == ERROR_SUCCESS || mode != Mode::kWrite ? "COMMIT" : "ROLLBACK";
                int rc = sqlite3_exec(db_, end, nullptr, nullptr, nullptr);
                if (rc != SQLITE_OK) throw SqlFailure{rc, end};
                open = false;
            }
            return result;
        } catch (const SqlFailure& f) {
            if (open || !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            if (IsBusy(f.rc) && std::chrono::steady_clock::now() < deadline) {
                SKYVANE_LOG("platform", "registry: busy (%d), retry %d", f.rc, attempt + 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1 << std::min(attempt, 5)));
                continue;
            }
            return Translate(f.rc, f.what);
        }
    }
}

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
    s.Int(1, key).Int(2, sqlite3_int64(FileTimeNow()));
    s.Run();
}

LONG Store::OpenPath(KeyId from, const std::vector<std::u16string_view>& parts, KeyId* out) {
    return Run(parts.size() > 1 ? Mode::kSnapshot : Mode::kRead, [&] { return Resolve(from, parts, out); });
}

LONG Store::CreatePath(KeyId from, const std::vector<std::u16string_view>& parts, std::u16string_view cls,
                       KeyId* out, DWORD* disposition) {
    return Run(Mode::kWrite, [&]() -> LONG {
        if (!KeyExists(from)) return ERROR_KEY_DELETED;
        KeyId id = from;
        bool created = false;
        for (size_t i = 0; i < parts.size(); ++i) {
            KeyId child = FindChild(id, parts[i]);
            if (!child) {
                const bool last = i + 1 == parts.size();
                const auto now = sqlite3_int64(FileTimeNow());
                Statement s = Prepare(kInsertKey);
                s.Int(1, id).Blob(2, Fold(parts[i])).Text(3, parts[i]).Text(4, last ? cls : std::u16string_view());
                s.Int(5, now);
                s.Run();
                child = sqlite3_last_insert_rowid(db_);
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
    return Run(Mode::kWrite, [&]() -> LONG {
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

// Reads the values of key in one statement into the cache and takes the one
// with fold out of them; false when the key is too big to be read whole and
// the value was not among those read.
bool Store::ReadKeyFromDatabase(KeyId key, const std::string& fold, const ReadCache::State& state,
                                ReadCache::Entry* wanted) {
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
    if (!found && complete) {
        if (values.empty() && !KeyExists(key)) {
            wanted->result = ERROR_KEY_DELETED;
            cache_.Keep(state, key, fold, ReadCache::Entry(*wanted));
            return true;
        }
        wanted->result = ERROR_FILE_NOT_FOUND;
    }
    cache_.KeepKey(state, key, std::move(values), complete);
    return found || complete;
}

LONG Store::ReadValue(KeyId key, std::u16string_view name, FunctionRef<void(const ValueView&)> fn) {
    return Run(Mode::kRead, [&]() -> LONG {
        auto deliver = [&](const ReadCache::Entry& e) {
            if (e.result == ERROR_SUCCESS) fn(ValueView{name, e.type, e.data.data(), DWORD(e.data.size())});
            return e.result;
        };
        ReadCache::Entry read;
        ReadCache::State state;
        if (!cache_.Now(&state)) {
            ReadValueFromDatabase(key, name, &read);
            return deliver(read);
        }
        const std::string fold = Fold(name);
        if (const auto* hit = cache_.Find(state, key, fold)) return deliver(*hit);
        if (ReadKeyFromDatabase(key, fold, state, &read)) return deliver(read);
        ReadValueFromDatabase(key, name, &read);
        if (const auto* kept = cache_.Keep(state, key, fold, std::move(read))) return deliver(*kept);
        return deliver(read);
    });
}

LONG Store::WriteValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size) {
    return Run(Mode::kWrite, [&]() -> LONG {
        if (!KeyExists(key)) return ERROR_KEY_DELETED;
        {
            Statement s = Prepare(kUpsertValue);
            s.Int(1, key).Blob(2, Fold(name)).Text(3, name).Int(4, type).Blob(5, data, size);
            s.Run();
        }
        Touch(key);
        return ERROR_SUCCESS;
    });
}

LONG Store::DeleteValue(KeyId key, std::u16string_view name) {
    return Run(Mode::kWrite, [&]() -> LONG {
        if (!KeyExists(key)) return ERROR_KEY_DELETED;
        {
            Statement s = Prepare(kDeleteValue);
            s.Int(1, key).Blob(2, Fold(name)).Run();
        }
        if (sqlite3_changes(db_) == 0) return ERROR_FILE_NOT_FOUND;
        Touch(key);
        return ERROR_SUCCESS;
    });
}

LONG Store::SubkeyAt(KeyId key, DWORD index, SubkeyInfo* out) {
    return Run(Mode::kRead, [&]() -> LONG {
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
    return Run(Mode::kRead, [&]() -> LONG {
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
    return Run(Mode::kSnapshot, [&]() -> LONG {
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

void Store::Close() {
    std::lock_guard lock(mutex_);
    Disconnect(g_forkGeneration != forkGeneration_);
}

LONG Store::Flush() {
    return Run(Mode::kRead, [&]() -> LONG {
        // A passive checkpoint syncs the WAL and copies what it can into the
        // database file without waiting for readers.
        int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        if (rc != SQLITE_OK && !IsBusy(rc)) throw SqlFailure{rc, "checkpoint"};
        return ERROR_SUCCESS;
    });
}

}  // namespace skyvane::registry
