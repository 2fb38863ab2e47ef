// Device paths on a Linux folder.
//
// The handheld's file system has one root ("\"), backslash separators and
// names that compare without case. Every device path maps below the device
// root; each component that exists is looked up without case (an exact match
// is tried first, so the common case costs one lstat and no directory scan),
// and the rest keeps the case the caller gave, which is the case a new file or
// folder is created with.

#include "platform/kernel/device_root.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace fs = std::filesystem;

namespace skyvane {
namespace {

// The folders every device has; the system writes below them without
// creating them first (the StartUp shortcut, the data folder).
constexpr const char* kStandardFolders[] = {
    "Windows", "Windows/StartUp", "Application Data", "My Documents", "Program Files",
};

std::string EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty()) return home;
    struct passwd pw, *result = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &result) == 0 && result && result->pw_dir) return result->pw_dir;
    return "/tmp";
}

// Absolute, without "." and ".." and without a trailing separator.
std::string Normalise(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::path(path);
    if (!p.is_absolute()) p = fs::absolute(p, ec);
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string ConfiguredRoot() {
    std::string root = EnvOrEmpty("SKYVANE_ROOT");
    if (root.empty()) {
        // The XDG base directory rules ignore a relative XDG_DATA_HOME.
        std::string data = EnvOrEmpty("XDG_DATA_HOME");
        if (data.empty() || data[0] != '/') data = HomeFolder() + "/.local/share";
        root = data + "/skyvane/device";
    }
    return Normalise(root);
}

// Creates the root and the standard folders; false when the root cannot be
// created.
bool EnsureRoot(const std::string& root) {
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) {
        SKYVANE_LOG("platform", "cannot create device root %s: %s", root.c_str(), ec.message().c_str());
        return false;
    }
    for (const char* folder : kStandardFolders) fs::create_directory(root + "/" + folder, ec);
    return true;
}

// The root of this process, resolved once.
struct RootState {
    std::mutex lock;
    std::string root;
    bool resolved = false;
    bool ensured = false;  // created (or found); until then every use tries again
    std::atomic<unsigned> generation{0};
};

RootState& State() {
    static RootState* state = new RootState;  // never destroyed: used from static destructors
    return *state;
}

bool IsInside(const std::string& path, const std::string& root) {
    if (root == "/") return !path.empty() && path[0] == '/';
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

// A path in Linux spelling that the caller means as a Linux path: absolute,
// without backslashes, and either inside the device root or starting with a
// top-level folder that exists on Linux ("/tmp", "/usr", "/home"). The device's
// own top-level folders ("/Windows", "/My Documents") do not exist on Linux, so
// forward-slash device paths still reach the device.
bool IsLinuxPath(const std::string& path, const std::string& root) {
    if (path.empty() || path[0] != '/' || path.find('\\') != std::string::npos) return false;
    if (IsInside(Normalise(path), root)) return true;
    size_t start = path.find_first_not_of('/');
    if (start == std::string::npos) return false;  // "/" is the device's root
    std::string first = path.substr(start, path.find('/', start) - start);
    if (first == "." || first == "..") return false;  // never a way out of the device
    struct stat st;
    return stat(("/" + first).c_str(), &st) == 0;
}

// Splits a device path into its components; "." vanishes and ".." steps back
// but never above the device's root.
std::vector<std::u16string> SplitDevicePath(std::u16string_view path) {
    std::vector<std::u16string> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = i;
        while (j < path.size() && path[j] != u'\\' && path[j] != u'/') ++j;
        std::u16string_view part = path.substr(i, j - i);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.emplace_back(part);
        }
        i = j + 1;
    }
    return parts;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The entry of folder whose name equals name without case, if any. When a
// Linux folder holds several such names, the first in byte order wins so the
// answer does not depend on the directory's order.
std::optional<std::string> FindNoCase(const std::string& folder, std::u16string_view name) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return std::nullopt;
    const std::string utf8 = ToUtf8(name);
    const bool asciiName = IsAscii(utf8);
    std::optional<std::string> found;
    while (dirent* entry = readdir(dir)) {
        std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        // Two ASCII names compare byte by byte; only other names need the full folding.
        bool equal = asciiName && IsAscii(entryName) ? EqualsNoCaseAscii(entryName, utf8)
                                                     : EqualsNoCase(FromUtf8(entryName), name);
        if (equal && (!found || entryName < *found)) found.emplace(entryName);
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string DeviceRoot() {
    RootState& state = State();
    std::lock_guard guard(state.lock);
    if (!state.resolved) {
        state.root = ConfiguredRoot();
        state.resolved = true;
        SKYVANE_LOG("platform", "device root is %s", state.root.c_str());
    }
    if (!state.ensured) state.ensured = EnsureRoot(state.root);
    return state.root;
}

std::string SetDeviceRoot(std::string_view root) {
    RootState& state = State();
    std::lock_guard guard(state.lock);
    std::string previous = state.resolved ? state.root : ConfiguredRoot();
    std::string next = root.empty() ? ConfiguredRoot() : Normalise(std::string(root));
    if (!root.empty()) setenv("SKYVANE_ROOT", next.c_str(), 1);
    if (!state.resolved || next != state.root) {
        state.root = std::move(next);
        state.ensured = false;
        state.generation.fetch_add(1, std::memory_order_release);
        SKYVANE_LOG("platform", "device root moved to %s", state.root.c_str());
    }
    state.resolved = true;
    return previous;
}

unsigned DeviceRootGeneration() { return State().generation.load(std::memory_order_acquire); }

std::string HostPath(std::u16string_view devicePath) {
    // A text ends at its first NUL, as it does for every caller passing a LPCWSTR.
    if (size_t nul = devicePath.find(u'\0'); nul != std::u16string_view::npos) devicePath = devicePath.substr(0, nul);
    std::string root = DeviceRoot();
    std::string utf8 = ToUtf8(devicePath);
    if (IsLinuxPath(utf8, root)) return utf8;

    std::string path = root;
    bool existing = true;
    for (const std::u16string& part : SplitDevicePath(devicePath)) {
        std::string name = ToUtf8(part);
        if (existing) {
            struct stat st;
            std::string exact = path + "/" + name;
            if (lstat(exact.c_str(), &st) == 0) {
                path = std::move(exact);
                continue;
            }
            if (std::optional<std::string> found = FindNoCase(path, part)) {
                path += "/" + *found;
                continue;
            }
            existing = false;  // nothing below a missing component can exist
        }
        path += "/" + name;
    }
    return path;
}

std::u16string DevicePath(std::string_view hostPath) {
    std::string root = DeviceRoot();
    std::string path(hostPath);
    if (path.empty() || path[0] != '/') return FromUtf8(hostPath);
    std::string normal = Normalise(path);
    if (!IsInside(normal, root)) return FromUtf8(hostPath);
    std::string rest = normal.substr(root == "/" ? 0 : root.size());
    if (rest.empty()) return u"\\";
    for (char& c : rest)
        if (c == '/') c = '\\';
    return FromUtf8(rest);
}

}  // namespace skyvane
