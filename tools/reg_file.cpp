#include "tools/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/base/wide_string.h"

namespace skyvane::regedit {
namespace {

struct RootEntry {
    HKEY key;
    const char* full;
    const char* abbreviation;
};
const RootEntry kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
};

// Regedit wraps hex lists before this column.
constexpr size_t kWrapColumn = 76;

bool WritableName(std::u16string_view name, std::string* utf8) {
    if (name.find_first_of(u"\r\n") != std::u16string_view::npos) return false;
    return EncodeUtf8(name, utf8);
}

bool ExportTree(HKEY key, const std::string& path, bool section, std::string* text, RegError* error) {
    std::vector<Value> values;
    std::vector<std::u16string> subkeys;
    if (LONG r = ReadValues(key, &values); r != ERROR_SUCCESS)
        return error->Fail(0, "cannot read the values of " + path + ": " + Win32ErrorText(r));
    if (LONG r = ReadSubkeys(key, &subkeys); r != ERROR_SUCCESS)
        return error->Fail(0, "cannot read the subkeys of " + path + ": " + Win32ErrorText(r));
    if (section || !values.empty()) {
        *text += "[" + path + "]\n";
        for (const Value& v : values) {
            std::string name = "@";
            if (!v.name.empty()) {
                std::string utf8;
                if (!WritableName(v.name, &utf8))
                    return error->Fail(0, "the name of a value of " + path + " cannot be written as REGEDIT4 text");
                name = QuoteRegString(v.name);
            }
            *text += name + "=" + FormatRegData(v, name.size() + 1) + "\n";
        }
        *text += "\n";
    }
    for (const auto& sub : subkeys) {
        std::string utf8;
        if (!WritableName(sub, &utf8))
            return error->Fail(0, "a subkey name of " + path + " cannot be written as REGEDIT4 text");
        UniqueHkey child;
        if (LONG r = RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, child.out()); r != ERROR_SUCCESS) {
            if (r == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
            return error->Fail(0, "cannot open " + path + "\\" + utf8 + ": " + Win32ErrorText(r));
        }
        if (!ExportTree(child.get(), path + "\\" + utf8, true, text, error)) return false;
    }
    return true;
}

}  // namespace

bool DecodeUtf8(std::string_view s, std::u16string* out) {
    out->clear();
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int extra;
        char32_t least;
        if (b < 0x80) {
            cp = b, extra = 0, least = 0;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F, extra = 1, least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F, extra = 2, least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07, extra = 3, least = 0x10000;
        } else {
            return false;
        }
        if (extra && i + extra >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(char16_t(0xD800 + (cp >> 10)));
            out->push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(char16_t(cp));
        }
        i += size_t(extra) + 1;
    }
    return true;
}

