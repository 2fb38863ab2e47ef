// Reading REGEDIT4 text: the whole file is parsed before anything is applied.
#include "tools/reg_file.h"

#include <cstring>

#include "platform/base/wide_string.h"

namespace skyvane::regedit {
namespace {

bool StartsWithAscii(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCaseAscii(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits.
bool ParseHex32(std::string_view s, DWORD* out) {
    if (s.empty() || s.size() > 8) return false;
    DWORD v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | DWORD(d);
    }
    *out = v;
    return true;
}

// A name the text form can carry: encodable and on one line.
// A quoted string starting at text[*pos] == '"', with the \\ and \" escapes.
bool ParseQuoted(std::string_view text, size_t* pos, std::string* out, int line, RegError* error) {
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size()) break;
            char next = text[++i];
            if (next != '\\' && next != '"')
                return error->Fail(line, std::string("unknown escape \\") + next + " in a quoted string");
            c = next;
        }
        out->push_back(c);
    }
    return error->Fail(line, "missing closing quote");
}

bool ParseHexList(std::string_view list, std::vector<BYTE>* out, int line, RegError* error) {
    out->clear();
    list = Trim(list);
    if (list.empty()) return true;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string_view token = Trim(list.substr(start, comma == std::string_view::npos ? comma : comma - start));
        const bool last = comma == std::string_view::npos;
        if (token.empty()) {
            if (last && !out->empty()) break;  // a trailing comma
            return error->Fail(line, "empty byte in a hex list");
        }
        DWORD byte = 0;
        if (token.size() > 2 || !ParseHex32(token, &byte))
            return error->Fail(line, "\"" + std::string(token) + "\" is not a hex byte");
        out->push_back(BYTE(byte));
        if (last) break;
        start = comma + 1;
    }
    return true;
}

bool ParseData(std::string_view data, Value* value, bool* erase, int line, RegError* error) {
    data = Trim(data);
    *erase = false;
    if (data == "-") {
        *erase = true;
        return true;
    }
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        std::string utf8;
        if (!ParseQuoted(data, &pos, &utf8, line, error)) return false;
        if (!Trim(data.substr(pos)).empty()) return error->Fail(line, "text after the closing quote");
        std::u16string text;
        if (!DecodeUtf8(utf8, &text)) return error->Fail(line, "the text is not valid UTF-8");
        value->type = REG_SZ;
        value->data.resize((text.size() + 1) * 2);
        std::memcpy(value->data.data(), text.c_str(), value->data.size());
        return true;
    }
    if (StartsWithAscii(data, "dword:")) {
        DWORD v = 0;
        if (!ParseHex32(Trim(data.substr(6)), &v))
            return error->Fail(line, "dword: needs 1 to 8 hex digits");
        value->type = REG_DWORD;
        value->data.resize(4);
        std::memcpy(value->data.data(), &v, 4);
        return true;
    }
    if (StartsWithAscii(data, "hex:")) {
        value->type = REG_BINARY;
        return ParseHexList(data.substr(4), &value->data, line, error);
    }
    if (StartsWithAscii(data, "hex(")) {
        size_t close = data.find("):");
        if (close == std::string_view::npos || !ParseHex32(data.substr(4, close - 4), &value->type))
            return error->Fail(line, "hex(N): needs a type number in hex");
        return ParseHexList(data.substr(close + 2), &value->data, line, error);
    }
    return error->Fail(line, "unknown value data \"" + std::string(data.substr(0, 40)) + "\"");
}

}  // namespace

