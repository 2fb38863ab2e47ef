// Values read through one registry database connection, kept in memory while
// the database is unchanged, so that the many processes that poll the same
// stamps every second do not each pay for SQLite transactions and file locks.
//
// SQLite publishes every commit by rewriting the header of the WAL index (the
// database's -shm file, whose layout is part of SQLite's documented file
// format): the header's bytes therefore name the database's state. An entry
// is kept only when the header was the same before and after the read that
// produced it, and all entries are dropped as soon as the header moves.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/base/win_types.h"

namespace skyvane::registry {

class ReadCache {
public:
    struct State {
        unsigned char bytes[48];
        bool operator==(const State& o) const;
    };
    // The outcome of one value read: the error (ERROR_FILE_NOT_FOUND and
    // ERROR_KEY_DELETED are outcomes too), and the value when it was found.
    struct Entry {
        LONG result = ERROR_SUCCESS;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    ReadCache() = default;
    ~ReadCache() { Detach(); }
    ReadCache(const ReadCache&) = delete;
    ReadCache& operator=(const ReadCache&) = delete;

    // Watches the WAL index file of an open connection. The connection keeps
    // the file from being re-initialised (SQLite does that only when no
    // connection has it open), so Detach must come before the connection
    // closes. Without the file nothing is cached.
    void Attach(const std::string& walIndexPath);
    void Detach();

    // The database's state now; false when it cannot be told (no index, or a
    // commit being published right now).
    bool Now(State* out) const;
    // The outcome for the value (folded name) of key in state, or null.
    // Entries of other states are dropped first.
    const Entry* Find(const State& state, std::int64_t key, const std::string& fold);
    // Keeps entry, read while the database was in state, when it still is;
    // answers the kept entry, or null (and leaves entry alone) otherwise.
    const Entry* Keep(const State& state, std::int64_t key, const std::string& fold, Entry&& entry);
    // Keeps the values of a key read together while the database was in
    // state, when it still is. With complete (every value of the key is
    // there), any other name of the key is known to be missing.
    void KeepKey(const State& state, std::int64_t key, std::vector<std::pair<std::string, Entry>>&& values,
                 bool complete);

private:
    static std::string MapKey(std::int64_t key, const std::string& fold);
    bool Current(const State& state) const;

    int fd_ = -1;
    State state_{};
    bool valid_ = false;
    std::unordered_map<std::string, Entry> entries_;
    std::unordered_set<std::int64_t> completeKeys_;
    std::string mapKey_;
};

}  // namespace skyvane::registry
