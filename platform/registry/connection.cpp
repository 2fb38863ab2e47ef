#include "platform/registry/connection.h"

#include <pthread.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/base/log.h"

namespace skyvane::registry {
namespace {

constexpr int kSchemaVersion = 1;

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
    // The three roots, which always exist.
    "INSERT INTO keys(id, parent, fold, name, class, written) VALUES"
    " (1, 0, x'01', x'', x'', 0), (2, 0, x'02', x'', x'', 0), (3, 0, x'03', x'', x'', 0);"
    // FILETIME ticks of now: Julian day 2305813.5 is 1 January 1601.
    "UPDATE keys SET written=CAST((julianday('now') - 2305813.5) * 864000000000 AS INTEGER);"
    "PRAGMA user_version=1;";

// A child of fork() must not use its parent's SQLite connections: the locks
// belong to the parent. Each connection reconnects when this has moved on.
std::atomic<unsigned> g_forkGeneration{0};
[[maybe_unused]] const int g_atFork = pthread_atfork(nullptr, nullptr, [] { ++g_forkGeneration; });

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

}  // namespace

// --- Statement -------------------------------------------------------------

Connection::Statement::~Statement() { sqlite3_reset(s_); }

Connection::Statement& Connection::Statement::Int(int i, std::int64_t v) {
    if (int rc = sqlite3_bind_int64(s_, i, v); rc != SQLITE_OK) throw SqlFailure{rc, "bind"};
    return *this;
}

Connection::Statement& Connection::Statement::Blob(int i, const void* data, size_t size) {
    if (int rc = sqlite3_bind_blob64(s_, i, size ? data : kEmpty, size, SQLITE_STATIC); rc != SQLITE_OK)
        throw SqlFailure{rc, "bind"};
    return *this;
}

bool Connection::Statement::Step() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw SqlFailure{rc, sqlite3_sql(s_)};
}

void Connection::Statement::Run() {
    while (Step()) {
    }
}

void Connection::Statement::Reset() { sqlite3_reset(s_); }

std::int64_t Connection::Statement::Int(int col) const { return sqlite3_column_int64(s_, col); }

const BYTE* Connection::Statement::BlobData(int col) const {
    return static_cast<const BYTE*>(sqlite3_column_blob(s_, col));
}

int Connection::Statement::BlobSize(int col) const { return sqlite3_column_bytes(s_, col); }

std::u16string Connection::Statement::Name(int col) const {
    std::u16string s(size_t(BlobSize(col)) / 2, u'\0');
    if (!s.empty()) std::memcpy(s.data(), sqlite3_column_blob(s_, col), s.size() * 2);
    return s;
}

// --- Connection ------------------------------------------------------------

Connection::~Connection() {
    std::lock_guard lock(mutex_);
    Disconnect();
}

LONG Connection::Open() {
    std::lock_guard lock(mutex_);
    return Connect();
}

void Connection::Close() {
    std::lock_guard lock(mutex_);
    Disconnect();
}

void Connection::Disconnect() {
    cache_.Clear();  // the data versions of the next connection are not comparable
    if (!db_) return;
    // A child of fork() leaves its parent's connection alone.
    if (forkGeneration_ == g_forkGeneration) {
        for (auto* s : statements_) {
            if (s) sqlite3_finalize(s);
        }
        sqlite3_close_v2(db_);
    }
    for (auto*& s : statements_) s = nullptr;
    db_ = nullptr;
}

LONG Connection::Connect() {
    if (db_ && forkGeneration_ == g_forkGeneration) return ERROR_SUCCESS;
    Disconnect();
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
    sqlite3_busy_timeout(db_, int(kBusyLimit.count()));

    LONG result = CheckSchema();
    if (result != ERROR_SUCCESS) {
        Disconnect();
        return result;
    }
    SKYVANE_LOG("platform", "registry: opened %s", path_.c_str());
    return ERROR_SUCCESS;
}

// Puts the database in WAL mode and makes sure it holds the registry's tables,
// creating them in a new (or zero-length) file. Several processes may do this
// at once; the write transaction makes one of them create the tables. A file
// with other tables or another version is refused and left as it is.
LONG Connection::CheckSchema() {
    auto exec = [&](const char* sql) {
        for (auto deadline = std::chrono::steady_clock::now() + kBusyLimit;;) {
            int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return;
            if (!IsBusy(rc) || std::chrono::steady_clock::now() > deadline) throw SqlFailure{rc, sql};
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    auto number = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr);
        if (rc != SQLITE_OK) throw SqlFailure{rc, sql};
        rc = sqlite3_step(s);
        int v = rc == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW) throw SqlFailure{rc, sql};
        return v;
    };
    auto refuse = [&](const std::string& why) {
        ReportOnce(path_, "the registry database " + path_ + " " + why + "; registry calls fail with ERROR_BADDB");
        return ERROR_BADDB;
    };
    try {
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        int version = number("PRAGMA user_version");
        if (version == kSchemaVersion) return ERROR_SUCCESS;
        if (version != 0) return refuse("has an unknown format (version " + std::to_string(version) + ")");
        exec("BEGIN IMMEDIATE");
        try {
            version = number("PRAGMA user_version");  // another process may have been first
            if (version == 0) {
                if (number("SELECT COUNT(*) FROM sqlite_master") != 0) {
                    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                    return refuse("is an SQLite database of something else");
                }
                exec(kSchema);
                SKYVANE_LOG("platform", "registry: created %s", path_.c_str());
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        if (version != 0 && version != kSchemaVersion)
            return refuse("has an unknown format (version " + std::to_string(version) + ")");
        return ERROR_SUCCESS;
    } catch (const SqlFailure& f) {
        return Translate(f.rc, f.what);
    }
}

LONG Connection::Translate(int rc, const char* what) {
    const char* text = sqlite3_errstr(rc);
    SKYVANE_LOG("platform", "registry: %s: %s (%d) in %s", path_.c_str(), text, rc, what ? what : "?");
    switch (rc & 0xff) {
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

Connection::Statement Connection::Prepare(int id, const char* sql) {
    sqlite3_stmt*& s = statements_[id];
    if (!s) {
        int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        if (rc != SQLITE_OK) {
            s = nullptr;
            throw SqlFailure{rc, sql};
        }
    }
    return Statement(s);
}

std::int64_t Connection::LastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

int Connection::Changes() const { return sqlite3_changes(db_); }

void Connection::Checkpoint() {
    // A passive checkpoint syncs the WAL and copies what it can into the
    // database file without waiting for readers.
    int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (rc != SQLITE_OK && !IsBusy(rc)) throw SqlFailure{rc, "checkpoint"};
}

void Connection::Begin(Mode mode) {
    if (mode == Mode::kRead) return;
    const char* sql = mode == Mode::kSnapshot ? "BEGIN" : "BEGIN IMMEDIATE";
    if (int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) throw SqlFailure{rc, sql};
}

void Connection::End(Mode mode, LONG result) {
    if (mode == Mode::kRead) return;
    const char* sql = result == ERROR_SUCCESS || mode == Mode::kSnapshot ? "COMMIT" : "ROLLBACK";
    if (int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) throw SqlFailure{rc, sql};
}

void Connection::RollBack() {
    if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Connection::Retry(const SqlFailure& failure, int attempt, std::chrono::steady_clock::time_point deadline) {
    if (!IsBusy(failure.rc) || std::chrono::steady_clock::now() >= deadline) return false;
    SKYVANE_LOG("platform", "registry: busy (%d), retry %d", failure.rc, attempt + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1 << std::min(attempt, 5)));
    return true;
}

}  // namespace skyvane::registry