bool ParseRegText(std::string_view text, std::vector<RegOperation>* ops, RegError* error) {
    ops->clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    bool header = false;
    bool inKey = false;
    KeyPath current;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int line = int(i) + 1;
        std::string_view t = Trim(lines[i]);
        if (t.empty() || t.front() == ';') continue;
        if (!header) {
            if (t != "REGEDIT4" && t != "Windows Registry Editor Version 5.00")
                return error->Fail(line, "the file does not start with REGEDIT4");
            header = true;
            continue;
        }
        if (t.front() == '[') {
            if (t.back() != ']') return error->Fail(line, "a key line must end with ]");
            std::string_view inner = t.substr(1, t.size() - 2);
            const bool erase = !inner.empty() && inner.front() == '-';
            if (erase) inner.remove_prefix(1);
            KeyPath key;
            if (!ParseKeyPath(inner, &key))
                return error->Fail(line, "\"" + std::string(inner) + "\" is not a key of HKEY_CLASSES_ROOT, "
                                         "HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE");
            ops->push_back(RegOperation{erase ? RegOperation::kDeleteKey : RegOperation::kCreateKey, key, {}, line});
            inKey = !erase;
            current = key;
            continue;
        }
        if (t.front() != '"' && t.front() != '@')
            return error->Fail(line, "expected [KEY], \"name\"=data or @=data");
        if (!inKey) return error->Fail(line, "a value outside a key");
        RegOperation op{RegOperation::kSetValue, current, {}, line};
        size_t pos = 1;
        if (t.front() == '"') {
            std::string utf8;
            pos = 0;
            if (!ParseQuoted(t, &pos, &utf8, line, error)) return false;
            if (!DecodeUtf8(utf8, &op.value.name)) return error->Fail(line, "the value name is not valid UTF-8");
        }
        std::string_view rest = Trim(t.substr(pos));
        if (rest.empty() || rest.front() != '=') return error->Fail(line, "expected = after the value name");
        rest = Trim(rest.substr(1));
        // Hex lists may continue over the following lines.
        std::string joined;
        if (StartsWithAscii(rest, "hex")) {
            joined = std::string(rest);
            while (!joined.empty() && joined.back() == '\\') {
                joined.pop_back();
                if (++i >= lines.size()) return error->Fail(line, "the file ends inside a continued line");
                joined += std::string(Trim(lines[i]));
            }
            rest = joined;
        }
        bool erase = false;
        if (!ParseData(rest, &op.value, &erase, line, error)) return false;
        if (erase) op.kind = RegOperation::kDeleteValue;
        ops->push_back(std::move(op));
    }
    if (!header) return error->Fail(1, "the file does not start with REGEDIT4");
    return true;
}

bool ImportRegistry(std::string_view text, RegError* error) {
    std::vector<RegOperation> ops;
    if (!ParseRegText(text, &ops, error)) return false;
    UniqueHkey current;
    for (const auto& op : ops) {
        const std::string name = KeyPathText(op.key);
        LONG r = ERROR_SUCCESS;
        switch (op.kind) {
        case RegOperation::kCreateKey:
            r = RegCreateKeyExW(op.key.root, op.key.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, current.out(), nullptr);
            if (r != ERROR_SUCCESS) return error->Fail(op.line, "cannot create " + name + ": " + Win32ErrorText(r));
            break;
        case RegOperation::kDeleteKey:
            current.reset();
            r = RegDeleteKeyW(op.key.root, op.key.sub.c_str());
            if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
                return error->Fail(op.line, "cannot delete " + name + ": " + Win32ErrorText(r));
            break;
        case RegOperation::kSetValue:
            r = RegSetValueExW(current.get(), op.value.name.c_str(), 0, op.value.type, op.value.data.data(),
                               DWORD(op.value.data.size()));
            if (r != ERROR_SUCCESS)
                return error->Fail(op.line, "cannot set a value of " + name + ": " + Win32ErrorText(r));
            break;
        case RegOperation::kDeleteValue:
            r = RegDeleteValueW(current.get(), op.value.name.c_str());
            if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
                return error->Fail(op.line, "cannot delete a value of " + name + ": " + Win32ErrorText(r));
            break;
        }
    }
    return true;
}

}  // namespace skyvane::regedit
