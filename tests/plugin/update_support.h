// What the tests of update runs, the schedule and the connection policy
// share: the libraries of the build registered in the test's device, the
// device's diagnostic log read back, cities and system state written as the
// other processes of a device would, and a Connection Manager that records
// what it is asked.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/connection_policy.h"
#include "plugin/settings_key.h"

namespace skyvane::test {

// Starts a frozen test clock (in the folder given) at 7 March 2026, a
// Saturday, h:m; false when it could not.
bool FreezeClockAt(const std::string& folder, int hour, int minute);

// Registers build/lib/<library> in the current device; false when that failed.
bool RegisterBuiltLibrary(const std::string& library);

struct LogRow {
    bool error;
    std::string text;  // as written, with "<", ">" and "&" escaped
};
// Every row of the device's diagnostic logs, oldest file first.
std::vector<LogRow> LogRows();
// Whether a row holds the text (and, when asked, is an error row).
bool Logged(const std::string& text);
bool LoggedError(const std::string& text);
size_t CountLogged(const std::string& text);

// Writes "CityCode%d" and "CityName%d" from index 0 on.
void WriteCities(plugin::SettingsKey& key, const std::vector<std::pair<std::u16string, std::u16string>>& cities);

// The system state values the network state is read from, and the answer
// the platform's Connection Manager gives every request (0x10 connected).
void SetSystemState(DWORD cradled, DWORD wifi, DWORD phoneStatus);
void ForceConnectionStatus(DWORD status);

// A stand-in for the UI program at its default device path
// (\Windows\SkyvaneWeather\SkyvaneWeatherUI.exe): a script that appends
// each command line it is started with to a file.
class StandInProgram {
public:
    // At another device path, appending to the file given.
    explicit StandInProgram(std::u16string_view devicePath = u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI",
                            std::string log = {});
    // The command lines received so far, waiting up to 3 s for at least n.
    std::vector<std::string> Commands(size_t n = 0) const;

private:
    std::string log_;
};

// Answers each request with answer(request), CONNMGR_STATUS_CONNECTED by
// default, and remembers the requests with the `ConnectionIteration` stored
// when each was made.
class RecordingConnections final : public plugin::ConnectionManager {
public:
    explicit RecordingConnections(plugin::SettingsKey& key) : key_(key) {}
    struct Request {
        CONNMGR_CONNECTIONINFO info;
        int32_t iteration;
    };
    HRESULT Establish(CONNMGR_CONNECTIONINFO& request, HANDLE* connection, DWORD timeoutMs, DWORD* status) override;
    void Release(HANDLE connection) override;

    std::function<DWORD(const CONNMGR_CONNECTIONINFO&)> answer;
    // Run inside each request, after it was recorded, and inside each release.
    std::function<void()> during;
    std::function<void()> onRelease;
    std::vector<Request> requests;
    std::vector<DWORD> timeouts;
    int held = 0;
    int released = 0;

private:
    plugin::SettingsKey& key_;
    uintptr_t next_ = 0x1000;
};

// The destination indexes of the requests, in order (0 when none was named).
std::vector<int32_t> Destinations(const RecordingConnections& connections);

}  // namespace skyvane::test
