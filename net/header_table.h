// Response header values by name; names compare case-insensitively and keep the
// case of their first arrival.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace skyvane::net {

class HeaderTable {
public:
    HeaderTable();

    // A value for a name already present is appended after a "," (no space).
    void Add(std::u16string_view name, std::u16string_view value);
    // The value, or nullptr when the name is absent.
    const std::u16string* Find(std::u16string_view name) const;
    void Clear();
    size_t size() const { return map_.size(); }

private:
    struct NoCaseHash {
        size_t operator()(const std::u16string& s) const;
    };
    struct NoCaseEqual {
        bool operator()(const std::u16string& a, const std::u16string& b) const;
    };
    std::unordered_map<std::u16string, std::u16string, NoCaseHash, NoCaseEqual> map_;
};

}  // namespace skyvane::net
