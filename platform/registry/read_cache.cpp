#include "platform/registry/read_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/base/log.h"

namespace skyvane::registry {
namespace {

// The WAL index starts with two copies of its 48-byte header. A writer
// updates the second copy, then the first; a reader that finds the two equal
// (reading the first, then the second) has a header no commit is changing.
constexpr size_t kHeaderSize = 48;
constexpr size_t kIsInitOffset = 12;
// Distinct values kept before starting afresh.
constexpr size_t kMaxEntries = 4096;

}  // namespace

bool ReadCache::State::operator==(const State& o) const { return std::memcmp(bytes, o.bytes, sizeof bytes) == 0; }

// The header is read with pread rather than through a mapping: another
// process may truncate or re-initialise the file, and a mapping would then
// fault (SIGBUS) where a short read only makes the state unknown.
void ReadCache::Attach(const std::string& walIndexPath) {
    Detach();
    fd_ = ::open(walIndexPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) SKYVANE_LOG("platform", "registry: cannot watch %s; reads are not cached", walIndexPath.c_str());
}

void ReadCache::Detach() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    valid_ = false;
    entries_.clear();
    completeKeys_.clear();
}

bool ReadCache::Now(State* out) const {
    if (fd_ < 0) return false;
    // One read copies the first copy before the second, the order that
    // matters: a writer updates them the other way round.
    unsigned char both[2 * kHeaderSize];
    if (::pread(fd_, both, sizeof both, 0) != ssize_t(sizeof both)) return false;
    std::memcpy(out->bytes, both, kHeaderSize);
    return out->bytes[kIsInitOffset] != 0 && std::memcmp(both, both + kHeaderSize, kHeaderSize) == 0;
}

std::string ReadCache::MapKey(std::int64_t key, const std::string& fold) {
    std::string k(reinterpret_cast<const char*>(&key), sizeof key);
    return k += fold;
}

// True when the database is still in state, the state the entries belong to.
bool ReadCache::Current(const State& state) const {
    State now;
    return valid_ && state_ == state && Now(&now) && now == state;
}

const ReadCache::Entry* ReadCache::Find(const State& state, std::int64_t key, const std::string& fold) {
    static const Entry kMissing{ERROR_FILE_NOT_FOUND, 0, {}};
    if (!valid_ || !(state_ == state)) {
        entries_.clear();
        completeKeys_.clear();
        state_ = state;
        valid_ = true;
        return nullptr;
    }
    mapKey_.assign(reinterpret_cast<const char*>(&key), sizeof key);
    mapKey_ += fold;
    auto it = entries_.find(mapKey_);
    if (it != entries_.end()) return &it->second;
    return completeKeys_.count(key) ? &kMissing : nullptr;
}

const ReadCache::Entry* ReadCache::Keep(const State& state, std::int64_t key, const std::string& fold,
                                        Entry&& entry) {
    if (!Current(state)) return nullptr;
    if (entries_.size() >= kMaxEntries) {
        entries_.clear();
        completeKeys_.clear();
    }
    return &entries_.insert_or_assign(MapKey(key, fold), std::move(entry)).first->second;
}

void ReadCache::KeepKey(const State& state, std::int64_t key, std::vector<std::pair<std::string, Entry>>&& values,
                        bool complete) {
    if (!Current(state)) return;
    if (entries_.size() + values.size() > kMaxEntries) {
        entries_.clear();
        completeKeys_.clear();
        if (values.size() > kMaxEntries) return;
    }
    for (auto& [fold, entry] : values) entries_.insert_or_assign(MapKey(key, fold), std::move(entry));
    if (complete) completeKeys_.insert(key);
}

}  // namespace skyvane::registry
