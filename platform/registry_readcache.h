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

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/wintypes.h"

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
    // The entry for key in state, or null. Entries of other states are dropped.
    const Entry* Find(const State& state, const std::string& key);
    // Keeps entry, read while the database was in state, when it still is;
    // answers the kept entry, or null (and leaves entry alone) otherwise.
    const Entry* Keep(const State& state, const std::string& key, Entry&& entry);

private:
    const unsigned char* index_ = nullptr;
    State state_{};
    bool valid_ = false;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace skyvane::registry
