#include "platform/com/registrar.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <optional>

#include "platform/base/log.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace skyvane {

namespace {

constexpr int kMaxDepth = 64;

// ---------------------------------------------------------------------------
// The script as a tree.

struct ScriptValue {
    DWORD type = REG_SZ;
    std::vector<BYTE> data;  // exactly what RegSetValueExW gets
};

enum class KeyFlag { None, NoRemove, ForceRemove, Delete };

struct ScriptKey {
    std::u16string name;
    KeyFlag flag = KeyFlag::None;
    int line = 0;
    std::optional<ScriptValue> defaultValue;
    std::vector<std::pair<std::u16string, ScriptValue>> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    HKEY root;
    int line;
    std::vector<ScriptKey> keys;
};

// ---------------------------------------------------------------------------
// Tokens: a quoted text, a brace, or a run of non-blank characters.

struct Token {
    enum Kind { Word, Quoted, Open, Close, End } kind = End;
    std::u16string text;
    int line = 0;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v'; }

class Parser {
public:
    Parser(std::u16string_view script, const std::vector<std::pair<std::u16string, std::u16string>>& replacements)
        : text_(script), replacements_(replacements) {}

    bool Parse(std::vector<ScriptRoot>& roots) {
        for (;;) {
            Token t;
            if (!Next(t)) return false;
            if (t.kind == Token::End) return true;
            if (t.kind != Token::Word) return Fail(RegistrarError::Syntax, t.line, "expected a root key");
            ScriptRoot root{nullptr, t.line, {}};
            if (!RootFromName(t.text, root.root))
                return Fail(RegistrarError::UnknownRoot, t.line, "unknown root key " + ToUtf8(t.text));
            if (!Expect(Token::Open, "expected '{' after the root key")) return false;
            if (!ParseBody(root.keys, nullptr, 1)) return false;
            roots.push_back(std::move(root));
        }
    }

    RegistrarResult result;

private:
    static bool RootFromName(std::u16string_view name, HKEY& root) {
        if (EqualsNoCase(name, u"HKCR") || EqualsNoCase(name, u"HKEY_CLASSES_ROOT"))
            root = HKEY_CLASSES_ROOT;
        else if (EqualsNoCase(name, u"HKCU") || EqualsNoCase(name, u"HKEY_CURRENT_USER"))
            root = HKEY_CURRENT_USER;
        else if (EqualsNoCase(name, u"HKLM") || EqualsNoCase(name, u"HKEY_LOCAL_MACHINE"))
            root = HKEY_LOCAL_MACHINE;
        else
            return false;
        return true;
    }

    // Keys (and, inside a key, "val" entries) up to the closing brace.
    bool ParseBody(std::vector<ScriptKey>& keys, ScriptKey* owner, int depth) {
        if (depth > kMaxDepth) return Fail(RegistrarError::TooDeep, line_, "keys nested too deeply");
        for (;;) {
            Token t;
            if (!Next(t)) return false;
            if (t.kind == Token::Close) return true;
            if (t.kind == Token::End) return Fail(RegistrarError::Syntax, t.line, "missing '}' at the end of the script");
            if (t.kind == Token::Open) return Fail(RegistrarError::Syntax, t.line, "unexpected '{'");
            if (t.kind == Token::Word && EqualsNoCase(t.text, u"val")) {
                if (!owner) return Fail(RegistrarError::Syntax, t.line, "'val' outside a key");
                std::pair<std::u16string, ScriptValue> value;
                if (!ParseName(value.first, "expected a value name after 'val'")) return false;
                if (!Expect(Token::Word, "expected '=' after the value name", u"=")) return false;
                if (!ParseValue(value.second)) return false;
                owner->values.push_back(std::move(value));
                continue;
            }
            ScriptKey key;
            key.line = t.line;
            if (t.kind == Token::Word) {
                if (EqualsNoCase(t.text, u"NoRemove"))
                    key.flag = KeyFlag::NoRemove;
                else if (EqualsNoCase(t.text, u"ForceRemove"))
                    key.flag = KeyFlag::ForceRemove;
                else if (EqualsNoCase(t.text, u"Delete"))
                    key.flag = KeyFlag::Delete;
            }
            if (key.flag != KeyFlag::None) {
                if (!ParseName(key.name, "expected a key name after the flag")) return false;
            } else if (!NameFrom(t, key.name)) {
                return false;
            }
            if (key.name.empty()) return Fail(RegistrarError::Syntax, key.line, "empty key name");
            // "= type value", then an optional body.
            Token after;
            if (!Peek(after)) return false;
            if (after.kind == Token::Word && after.text == u"=") {
                Next(after);
                key.defaultValue.emplace();
                if (!ParseValue(*key.defaultValue)) return false;
                if (!Peek(after)) return false;
            }
            if (after.kind == Token::Open) {
                Next(after);
                if (!ParseBody(key.subkeys, &key, depth + 1)) return false;
            }
            keys.push_back(std::move(key));
        }
    }

