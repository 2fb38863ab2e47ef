// skyvane-reg: inspects and edits the registry of a device.
//
// Exit status: 0 done, 1 the operation failed (message on stderr), 2 the
// command line is wrong.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/device_root.h"
#include "platform/registry/registry.h"
#include "tools/reg_file.h"

using namespace skyvane::regedit;
using skyvane::UniqueHkey;

namespace {

const char kUsage[] =
    "Usage: skyvane-reg [--root DIR] [COMMAND [ARGS]]\n"
    "\n"
    "Inspects and edits the registry of the device in DIR, or of the one\n"
    "SKYVANE_ROOT names ($XDG_DATA_HOME/skyvane/device without it).\n"
    "With no command, lists the whole registry (list -r).\n"
    "\n"
    "Commands:\n"
    "  list [-r] [KEY]             subkeys and values of KEY (all roots when omitted);\n"
    "                              -r descends into every subkey\n"
    "  get KEY [VALUE]             prints a value's data (the default value when VALUE\n"
    "                              is omitted): numbers in decimal, texts as they are,\n"
    "                              bytes in hex, one text per line for multi_sz\n"
    "  set KEY VALUE TYPE DATA...  creates KEY as needed and sets VALUE (@ for the\n"
    "                              default value). TYPE is one of\n"
    "                                dword      a number, decimal or 0x-hex\n"
    "                                sz         a text\n"
    "                                expand_sz  a text\n"
    "                                binary     hex bytes (\"01ff\", \"01,ff\" or \"01 ff\")\n"
    "                                multi_sz   one DATA argument per text\n"
    "  delete KEY [VALUE]          deletes VALUE, or KEY with all its subkeys\n"
    "  export [KEY] [FILE]         writes KEY (everything when omitted) as REGEDIT4\n"
    "                              text to FILE (standard output when omitted or -)\n"
    "  import FILE                 applies a REGEDIT4 file (- for standard input)\n"
    "\n"
    "KEY is ROOT\\path with ROOT one of HKEY_CURRENT_USER (HKCU),\n"
    "HKEY_LOCAL_MACHINE (HKLM) or HKEY_CLASSES_ROOT (HKCR).\n";

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "skyvane-reg: %s\nTry 'skyvane-reg --help'.\n", message.c_str());
    return kUsageError;
}

int Failed(const std::string& message) {
    std::fprintf(stderr, "skyvane-reg: %s\n", message.c_str());
    return kFailed;
}

// Names and texts for the terminal; an unpaired surrogate shows as "?".
std::string Utf8(std::u16string_view s) {
    std::string out;
    if (EncodeUtf8(s, &out)) return out;
    std::u16string copy(s);
    for (auto& c : copy) {
        if (c >= 0xD800 && c <= 0xDFFF) c = u'?';
    }
    EncodeUtf8(copy, &out);
    return out;
}

const char* TypeName(DWORD type) {
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return nullptr;
    }
}

std::string Hex(const std::vector<BYTE>& data, const char* separator) {
    std::string out;
    char byte[3];
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += separator;
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
    }
    return out;
}

// The texts of a REG_MULTI_SZ, or false when the bytes are not such a list.
bool MultiStrings(const std::vector<BYTE>& data, std::vector<std::string>* out) {
    if (data.size() % 2) return false;
    std::u16string all(data.size() / 2, u'\0');
    if (!data.empty()) std::memcpy(all.data(), data.data(), data.size());
    while (!all.empty() && all.back() == 0) all.pop_back();
    out->clear();
    size_t start = 0;
    while (start <= all.size() && !all.empty()) {
        size_t end = all.find(u'\0', start);
        out->push_back(Utf8(std::u16string_view(all).substr(start, end == std::u16string::npos ? end : end - start)));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return true;
}

// The data as `get` prints it, and as `list` shows it after the type.
std::string DataText(const Value& v, bool forList) {
    std::u16string text;
    if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) && PlainString(v.data, &text)) return Utf8(text);
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD n;
        std::memcpy(&n, v.data.data(), 4);
        char buffer[32];
        if (forList)
            std::snprintf(buffer, sizeof buffer, "0x%x (%u)", n, n);
        else
            std::snprintf(buffer, sizeof buffer, "%u", n);
        return buffer;
    }
    std::vector<std::string> items;
    if (v.type == REG_MULTI_SZ && MultiStrings(v.data, &items)) {
        std::string out;
        for (size_t i = 0; i < items.size(); ++i) out += (i ? (forList ? "\\0" : "\n") : "") + items[i];
        return out;
    }
    return Hex(v.data, forList ? "" : " ");
}

