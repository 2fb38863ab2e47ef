// One SQLite connection to a device's registry database: opening the file
// (creating it and its tables when missing), prepared statements, one
// transaction per call with retries while other processes write, and SQLite's
// failures as Win32 error numbers with one clear message per file on stderr.
// Internal to the platform layer.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/registry/read_cache.h"
#include "platform/base/win_types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace skyvane::registry {

// A failed SQLite call; Run turns it into an error number.
struct SqlFailure {
    int rc;
    const char* what;
};

class Connection {
public:
    // None for a single read statement; a read snapshot for several;
    // BEGIN IMMEDIATE for writes, so that a writer never has to upgrade a read
    // lock (which fails under contention).
    // kUpdate is a write whose body brings the read cache up to date itself
    // (a value written); the cache is cleared only when it fails.
    enum class Mode { kRead, kSnapshot, kWrite, kUpdate };
    static constexpr int kMaxStatements = 32;
    // How long a call waits for other processes' writes before it gives up:
    // SQLite's busy handler waits this long, and the retry loop around each
    // transaction as long again (some busy answers skip the handler).
    static constexpr std::chrono::milliseconds kBusyLimit{10000};

    // A cached prepared statement in use; reset when the scope ends, so that
    // no statement keeps a read transaction open after an error. Failures
    // throw SqlFailure.
    class Statement {
    public:
        explicit Statement(sqlite3_stmt* s) : s_(s) {}
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        Statement& Int(int i, std::int64_t v);
        Statement& Blob(int i, const void* data, size_t size);
        Statement& Blob(int i, const std::string& bytes) { return Blob(i, bytes.data(), bytes.size()); }
        Statement& Text(int i, std::u16string_view s) { return Blob(i, s.data(), s.size() * 2); }
        // True while there is a row; false when done.
        bool Step();
        void Run();
        void Reset();
        std::int64_t Int(int col) const;
        const BYTE* BlobData(int col) const;
        int BlobSize(int col) const;
        // A UTF-16 text kept as a blob.
        std::u16string Name(int col) const;

    private:
        sqlite3_stmt* s_;
    };

    explicit Connection(std::string path) : path_(std::move(path)) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& path() const { return path_; }
    // Connects now: ERROR_SUCCESS, or ERROR_CANTOPEN / ERROR_BADDB.
    LONG Open();
    // Closes the connection (the last one to close folds the WAL into the
    // database file); the next Run connects again.
    void Close();

    // Runs body (answering an error number) as one transaction under the
    // connection's lock, connecting first when needed (also in a child after
    // fork). A body that answers an error rolls its writes back; busy answers
    // retry the whole transaction. A write clears the read cache first: the
    // data version does not move for the connection's own commits. An update
    // keeps it, and clears it when it fails.
    template <class Body>
    LONG Run(Mode mode, Body&& body);

    // Inside Run only.
    Statement Prepare(int id, const char* sql);
    std::int64_t LastInsertRowid() const;
    int Changes() const;
    void Checkpoint();
    ReadCache& cache() { return cache_; }

private:
    LONG Connect();
    void Disconnect();
    LONG CheckSchema();
    void Begin(Mode mode);
    void End(Mode mode, LONG result);
    void RollBack();
    bool Retry(const SqlFailure& failure, int attempt, std::chrono::steady_clock::time_point deadline);
    LONG Translate(int rc, const char* what);

    std::string path_;
    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    unsigned forkGeneration_ = 0;
    sqlite3_stmt* statements_[kMaxStatements] = {};
    ReadCache cache_;
};

template <class Body>
LONG Connection::Run(Mode mode, Body&& body) {
    std::lock_guard lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + kBusyLimit;
    for (int attempt = 0;; ++attempt) {
        LONG result = Connect();
        if (result != ERROR_SUCCESS) return result;
        try {
            if (mode == Mode::kWrite) cache_.Clear();
            Begin(mode);
            result = body();
            if (mode == Mode::kUpdate && result != ERROR_SUCCESS) cache_.Clear();
            End(mode, result);
            return result;
        } catch (const SqlFailure& failure) {
            if (mode == Mode::kUpdate) cache_.Clear();
            RollBack();
            if (Retry(failure, attempt, deadline)) continue;
            return Translate(failure.rc, failure.what);
        }
    }
}

}  // namespace skyvane::registry
