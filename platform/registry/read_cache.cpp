#include "platform/registry/read_cache.h"

namespace skyvane::registry {
namespace {

// Distinct values kept before starting afresh.
constexpr size_t kMaxEntries = 4096;

}  // namespace

std::string ReadCache::MapKey(std::int64_t key, const std::string& fold) {
    std::string k(reinterpret_cast<const char*>(&key), sizeof key);
    return k += fold;
}

void ReadCache::Clear() {
    valid_ = false;
    entries_.clear();
    completeKeys_.clear();
}

// Makes version the one the entries belong to, dropping those of another, and
// room for more entries (all are dropped when they would be too many).
void ReadCache::MoveTo(std::int64_t version, size_t more) {
    if (!valid_ || version_ != version || entries_.size() + more > kMaxEntries) Clear();
    version_ = version;
    valid_ = true;
}

const ReadCache::Entry* ReadCache::Find(std::int64_t version, std::int64_t key, const std::string& fold) {
    static const Entry kMissing{ERROR_FILE_NOT_FOUND, 0, {}};
    MoveTo(version, 0);
    mapKey_.assign(reinterpret_cast<const char*>(&key), sizeof key);
    mapKey_ += fold;
    auto it = entries_.find(mapKey_);
    if (it != entries_.end()) return &it->second;
    return completeKeys_.count(key) ? &kMissing : nullptr;
}

const ReadCache::Entry& ReadCache::Keep(std::int64_t version, std::int64_t key, const std::string& fold,
                                        Entry&& entry) {
    MoveTo(version, 1);
    return entries_.insert_or_assign(MapKey(key, fold), std::move(entry)).first->second;
}

void ReadCache::Update(std::int64_t key, const std::string& fold, Entry&& entry) {
    if (!valid_) return;
    if (entries_.size() + 1 > kMaxEntries) return Clear();
    entries_.insert_or_assign(MapKey(key, fold), std::move(entry));
}

void ReadCache::KeepKey(std::int64_t version, std::int64_t key, std::vector<std::pair<std::string, Entry>>&& values,
                        bool complete) {
    if (values.size() > kMaxEntries) return;
    MoveTo(version, values.size());
    for (auto& [fold, entry] : values) entries_.insert_or_assign(MapKey(key, fold), std::move(entry));
    if (complete) completeKeys_.insert(key);
}

}  // namespace skyvane::registry