void PrintValue(const Value& v) {
    std::string type = TypeName(v.type) ? TypeName(v.type) : "REG_TYPE(" + std::to_string(v.type) + ")";
    std::string name = v.name.empty() ? "(Default)" : Utf8(v.name);
    std::printf("    %-24s %-14s %s\n", name.c_str(), type.c_str(), DataText(v, true).c_str());
}

LONG ListKey(HKEY key, const std::string& path, bool recursive) {
    std::vector<Value> values;
    std::vector<std::u16string> subkeys;
    if (LONG r = ReadValues(key, &values); r != ERROR_SUCCESS) return r;
    if (LONG r = ReadSubkeys(key, &subkeys); r != ERROR_SUCCESS) return r;
    std::printf("%s\n", path.c_str());
    for (const auto& v : values) PrintValue(v);
    std::printf("\n");
    for (const auto& sub : subkeys) {
        std::string subPath = path + "\\" + Utf8(sub);
        if (!recursive) {
            std::printf("%s\n", subPath.c_str());
            continue;
        }
        UniqueHkey child;
        LONG r = RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, child.out());
        if (r == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
        if (r != ERROR_SUCCESS) return r;
        if ((r = ListKey(child.get(), subPath, true)) != ERROR_SUCCESS) return r;
    }
    return ERROR_SUCCESS;
}

bool ParseKeyArg(const std::string& text, KeyPath* key, int* status) {
    if (ParseKeyPath(text, key)) return true;
    *status = UsageError("\"" + text + "\" is not a key (it must start with HKCU, HKLM or HKCR)");
    return false;
}

int OpenExisting(const KeyPath& key, UniqueHkey* handle, KeyPath* canonical) {
    LONG r = CanonicalPath(key, canonical);
    if (r == ERROR_SUCCESS) r = RegOpenKeyExW(canonical->root, canonical->sub.c_str(), 0, KEY_READ, handle->out());
    if (r != ERROR_SUCCESS) return Failed("cannot open " + KeyPathText(key) + ": " + Win32ErrorText(r));
    return 0;
}

int CommandList(const std::vector<std::string>& args) {
    bool recursive = false;
    std::vector<std::string> rest;
    for (const auto& a : args) {
        if (a == "-r" || a == "--recursive")
            recursive = true;
        else
            rest.push_back(a);
    }
    if (rest.size() > 1) return UsageError("list takes at most one KEY");
    if (rest.empty()) {
        for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            if (LONG r = ListKey(root, RootName(root), recursive); r != ERROR_SUCCESS)
                return Failed(std::string("cannot list ") + RootName(root) + ": " + Win32ErrorText(r));
        }
        return 0;
    }
    KeyPath key, canonical;
    int status = 0;
    if (!ParseKeyArg(rest[0], &key, &status)) return status;
    UniqueHkey handle;
    if ((status = OpenExisting(key, &handle, &canonical)) != 0) return status;
    if (LONG r = ListKey(handle.get(), KeyPathText(canonical), recursive); r != ERROR_SUCCESS)
        return Failed("cannot list " + KeyPathText(key) + ": " + Win32ErrorText(r));
    return 0;
}

