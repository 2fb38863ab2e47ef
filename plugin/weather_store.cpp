#include "plugin/weather_store.h"

#include <vector>

#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "plugin/plugin_log.h"
#include "plugin/store_format.h"

namespace skyvane::plugin {
namespace {

constexpr int kLoadAttempts = 5;
constexpr DWORD kLoadRetryMs = 200;
constexpr int kSaveAttempts = 5;
constexpr DWORD kSaveRetryMs = 500;

std::u16string SpecialFolder(int csidl) {
    char16_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(nullptr, path, csidl, FALSE)) return {};
    return path;
}

std::optional<std::u16string> PathOf(const CityEntry& city) {
    if (!city.Owner() || city.Code().empty()) return std::nullopt;
    std::optional<std::u16string> path = CityFilePath(DataFolder(*city.Owner()), city.Code());
    if (!path) PLUGIN_LOG_ERROR("The city code \"%s\" cannot name a file: no weather is stored for it",
                                LogText(city.Code()).c_str());
    return path;
}

// The whole file, read while writers are kept out; retried while a writer
// has it. Nothing when it is missing, too large or unreadable.
std::optional<std::vector<uint8_t>> ReadWhole(const std::u16string& path) {
    skyvane::UniqueHandle file;
    for (int attempt = 1;; ++attempt) {
        file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) break;
        DWORD error = GetLastError();
        // Only another process's save is worth waiting for: a file that is
        // not there will not appear by waiting.
        if (error != ERROR_SHARING_VIOLATION || attempt == kLoadAttempts) {
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                PLUGIN_LOG_ERROR("Cannot open %s for reading, error %lu", LogText(path).c_str(),
                                 static_cast<unsigned long>(error));
            return std::nullopt;
        }
        Sleep(kLoadRetryMs);
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxStoreFileSize) {
        PLUGIN_LOG_ERROR("The weather file %s is larger than %zu bytes: not read", LogText(path).c_str(),
                         kMaxStoreFileSize);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(size);
    DWORD got = 0;
    if (size && (!ReadFile(file.get(), bytes.data(), size, &got, nullptr) || got != size)) {
        PLUGIN_LOG_ERROR("Cannot read %s, error %lu", LogText(path).c_str(),
                         static_cast<unsigned long>(GetLastError()));
        return std::nullopt;
    }
    return bytes;
}

// One attempt at writing the new file beside the old one and putting it in
// its place. ERROR_SUCCESS, or the error.
DWORD WriteAndReplace(const std::u16string& path, const std::vector<uint8_t>& bytes) {
    const std::u16string temp = path + u".tmp";
    {
        // Exclusive: a second writer waits for this one, as for the file itself.
        skyvane::UniqueHandle file(
            CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(file.get())) {
            DWORD error = GetLastError();
            file.reset();
            DeleteFileW(temp.c_str());
            return error ? error : ERROR_WRITE_FAULT;
        }
    }
    // Fails with a sharing violation while a reader has the old file open.
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace

std::u16string DataFolder(const SettingsKey& key) {
    std::u16string base = SpecialFolder(CSIDL_APPDATA);
    if (base.empty()) base = SpecialFolder(CSIDL_PERSONAL);
    if (base.empty()) base = u"\\";
    if (base.back() != u'\\') base += u'\\';
    std::u16string folder = base + key.Company() + key.Product();
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool CodeFitsFileName(std::u16string_view code) {
    if (code.empty() || code.find(u"..") != std::u16string_view::npos) return false;
    for (char16_t c : code)
        if (c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':') return false;
    return true;
}

std::optional<std::u16string> CityFilePath(std::u16string_view folder, std::u16string_view code) {
    if (!CodeFitsFileName(code)) return std::nullopt;
    std::u16string path(folder);
    path += u'\\';
    path += code;
    path += u".bin";
    return path;
}

bool LoadWeather(CityEntry& city) {
    if (city.Code().empty()) return false;
    // The stamp is taken first: a save that lands while this load runs moves
    // it again and so brings another load.
    city.RememberDataStamp();
    std::optional<std::u16string> path = PathOf(city);
    if (!path) return false;
    std::optional<std::vector<uint8_t>> bytes = ReadWhole(*path);
    if (!bytes) return false;
    StoreParse parsed = ParseStore(*bytes);
    if (!parsed.ok()) {
        PLUGIN_LOG_ERROR("The weather file %s is damaged (%s): the weather shown is kept", LogText(*path).c_str(),
                         StoreErrorText(parsed.error));
        return false;
    }
    city.Weather().Replace(std::move(parsed.contents.records), parsed.contents.lastUpdate);
    return true;
}

bool SaveWeather(CityEntry& city) {
    std::optional<std::u16string> path = PathOf(city);
    if (!path) return false;
    const CityWeather& weather = city.Weather();
    std::vector<uint8_t> bytes = SerializeStore(city.Name(), city.Code(), weather.LastUpdate(), weather.records());
    for (int attempt = 1;; ++attempt) {
        DWORD error = WriteAndReplace(*path, bytes);
        if (error == ERROR_SUCCESS) break;
        if (attempt == kSaveAttempts) {
            PLUGIN_LOG_ERROR("Cannot save the weather of %s to %s, error %lu", LogText(city.Code()).c_str(),
                             LogText(*path).c_str(), static_cast<unsigned long>(error));
            return false;
        }
        Sleep(kSaveRetryMs);
    }
    city.StampData();
    return true;
}

}  // namespace skyvane::plugin
