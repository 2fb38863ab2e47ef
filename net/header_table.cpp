#include "net/header_table.h"

#include "platform/base/wide_string.h"

namespace skyvane::net {

// A response rarely carries more than a dozen headers: 17 buckets to start,
// grown by the table at a load of 0.75.
HeaderTable::HeaderTable() : map_(17) { map_.max_load_factor(0.75f); }

size_t HeaderTable::NoCaseHash::operator()(const std::u16string& s) const {
    size_t h = 14695981039346656037ull;
    for (char16_t c : s) h = (h ^ FoldLower(c)) * 1099511628211ull;
    return h;
}

bool HeaderTable::NoCaseEqual::operator()(const std::u16string& a, const std::u16string& b) const {
    return EqualsNoCase(a, b);
}

void HeaderTable::Add(std::u16string_view name, std::u16string_view value) {
    auto [it, inserted] = map_.try_emplace(std::u16string(name), value);
    if (!inserted) {
        it->second += u',';
        it->second += value;
    }
}

const std::u16string* HeaderTable::Find(std::u16string_view name) const {
    auto it = map_.find(std::u16string(name));
    return it == map_.end() ? nullptr : &it->second;
}

void HeaderTable::Clear() { map_.clear(); }

}  // namespace skyvane::net