    bool ParseValue(ScriptValue& value) {
        Token type;
        if (!Next(type)) return false;
        if (type.kind != Token::Word) return Fail(RegistrarError::Syntax, type.line, "expected a value type");
        std::u16string text;
        if (!ParseName(text, "expected a value after its type")) return false;
        if (EqualsNoCase(type.text, u"s")) {
            value.type = REG_SZ;
            const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
            value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(char16_t));
        } else if (EqualsNoCase(type.text, u"d")) {
            DWORD number;
            if (!ParseNumber(text, number))
                return Fail(RegistrarError::BadValue, type.line, "not a 32-bit number: " + ToUtf8(text));
            value.type = REG_DWORD;
            value.data = {BYTE(number), BYTE(number >> 8), BYTE(number >> 16), BYTE(number >> 24)};
        } else if (EqualsNoCase(type.text, u"b")) {
            if (!ParseHex(text, value.data))
                return Fail(RegistrarError::BadValue, type.line, "not hex bytes: " + ToUtf8(text));
            value.type = REG_BINARY;
        } else {
            return Fail(RegistrarError::BadValue, type.line, "unknown value type " + ToUtf8(type.text));
        }
        return true;
    }

    static bool ParseNumber(std::u16string_view text, DWORD& out) {
        unsigned base = 10;
        if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        if (text.empty()) return false;
        unsigned long long v = 0;
        for (char16_t c : text) {
            unsigned digit;
            if (c >= u'0' && c <= u'9') digit = c - u'0';
            else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
            else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
            else return false;
            v = v * base + digit;
            if (v > 0xFFFFFFFFull) return false;
        }
        out = DWORD(v);
        return true;
    }

    static bool ParseHex(std::u16string_view text, std::vector<BYTE>& out) {
        if (text.size() % 2) return false;
        auto nibble = [](char16_t c) -> int {
            if (c >= u'0' && c <= u'9') return c - u'0';
            if (c >= u'a' && c <= u'f') return c - u'a' + 10;
            if (c >= u'A' && c <= u'F') return c - u'A' + 10;
            return -1;
        };
        out.clear();
        for (size_t i = 0; i < text.size(); i += 2) {
            int hi = nibble(text[i]), lo = nibble(text[i + 1]);
            if (hi < 0 || lo < 0) return false;
            out.push_back(BYTE(hi << 4 | lo));
        }
        return true;
    }

    // A key or value name, or a value's text: a word or a quoted text.
    bool ParseName(std::u16string& name, const char* expected) {
        Token t;
        if (!Next(t)) return false;
        return NameFrom(t, name, expected);
    }
    bool NameFrom(const Token& t, std::u16string& name, const char* expected = "expected a name") {
        if (t.kind != Token::Word && t.kind != Token::Quoted) return Fail(RegistrarError::Syntax, t.line, expected);
        return Replace(t, name);
    }

