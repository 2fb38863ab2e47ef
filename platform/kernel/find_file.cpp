// Folder enumeration with wildcards, and the device's special folders.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/device_root.h"
#include "platform/kernel/files.h"
#include "platform/kernel/file_support.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace {

// * matches any run of characters, ? exactly one; letters compare without case.
bool WildcardMatch(std::u16string_view name, std::u16string_view pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || skyvane::FoldLower(pattern[p]) == skyvane::FoldLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;  // let the last * swallow one more character
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

// The platform's file system lets a trailing ".*" match an empty extension, so
// "*.*" finds "README" and "StartUp" as well.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    if (WildcardMatch(name, pattern)) return true;
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
           WildcardMatch(name, pattern.substr(0, pattern.size() - 2));
}

class FindObject final : public skyvane::KernelObject {
public:
    explicit FindObject(std::vector<WIN32_FIND_DATAW> entries) : entries_(std::move(entries)) {}
    // The next entry, or nullptr past the last.
    const WIN32_FIND_DATAW* next() { return next_ < entries_.size() ? &entries_[next_++] : nullptr; }

private:
    std::vector<WIN32_FIND_DATAW> entries_;
    size_t next_ = 0;
};

bool FillFindData(const std::string& folder, const std::string& name, std::u16string_view wideName,
                  WIN32_FIND_DATAW* data) {
    std::string path = folder + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;  // gone meanwhile
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = skyvane::AttributesFromStat(st, path);
    data->ftCreationTime = skyvane::CreationTime(AT_FDCWD, path.c_str(), 0, st);
    data->ftLastAccessTime = skyvane::FileTimeFromTimespec(st.st_atim);
    data->ftLastWriteTime = skyvane::FileTimeFromTimespec(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
        data->nFileSizeLow = static_cast<DWORD>(st.st_size & 0xFFFFFFFF);
    }
    data->dwOID = static_cast<DWORD>(st.st_ino);
    std::copy(wideName.begin(), wideName.end(), data->cFileName);
    data->cFileName[wideName.size()] = 0;
    return true;
}

const char16_t* SpecialFolder(int csidl) {
    switch (csidl) {
    case CSIDL_APPDATA: return u"\\Application Data";
    case CSIDL_PERSONAL: return u"\\My Documents";
    case CSIDL_STARTUP: return u"\\Windows\\StartUp";
    case CSIDL_WINDOWS: return u"\\Windows";
    case CSIDL_PROGRAM_FILES: return u"\\Program Files";
    default: return nullptr;
    }
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string_view spec = lpFileName;
    size_t cut = spec.find_last_of(u"\\/");
    std::u16string_view folderPart = cut == std::u16string_view::npos ? std::u16string_view() : spec.substr(0, cut + 1);
    std::u16string_view pattern = cut == std::u16string_view::npos ? spec : spec.substr(cut + 1);
    if (folderPart.find_first_of(u"*?") != std::u16string_view::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string folder = skyvane::HostPath(folderPart.empty() ? std::u16string_view(u"\\") : folderPart);
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : skyvane::Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    std::vector<WIN32_FIND_DATAW> entries;
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::u16string wide = skyvane::FromUtf8(name);
        if (wide.size() >= MAX_PATH || !MatchesPattern(wide, pattern)) continue;  // too long for cFileName
        WIN32_FIND_DATAW data;
        if (FillFindData(folder, std::string(name), wide, &data)) entries.push_back(data);
    }
    closedir(dir);
    if (entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(entries.begin(), entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
        return skyvane::CompareNoCase(a.cFileName, b.cFileName) < 0;
    });
    auto find = std::make_unique<FindObject>(std::move(entries));
    *lpFindFileData = *find->next();
    SetLastError(ERROR_SUCCESS);
    return skyvane::MakeHandle(std::move(find));
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    FindObject* find = skyvane::HandleAs<FindObject>(hFindFile);
    if (!find) return FALSE;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const WIN32_FIND_DATAW* data = find->next();
    if (!data) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = *data;
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!skyvane::HandleAs<FindObject>(hFindFile)) return FALSE;  // not a find handle
    return CloseHandle(hFindFile);
}

BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate) {
    const char16_t* devicePath = SpecialFolder(nFolder);
    if (!lpszPath || !devicePath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host = skyvane::HostPath(devicePath);
    std::error_code ec;
    if (fCreate) std::filesystem::create_directories(host, ec);
    if (!std::filesystem::is_directory(host, ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    lstrcpyW(lpszPath, devicePath);
    return TRUE;
}
