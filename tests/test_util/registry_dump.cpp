#include "test_util/registry_dump.h"

#include "platform/kernel/nls/text_conv.h"

namespace skyvane::test {
namespace {

void DumpKey(HKEY key, const std::string& path, std::set<std::string>& out) {
    if (!path.empty()) out.insert(path);
    for (DWORD i = 0;; ++i) {
        char16_t name[512];
        DWORD nameLen = 512, type = 0;
        BYTE data[4096];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string value;
        if (type == REG_SZ) {
            std::u16string text(reinterpret_cast<const char16_t*>(data), size / 2);
            while (!text.empty() && text.back() == 0) text.pop_back();
            value = ToUtf8(text);
        } else {
            value = "<type " + std::to_string(type) + ">";
        }
        out.insert(path + "|" + (nameLen ? ToUtf8(std::u16string(name, nameLen)) : "@") + "=" + value);
    }
    for (DWORD i = 0;; ++i) {
        char16_t name[512];
        DWORD nameLen = 512;
        if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::u16string sub(name, nameLen);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        DumpKey(child, path.empty() ? ToUtf8(sub) : path + "\\" + ToUtf8(sub), out);
        RegCloseKey(child);
    }
}

}  // namespace

std::set<std::string> DumpRegistry(HKEY root) {
    std::set<std::string> out;
    DumpKey(root, "", out);
    return out;
}

std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> out;
    for (const auto& s : a)
        if (!b.count(s)) out.insert(s);
    return out;
}

std::string Join(const std::set<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

DWORD MachineDword(const char16_t* path, const char16_t* name, DWORD missing) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return missing;
    DWORD value = missing, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = missing;
    RegCloseKey(key);
    return value;
}

}  // namespace skyvane::test
