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
}

bool ReadCache::Now(State* out) const {
    if (!index_) return false;
    State second;
    std::memcpy(out->bytes, index_, kHeaderSize);
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(second.bytes, index_ + kHeaderSize, kHeaderSize);
    return out->bytes[kIsInitOffset] != 0 && *out == second;
}

const ReadCache::Entry* ReadCache::Find(const State& state, const std::string& key) {
    if (!valid_ || !(state_ == state)) {
        entries_.clear();
        state_ = state;
        valid_ = true;
        return nullptr;
    }
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

const ReadCache::Entry* ReadCache::Keep(const State& state, const std::string& key, Entry&& entry) {
    State after;
    if (!valid_ || !(state_ == state) || !Now(&after) || !(after == state)) return nullptr;
    if (entries_.size() >= kMaxEntries) entries_.clear();
    return &entries_.insert_or_assign(key, std::move(entry)).first->second;
}

}  // namespace skyvane::registry