// Arguments are UTF-8; a malformed one is a usage error.
bool TextArg(const std::string& arg, std::u16string* out, int* status) {
    if (DecodeUtf8(arg, out)) return true;
    *status = UsageError("\"" + arg + "\" is not valid UTF-8");
    return false;
}

bool ValueNameArg(const std::string& arg, std::u16string* out, int* status) {
    if (arg == "@") {
        out->clear();
        return true;
    }
    return TextArg(arg, out, status);
}

int CommandGet(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return UsageError("get takes KEY [VALUE]");
    KeyPath key, canonical;
    int status = 0;
    if (!ParseKeyArg(args[0], &key, &status)) return status;
    UniqueHkey handle;
    if ((status = OpenExisting(key, &handle, &canonical)) != 0) return status;
    Value v;
    if (args.size() > 1 && !ValueNameArg(args[1], &v.name, &status)) return status;
    DWORD size = 0;
    LONG r = RegQueryValueExW(handle.get(), v.name.c_str(), nullptr, &v.type, nullptr, &size);
    while (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
        v.data.resize(size ? size : 1);
        r = RegQueryValueExW(handle.get(), v.name.c_str(), nullptr, &v.type, v.data.data(), &size);
        if (r == ERROR_SUCCESS) {
            v.data.resize(size);
            std::printf("%s\n", DataText(v, false).c_str());
            return 0;
        }
    }
    std::string name = args.size() > 1 ? args[1] : "(Default)";
    return Failed("cannot read " + name + " of " + KeyPathText(canonical) + ": " + Win32ErrorText(r));
}

bool ParseNumber(const std::string& text, DWORD* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno || *end || v < -2147483648LL || v > 0xFFFFFFFFLL) return false;
    *out = DWORD(v);
    return true;
}