    // Expands %NAME% in a token. The replacement text is inserted as it is,
    // after quoting was resolved, so no value can change the script's syntax.
    bool Replace(const Token& t, std::u16string& out) {
        out.clear();
        const std::u16string& s = t.text;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] != u'%') {
                out += s[i];
                continue;
            }
            size_t end = s.find(u'%', i + 1);
            if (end == std::u16string::npos)
                return Fail(RegistrarError::UnknownReplacement, t.line, "unterminated %");
            std::u16string_view name(s.data() + i + 1, end - i - 1);
            if (name.empty()) {
                out += u'%';
            } else {
                const std::u16string* value = nullptr;
                for (const auto& [n, v] : replacements_)
                    if (EqualsNoCase(n, name)) value = &v;
                if (!value)
                    return Fail(RegistrarError::UnknownReplacement, t.line, "no replacement for %" + ToUtf8(name) + "%");
                out += *value;
            }
            i = end;
        }
        return true;
    }

    bool Expect(Token::Kind kind, const char* message, std::u16string_view text = {}) {
        Token t;
        if (!Next(t)) return false;
        if (t.kind != kind || (!text.empty() && t.text != text)) return Fail(RegistrarError::Syntax, t.line, message);
        return true;
    }

    bool Peek(Token& t) {
        if (!peeked_) {
            peeked_.emplace();
            if (!Lex(*peeked_)) return false;
        }
        t = *peeked_;
        return true;
    }
    bool Next(Token& t) {
        if (peeked_) {
            t = std::move(*peeked_);
            peeked_.reset();
            return true;
        }
        return Lex(t);
    }

    bool Lex(Token& t) {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            if (text_[pos_] == u'\n') ++line_;
            ++pos_;
        }
        t = Token{};
        t.line = line_;
        if (pos_ >= text_.size()) return true;
        char16_t c = text_[pos_];
        if (c == u'\'') {
            t.kind = Token::Quoted;
            for (++pos_;; ++pos_) {
                if (pos_ >= text_.size()) return Fail(RegistrarError::Syntax, t.line, "unterminated quoted text");
                char16_t q = text_[pos_];
                if (q == u'\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
                        t.text += u'\'';
                        ++pos_;
                        continue;
                    }
                    ++pos_;
                    return true;
                }
                if (q == u'\n') ++line_;
                t.text += q;
            }
        }
        size_t start = pos_;
        while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
        t.text.assign(text_.substr(start, pos_ - start));
        t.kind = t.text == u"{" ? Token::Open : t.text == u"}" ? Token::Close : Token::Word;
        return true;
    }

    bool Fail(RegistrarError error, int line, std::string message) {
        if (result.ok()) {
            result.error = error;
            result.line = line;
            result.message = std::move(message);
        }
        return false;
    }

    std::u16string_view text_;
    const std::vector<std::pair<std::u16string, std::u16string>>& replacements_;
    size_t pos_ = 0;
    int line_ = 1;
    std::optional<Token> peeked_;
};

// ---------------------------------------------------------------------------
// Running the tree against the registry.

class Runner {
public:
    RegistrarResult result;

    bool Register(HKEY parent, const ScriptKey& key) {
        if (key.flag == KeyFlag::ForceRemove || key.flag == KeyFlag::Delete) {
            LONG rc = RegDeleteKeyW(parent, key.name.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail(key, rc, "cannot delete key");
            if (key.flag == KeyFlag::Delete) return true;
        }
        UniqueHkey h;
        LONG rc = RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  h.out(), nullptr);
        if (rc != ERROR_SUCCESS) return Fail(key, rc, "cannot create key");
        if (key.defaultValue && !SetValue(h.get(), nullptr, *key.defaultValue, key)) return false;
        for (const auto& [name, value] : key.values)
            if (!SetValue(h.get(), name.c_str(), value, key)) return false;
        for (const ScriptKey& sub : key.subkeys)
            if (!Register(h.get(), sub)) return false;
        return true;
    }

