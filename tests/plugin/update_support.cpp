#include "plugin/update_support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <sys/stat.h>

#include "platform/com/guid.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/test_clock.h"
#include "platform/registry/registry.h"
#include "test_util/test_util.h"

namespace skyvane::test {
namespace {

namespace fs = std::filesystem;

void SetMachineNumber(const char16_t* path, const char16_t* name, DWORD value) {
    skyvane::UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(), nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string ReadUtf16File(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 2) return {};
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return skyvane::ToUtf8(text);
}

}  // namespace

bool FreezeClockAt(const std::string& folder, int hour, int minute) {
    SYSTEMTIME t{2026, 3, 6, 7, WORD(hour), WORD(minute), 0, 0};
    return testclock::Enable(folder + "/clock") && testclock::SetLocalTime(t) && testclock::Freeze(true);
}

bool RegisterBuiltLibrary(const std::string& library) {
    std::string command = BuildDir() + "/bin/skyvane-regsvr " + BuildDir() + "/lib/" + library + " > /dev/null";
    return std::system(command.c_str()) == 0;
}

std::vector<LogRow> LogRows() {
    std::set<fs::path> files;
    fs::path folder = skyvane::HostPath(u"\\Application Data\\SkyvaneWeather");
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("SkyvaneLog", 0) == 0) files.insert(entry.path());
    std::vector<LogRow> rows;
    for (const fs::path& file : files) {
        const std::string text = ReadUtf16File(file);
        for (size_t at = text.find("<tr><td"); at != std::string::npos; at = text.find("<tr><td", at + 1)) {
            const size_t pid = text.find("PID=", at), end = text.find("</td></tr>", at);
            if (pid == std::string::npos || end == std::string::npos || pid > end) continue;
            rows.push_back({text.compare(at, 14, "<tr><td style=") == 0, text.substr(pid + 13, end - pid - 13)});
        }
    }
    return rows;
}

bool Logged(const std::string& text) { return CountLogged(text) > 0; }

bool LoggedError(const std::string& text) {
    for (const LogRow& row : LogRows())
        if (row.error && row.text.find(text) != std::string::npos) return true;
    return false;
}

size_t CountLogged(const std::string& text) {
    size_t n = 0;
    for (const LogRow& row : LogRows())
        if (row.text.find(text) != std::string::npos) ++n;
    return n;
}

void WriteCities(plugin::SettingsKey& key, const std::vector<std::pair<std::u16string, std::u16string>>& cities) {
    for (size_t i = 0; i < cities.size(); ++i) {
        std::u16string index = skyvane::FromUtf8(std::to_string(i));
        key.WriteText(u"CityCode" + index, cities[i].first);
        key.WriteText(u"CityName" + index, cities[i].second);
    }
}

void SetSystemState(DWORD cradled, DWORD wifi, DWORD phoneStatus) {
    SetMachineNumber(u"System\\State\\Hardware", u"Cradled", cradled);
    SetMachineNumber(u"System\\State\\Hardware", u"WiFi", wifi);
    SetMachineNumber(u"System\\State\\Phone", u"Status", phoneStatus);
}

void ForceConnectionStatus(DWORD status) {
    SetMachineNumber(u"Software\\Skyvane\\Device", u"ConnectionStatus", status);
}

StandInProgram::StandInProgram(std::u16string_view devicePath, std::string log)
    : log_(log.empty() ? skyvane::HostPath(u"\\started.txt") : std::move(log)) {
    fs::path program = skyvane::HostPath(devicePath);
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\necho \"$*\" >> '" << log_ << "'\n";
    chmod(program.c_str(), 0755);
}

std::vector<std::string> StandInProgram::Commands(size_t n) const {
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        lines.clear();
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        if (lines.size() >= n) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
}

HRESULT RecordingConnections::Establish(CONNMGR_CONNECTIONINFO& request, HANDLE* connection, DWORD timeoutMs,
                                        DWORD* status) {
    requests.push_back({request, key_.ReadNumber(u"ConnectionIteration", -1)});
    timeouts.push_back(timeoutMs);
    if (during) during();
    *status = answer ? answer(request) : CONNMGR_STATUS_CONNECTED;
    *connection = nullptr;
    if (*status != CONNMGR_STATUS_CONNECTED) return E_FAIL;
    *connection = reinterpret_cast<HANDLE>(next_++);
    ++held;
    return S_OK;
}

void RecordingConnections::Release(HANDLE) {
    --held;
    ++released;
    if (onRelease) onRelease();
}

std::vector<int32_t> Destinations(const RecordingConnections& connections) {
    std::vector<int32_t> indexes;
    for (const auto& r : connections.requests) {
        int32_t index = 0;
        for (int32_t i = 1; i <= 4 && (r.info.dwParams & CONNMGR_PARAM_GUIDDESTNET); ++i)
            if (IsEqualGUID(r.info.guidDestNet, *plugin::DestinationGuid(i))) index = i;
        indexes.push_back(index);
    }
    return indexes;
}

}  // namespace skyvane::test