bool ParseBytes(const std::string& text, std::vector<BYTE>* out) {
    std::string digits;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits.push_back(c);
    }
    if (digits.size() % 2) return false;
    out->clear();
    for (size_t i = 0; i < digits.size(); i += 2) out->push_back(BYTE(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

void AppendText(std::vector<BYTE>* data, const std::u16string& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    data->insert(data->end(), bytes, bytes + (text.size() + 1) * 2);
}

int CommandSet(const std::vector<std::string>& args) {
    if (args.size() < 4) return UsageError("set takes KEY VALUE TYPE DATA");
    KeyPath key;
    int status = 0;
    if (!ParseKeyArg(args[0], &key, &status)) return status;
    Value v;
    if (!ValueNameArg(args[1], &v.name, &status)) return status;
    const std::string& type = args[2];
    if (type != "multi_sz" && args.size() != 4) return UsageError("only multi_sz takes several DATA arguments");
    if (type == "dword") {
        DWORD n = 0;
        if (!ParseNumber(args[3], &n)) return UsageError("\"" + args[3] + "\" is not a 32-bit number");
        v.type = REG_DWORD;
        v.data.resize(4);
        std::memcpy(v.data.data(), &n, 4);
    } else if (type == "sz" || type == "expand_sz") {
        v.type = type == "sz" ? REG_SZ : REG_EXPAND_SZ;
        std::u16string text;
        if (!TextArg(args[3], &text, &status)) return status;
        AppendText(&v.data, text);
    } else if (type == "binary") {
        v.type = REG_BINARY;
        if (!ParseBytes(args[3], &v.data)) return UsageError("\"" + args[3] + "\" is not a list of hex bytes");
    } else if (type == "multi_sz") {
        v.type = REG_MULTI_SZ;
        for (size_t i = 3; i < args.size(); ++i) {
            std::u16string text;
            if (!TextArg(args[i], &text, &status)) return status;
            AppendText(&v.data, text);
        }
        v.data.push_back(0);
        v.data.push_back(0);
    } else {
        return UsageError("unknown TYPE \"" + type + "\" (dword, sz, expand_sz, binary or multi_sz)");
    }
    UniqueHkey handle;
    LONG r = RegCreateKeyExW(key.root, key.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             handle.out(), nullptr);
    if (r != ERROR_SUCCESS) return Failed("cannot create " + KeyPathText(key) + ": " + Win32ErrorText(r));
    r = RegSetValueExW(handle.get(), v.name.c_str(), 0, v.type, v.data.data(), DWORD(v.data.size()));
    if (r != ERROR_SUCCESS) return Failed("cannot set " + args[1] + " of " + KeyPathText(key) + ": " + Win32ErrorText(r));
    return 0;
}

int CommandDelete(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return UsageError("delete takes KEY [VALUE]");
    KeyPath key;
    int status = 0;
    if (!ParseKeyArg(args[0], &key, &status)) return status;
    if (args.size() == 1) {
        if (key.sub.empty()) return UsageError("a root key cannot be deleted");
        LONG r = RegDeleteKeyW(key.root, key.sub.c_str());
        if (r != ERROR_SUCCESS) return Failed("cannot delete " + KeyPathText(key) + ": " + Win32ErrorText(r));
        return 0;
    }
    std::u16string name;
    if (!ValueNameArg(args[1], &name, &status)) return status;
    UniqueHkey handle;
    LONG r = RegOpenKeyExW(key.root, key.sub.c_str(), 0, KEY_WRITE, handle.out());
    if (r == ERROR_SUCCESS) r = RegDeleteValueW(handle.get(), name.c_str());
    if (r != ERROR_SUCCESS)
        return Failed("cannot delete " + args[1] + " of " + KeyPathText(key) + ": " + Win32ErrorText(r));
    return 0;
}

int CommandExport(const std::vector<std::string>& args) {
    if (args.size() > 2) return UsageError("export takes [KEY] [FILE]");
    KeyPath key;
    bool haveKey = false;
    std::string file = "-";
    if (args.size() == 2) {
        int status = 0;
        if (!ParseKeyArg(args[0], &key, &status)) return status;
        haveKey = true;
        file = args[1];
    } else if (args.size() == 1) {
        // One argument is the key when it names one, else the file.
        haveKey = ParseKeyPath(args[0], &key);
        if (!haveKey) file = args[0];
    }
    std::string text;
    RegError error;
    if (!ExportRegistry(haveKey ? &key : nullptr, &text, &error)) return Failed(error.Text());
    if (file == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : Failed("cannot write standard output");
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return Failed("cannot write " + file + ": " + std::strerror(errno));
    return 0;
}

int CommandImport(const std::vector<std::string>& args) {
    if (args.size() != 1) return UsageError("import takes FILE");
    std::string text;
    if (args[0] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(args[0], std::ios::binary);
        if (!in) return Failed("cannot read " + args[0] + ": " + std::strerror(errno));
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    RegError error;
    if (!ImportRegistry(text, &error)) return Failed(args[0] + ": " + error.Text());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t i = 0;
    while (i < args.size() && args[i].rfind("-", 0) == 0 && args[i] != "-") {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--root" || a.rfind("--root=", 0) == 0) {
            std::string dir;
            if (a == "--root") {
                if (i + 1 >= args.size()) return UsageError("--root needs a folder");
                dir = args[++i];
            } else {
                dir = a.substr(7);
            }
            if (dir.empty()) return UsageError("--root needs a folder");
            skyvane::SetDeviceRoot(dir);
            ++i;
            continue;
        }
        return UsageError("unknown option " + a);
    }
    std::vector<std::string> rest(args.begin() + long(i), args.end());
    if (rest.empty()) return CommandList({"-r"});
    const std::string command = rest.front();
    rest.erase(rest.begin());
    if (command == "list") return CommandList(rest);
    if (command == "get") return CommandGet(rest);
    if (command == "set") return CommandSet(rest);
    if (command == "delete") return CommandDelete(rest);
    if (command == "export") return CommandExport(rest);
    if (command == "import") return CommandImport(rest);
    if (command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return UsageError("unknown command \"" + command + "\"");
}
