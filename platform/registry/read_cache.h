// Values read through one registry database connection, kept in memory while
// the database is unchanged, so that the many processes that poll the same
// stamps every second read them from memory, not from the database.
//
// What tells a change is SQLite's own counter, PRAGMA data_version: it moves
// whenever another connection, of this process or any other, commits to the
// database. The connection's own writes do not move it; the connection clears
// the cache before each write instead. An entry is kept only when the counter
// was the same before and after the read that produced it, and all entries
// are dropped as soon as it moves. Counters of two connections cannot be
// compared: the cache is cleared whenever its connection closes. A value the
// connection writes itself replaces its entry instead, so that reading
// after writing does not load the key again.
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
    // The outcome of one value read: the error (ERROR_FILE_NOT_FOUND and
    // ERROR_KEY_DELETED are outcomes too), and the value when it was found.
    struct Entry {
        LONG result = ERROR_SUCCESS;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    // The outcome for the value (folded name) of key at the database's data
    // version, or null. Entries of another version are dropped first.
    const Entry* Find(std::int64_t version, std::int64_t key, const std::string& fold);
    // Keeps an entry read at version (the version read before and after it);
    // answers the kept entry.
    const Entry& Keep(std::int64_t version, std::int64_t key, const std::string& fold, Entry&& entry);
    // Keeps the values of a key read together at version. With complete
    // (every value of the key is there), any other name of the key is known
    // to be missing.
    void KeepKey(std::int64_t version, std::int64_t key, std::vector<std::pair<std::string, Entry>>&& values,
                 bool complete);
    // The connection wrote a value: its entry becomes what was written
    // (entries are kept only while the cache holds a version).
    void Update(std::int64_t key, const std::string& fold, Entry&& entry);
    void Clear();

private:
    static std::string MapKey(std::int64_t key, const std::string& fold);
    void MoveTo(std::int64_t version, size_t more);

    std::int64_t version_ = 0;
    bool valid_ = false;
    std::unordered_map<std::string, Entry> entries_;
    std::unordered_set<std::int64_t> completeKeys_;
    std::string mapKey_;
};

}  // namespace skyvane::registry
