#include "platform/registry_readcache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/log.h"

namespace skyvane::registry {
namespace {

// The WAL index starts with two copies of its 48-byte header. A writer
// updates the second copy, then the first; a reader that finds the two equal
// (reading the first, then the second) has a header no commit is changing.
constexpr size_t kHeaderSize = 48;
constexpr size_t kIsInitOffset = 12;
constexpr size_t kMapped = 4096;
// Distinct values kept before starting afresh.
constexpr size_t kMaxEntries = 4096;

}  // namespace

bool ReadCache::State::operator==(const State& o) const { return std::memcmp(bytes, o.bytes, sizeof bytes) == 0; }

void ReadCache::Attach(const std::string& walIndexPath) {
    Detach();
    int fd = ::open(walIndexPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size >= off_t(kMapped)) {
        void* p = ::mmap(nullptr, kMapped, PROT_READ, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) index_ = static_cast<const unsigned char*>(p);
    }
    ::close(fd);
    if (!index_) SKYVANE_LOG("platform", "registry: cannot watch %s; reads are not cached", walIndexPath.c_str());
}

void ReadCache::Detach() {
    if (index_) ::munmap(const_cast<unsigned char*>(index_), kMapped);
    index_ = nullptr;
    valid_ = false;
    entries_.clear();
    completeKeys_.clear();
}

bool ReadCache::Now(State* out) const {
    if (!index_) return false;
    State second;
    std::memcpy(out->bytes, index_, kHeaderSize);
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(second.bytes, index_ + kHeaderSize, kHeaderSize);
    return out->bytes[kIsInitOffset] != 0 && *out == second;
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
