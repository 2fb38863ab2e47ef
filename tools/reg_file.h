// REGEDIT4 text: export of registry keys and import of .reg files, and the
// key-path and value helpers the registry editor shares with them.
//
// The text is UTF-8. A value is written in the plainest form that gives back
// exactly the stored type and bytes:
//   "name"="text"        REG_SZ holding well-formed UTF-16 with one terminator
//   "name"=dword:0000002a REG_DWORD of exactly four bytes
//   "name"=hex:01,02     REG_BINARY
//   "name"=hex(N):...    any other type N (hex), and REG_SZ/REG_DWORD data that
//                        the forms above cannot carry; the stored bytes as they are
// @ names the default value. Import also understands [-KEY] (delete the key and
// its subtree), "name"=- (delete the value), comments starting with ";" and hex
// lists continued over several lines with a trailing backslash.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace skyvane::regedit {

// A key as a root and a path below it ("HKCU\Software\X" or
// "HKEY_CURRENT_USER\Software\X"; root names in any case).
struct KeyPath {
    HKEY root = nullptr;
    std::u16string sub;  // backslash-separated, no leading backslash; empty for the root
};
bool ParseKeyPath(std::string_view text, KeyPath* out);
// "HKEY_CURRENT_USER\Software\X", in UTF-8.
std::string KeyPathText(const KeyPath& key);
const char* RootName(HKEY root);

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
// The values of an open key in their enumeration order, and its subkeys' names.
LONG ReadValues(HKEY key, std::vector<Value>* out);
LONG ReadSubkeys(HKEY key, std::vector<std::u16string>* out);
// The path with every existing level in the case it was created with;
// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG CanonicalPath(const KeyPath& key, KeyPath* out);

// Data in the forms above ("\"text\"", "dword:0000002a", "hex(7):41,00,...")
// with long hex lists wrapped after prefixLength characters of line.
std::string FormatRegData(const Value& value, size_t prefixLength);
// Quotes a name or text with the \\ and \" escapes.
std::string QuoteRegString(std::u16string_view text);
// The text of a REG_SZ value when its bytes are well-formed UTF-16 ending in
// one terminator with no other NUL, as import would store it.
bool PlainString(const std::vector<BYTE>& data, std::u16string* text);

// Strict UTF-8 (no overlong forms or encoded surrogates) to UTF-16, and back;
// EncodeUtf8 fails on an unpaired surrogate.
bool DecodeUtf8(std::string_view s, std::u16string* out);
bool EncodeUtf8(std::u16string_view s, std::string* out);

// "not found (error 2)" and the like, for messages.
std::string Win32ErrorText(LONG code);

struct RegError {
    int line = 0;  // 0 when the failure is not tied to a line
    std::string message;
    std::string Text() const;
    // Records the failure; answers false for "return error->Fail(...)".
    bool Fail(int atLine, std::string what) {
        line = atLine;
        message = std::move(what);
        return false;
    }
};

// The whole registry (no key) or one key with its subtree, as REGEDIT4 text.
// Fails on a key or value name that the text form cannot carry (a line break
// or a broken UTF-16 sequence in it).
bool ExportRegistry(const KeyPath* key, std::string* text, RegError* error);

// Reads the whole text first, so that a file with a syntax error changes
// nothing; then applies it in order.
bool ImportRegistry(std::string_view text, RegError* error);

// One change a .reg file asks for.
struct RegOperation {
    enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } kind;
    KeyPath key;
    Value value;  // kSetValue and kDeleteValue
    int line;
};
bool ParseRegText(std::string_view text, std::vector<RegOperation>* ops, RegError* error);

}  // namespace skyvane::regedit