    bool Unregister(HKEY parent, const ScriptKey& key) {
        if (key.flag == KeyFlag::Delete) return true;
        if (key.flag == KeyFlag::ForceRemove) {
            LONG rc = RegDeleteKeyW(parent, key.name.c_str());
            return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || Fail(key, rc, "cannot delete key");
        }
        bool empty = false;
        {
            UniqueHkey h;
            LONG rc = RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_ALL_ACCESS, h.out());
            if (rc == ERROR_FILE_NOT_FOUND) return true;  // already gone
            if (rc != ERROR_SUCCESS) return Fail(key, rc, "cannot open key");
            for (const ScriptKey& sub : key.subkeys)
                if (!Unregister(h.get(), sub)) return false;
            if (key.defaultValue) RegDeleteValueW(h.get(), nullptr);
            for (const auto& [name, value] : key.values) RegDeleteValueW(h.get(), name.c_str());
            if (key.flag == KeyFlag::NoRemove) return true;
            DWORD subkeys = 0, values = 0;
            rc = RegQueryInfoKeyW(h.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                  nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) return Fail(key, rc, "cannot read key");
            // A key still holding what someone else wrote is not the script's to delete.
            empty = subkeys == 0 && values == 0;
        }
        if (!empty) return true;
        LONG rc = RegDeleteKeyW(parent, key.name.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || Fail(key, rc, "cannot delete key");
    }

private:
    bool SetValue(HKEY h, LPCWSTR name, const ScriptValue& value, const ScriptKey& key) {
        LONG rc = RegSetValueExW(h, name, 0, value.type, value.data.data(), DWORD(value.data.size()));
        return rc == ERROR_SUCCESS || Fail(key, rc, "cannot set value");
    }

    bool Fail(const ScriptKey& key, LONG rc, const char* what) {
        result.error = RegistrarError::Registry;
        result.line = key.line;
        result.win32 = rc;
        result.message = std::string(what) + " " + ToUtf8(key.name) + " (error " + std::to_string(rc) + ")";
        return false;
    }
};

RegistrarResult ParseScript(std::u16string_view script,
                            const std::vector<std::pair<std::u16string, std::u16string>>& replacements,
                            std::vector<ScriptRoot>& roots) {
    Parser parser(script, replacements);
    try {
        parser.Parse(roots);
    } catch (const std::bad_alloc&) {
        LogCaughtException("com", "registry script");
        parser.result.error = RegistrarError::Registry;
        parser.result.win32 = ERROR_NOT_ENOUGH_MEMORY;
        parser.result.message = "out of memory";
    }
    if (!parser.result.ok())
        SKYVANE_LOG("com", "registry script, line %d: %s", parser.result.line, parser.result.message.c_str());
    return parser.result;
}

}  // namespace

HRESULT RegistrarResult::ToHresult() const {
    switch (error) {
        case RegistrarError::None: return S_OK;
        case RegistrarError::Registry: return HRESULT_FROM_WIN32(DWORD(win32));
        default: return E_INVALIDARG;
    }
}

void Registrar::AddReplacement(std::u16string_view name, std::u16string_view value) {
    for (auto& [n, v] : replacements_) {
        if (EqualsNoCase(n, name)) {
            v = value;
            return;
        }
    }
    replacements_.emplace_back(name, value);
}

RegistrarResult Registrar::Check(std::u16string_view script) const {
    std::vector<ScriptRoot> roots;
    return ParseScript(script, replacements_, roots);
}

namespace {

// Parses the whole script first, then applies one step to every key in
// order, stopping at the first failure.
RegistrarResult RunScript(std::u16string_view script,
                          const std::vector<std::pair<std::u16string, std::u16string>>& replacements,
                          const char* what, bool (Runner::*step)(HKEY, const ScriptKey&)) {
    std::vector<ScriptRoot> roots;
    RegistrarResult parsed = ParseScript(script, replacements, roots);
    if (!parsed) return parsed;
    Runner runner;
    for (const ScriptRoot& root : roots)
        for (const ScriptKey& key : root.keys)
            if (!(runner.*step)(root.root, key)) {
                SKYVANE_LOG("com", "%s, line %d: %s", what, runner.result.line, runner.result.message.c_str());
                return runner.result;
            }
    return runner.result;
}

}  // namespace

RegistrarResult Registrar::Register(std::u16string_view script) const {
    return RunScript(script, replacements_, "registration", &Runner::Register);
}

RegistrarResult Registrar::Unregister(std::u16string_view script) const {
    return RunScript(script, replacements_, "unregistration", &Runner::Unregister);
}

RegistrarResult Registrar::Register(std::string_view utf8Script) const { return Register(FromUtf8(utf8Script)); }

RegistrarResult Registrar::Unregister(std::string_view utf8Script) const { return Unregister(FromUtf8(utf8Script)); }

std::u16string ModulePathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return FromUtf8(resolved);
    return FromUtf8(info.dli_fname);
}

}  // namespace skyvane