bool EncodeUtf8(std::u16string_view s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out->push_back(char(cp));
        } else if (cp < 0x800) {
            out->push_back(char(0xC0 | (cp >> 6)));
            out->push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(char(0xE0 | (cp >> 12)));
            out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(char(0xF0 | (cp >> 18)));
            out->push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

std::string Win32ErrorText(LONG code) {
    const char* text = nullptr;
    switch (code) {
    case ERROR_FILE_NOT_FOUND: text = "not found"; break;
    case ERROR_ACCESS_DENIED: text = "access denied"; break;
    case ERROR_INVALID_HANDLE: text = "invalid handle"; break;
    case ERROR_INVALID_PARAMETER: text = "invalid parameter"; break;
    case ERROR_BAD_PATHNAME: text = "bad key path"; break;
    case ERROR_BADDB: text = "the registry database is damaged"; break;
    case ERROR_CANTOPEN: text = "the registry database cannot be opened"; break;
    case ERROR_CANTWRITE: text = "the registry database cannot be written"; break;
    case ERROR_KEY_DELETED: text = "the key has been deleted"; break;
    case ERROR_TIMEOUT: text = "the registry database stayed busy"; break;
    case ERROR_DISK_FULL: text = "the disk is full"; break;
    default: break;
    }
    char buffer[96];
    if (text)
        std::snprintf(buffer, sizeof buffer, "%s (error %d)", text, int(code));
    else
        std::snprintf(buffer, sizeof buffer, "error %d", int(code));
    return buffer;
}

std::string RegError::Text() const { return line ? "line " + std::to_string(line) + ": " + message : message; }

const char* RootName(HKEY root) {
    for (const auto& r : kRoots) {
        if (r.key == root) return r.full;
    }
    return "?";
}

bool ParseKeyPath(std::string_view text, KeyPath* out) {
    size_t slash = text.find('\\');
    std::string_view root = text.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    while (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    for (const auto& r : kRoots) {
        if (EqualsNoCaseAscii(root, r.full) || EqualsNoCaseAscii(root, r.abbreviation)) {
            out->root = r.key;
            return DecodeUtf8(rest, &out->sub);
        }
    }
    return false;
}

std::string KeyPathText(const KeyPath& key) {
    std::string text = RootName(key.root);
    if (!key.sub.empty()) {
        std::string sub;
        if (!EncodeUtf8(key.sub, &sub)) sub = "?";
        text += "\\" + sub;
    }
    return text;
}

LONG ReadValues(HKEY key, std::vector<Value>* out) {
    out->clear();
    DWORD maxName = 0, maxData = 0;
    LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                              nullptr, nullptr);
    for (DWORD i = 0; r == ERROR_SUCCESS;) {
        Value v;
        std::u16string name(maxName + 1, u'\0');
        v.data.resize(maxData ? maxData : 1);
        DWORD cch = DWORD(name.size()), cb = DWORD(v.data.size());
        r = RegEnumValueW(key, i, name.data(), &cch, nullptr, &v.type, v.data.data(), &cb);
        if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (r == ERROR_MORE_DATA) {  // grew meanwhile
            r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                 &maxData, nullptr, nullptr);
            maxName = std::max(maxName, cch);
            maxData = std::max(maxData, cb);
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        name.resize(cch);
        v.name = std::move(name);
        v.data.resize(cb);
        out->push_back(std::move(v));
        ++i;
    }
    return r;
}

LONG ReadSubkeys(HKEY key, std::vector<std::u16string>* out) {
    out->clear();
    DWORD maxName = 0;
    LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr);
    for (DWORD i = 0; r == ERROR_SUCCESS;) {
        std::u16string name(maxName + 1, u'\0');
        DWORD cch = DWORD(name.size());
        r = RegEnumKeyExW(key, i, name.data(), &cch, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (r == ERROR_MORE_DATA) {
            maxName = std::max<DWORD>(maxName * 2, 256);
            r = ERROR_SUCCESS;
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        name.resize(cch);
        out->push_back(std::move(name));
        ++i;
    }
    return r;
}

LONG CanonicalPath(const KeyPath& key, KeyPath* out) {
    out->root = key.root;
    out->sub.clear();
    UniqueHkey current;
    if (LONG r = RegOpenKeyExW(key.root, nullptr, 0, KEY_READ, current.out()); r != ERROR_SUCCESS) return r;
    std::u16string_view rest = key.sub;
    while (!rest.empty()) {
        size_t end = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, end);
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
        if (part.empty()) continue;
        std::vector<std::u16string> subkeys;
        if (LONG r = ReadSubkeys(current.get(), &subkeys); r != ERROR_SUCCESS) return r;
        const std::u16string* match = nullptr;
        for (const auto& s : subkeys) {
            if (skyvane::EqualsNoCase(s, part)) match = &s;
        }
        if (!match) return ERROR_FILE_NOT_FOUND;
        UniqueHkey child;
        if (LONG r = RegOpenKeyExW(current.get(), match->c_str(), 0, KEY_READ, child.out()); r != ERROR_SUCCESS)
            return r;
        if (!out->sub.empty()) out->sub += u'\\';
        out->sub += *match;
        current = std::move(child);
    }
    return ERROR_SUCCESS;
}

bool PlainString(const std::vector<BYTE>& data, std::u16string* text) {
    if (data.size() < 2 || data.size() % 2) return false;
    std::u16string s(data.size() / 2, u'\0');
    std::memcpy(s.data(), data.data(), data.size());
    if (s.back() != 0) return false;
    s.pop_back();
    if (s.find(u'\0') != std::u16string::npos) return false;
    std::string utf8;
    if (!EncodeUtf8(s, &utf8)) return false;
    *text = std::move(s);
    return true;
}

std::string QuoteRegString(std::u16string_view text) {
    std::string utf8;
    if (!EncodeUtf8(text, &utf8)) utf8 = "?";
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string FormatRegData(const Value& value, size_t prefixLength) {
    std::u16string text;
    if (value.type == REG_SZ && PlainString(value.data, &text) && text.find_first_of(u"\r\n") == std::u16string::npos)
        return QuoteRegString(text);
    char head[24];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD v;
        std::memcpy(&v, value.data.data(), 4);
        std::snprintf(head, sizeof head, "dword:%08x", v);
        return head;
    }
    if (value.type == REG_BINARY)
        std::snprintf(head, sizeof head, "hex:");
    else
        std::snprintf(head, sizeof head, "hex(%x):", value.type);
    std::string out = head;
    size_t column = prefixLength + out.size();
    for (size_t i = 0; i < value.data.size(); ++i) {
        if (i) {
            out += ',';
            ++column;
            if (column >= kWrapColumn) {
                out += "\\\n  ";
                column = 2;
            }
        }
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
        out += byte;
        column += 2;
    }
    return out;
}

bool ExportRegistry(const KeyPath* key, std::string* text, RegError* error) {
    *text = "REGEDIT4\n\n";
    if (!key) {
        for (const auto& r : kRoots) {
            if (!ExportTree(r.key, r.full, false, text, error)) return false;
        }
        return true;
    }
    KeyPath canonical;
    if (LONG r = CanonicalPath(*key, &canonical); r != ERROR_SUCCESS)
        return error->Fail(0, "cannot open " + KeyPathText(*key) + ": " + Win32ErrorText(r));
    UniqueHkey handle;
    if (LONG r = RegOpenKeyExW(canonical.root, canonical.sub.c_str(), 0, KEY_READ, handle.out()); r != ERROR_SUCCESS)
        return error->Fail(0, "cannot open " + KeyPathText(*key) + ": " + Win32ErrorText(r));
    return ExportTree(handle.get(), KeyPathText(canonical), !canonical.sub.empty(), text, error);
}

}  // namespace skyvane::regedit
