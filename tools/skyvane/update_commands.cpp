// skyvane update | service: update runs as the plugin starts them (the UI
// program, one process per run) and the background update process.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/wide_string.h"
#include "platform/kernel/device_profile.h"
#include "platform/kernel/process.h"
#include "platform/kernel/win_time.h"
#include "plugin/city_weather.h"
#include "plugin/connection_policy.h"
#include "plugin/main_settings.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "plugin/plugin_settings.h"
#include "plugin/schedule.h"
#include "plugin/update_lease.h"
#include "plugin/update_request.h"
#include "plugin/update_service.h"
#include "skyvane/city_text.h"
#include "skyvane/commands.h"
#include "skyvane/console.h"
#include "skyvane/interrupts.h"
#include "skyvane/update_progress.h"

namespace skyvane::cli {
namespace {

constexpr char kUpdateDetails[] =
    "Fetches the weather of every city (all, the default) or of the city with this code, as\n"
    "the plugin does it: the UI program runs the update in a process of its own, and this\n"
    "command shows on a terminal which city is being fetched, then one line per city with its\n"
    "status and the age of its weather. Without an Internet connection when Skyvane Weather\n"
    "may not create one, and in roaming, it asks first on a terminal; elsewhere the update\n"
    "does not run. Ctrl-C stops following the update, which runs to its end by itself.\n"
    "The exit status is the UI program's: 0 when at least one city was updated.";

constexpr char kServiceDetails[] =
    "Runs the background update process in the foreground: every five seconds it looks\n"
    "whether an update of all cities is due (the interval of the network state, inside the\n"
    "daily window) and starts one in the UI program. Each decision is printed as it goes to\n"
    "the diagnostic log; the updates it starts write theirs there too (skyvane log). Ctrl-C\n"
    "ends it; it also ends by itself when every interval is manual, while the installer works,\n"
    "or when another background update process starts.";

constexpr DWORD kPollMs = 100;

// The progress line of a terminal, written over in place.
class ProgressLine {
public:
    explicit ProgressLine(bool shown) : shown_(shown) {}
    ~ProgressLine() { Show(u""); }
    void Show(std::u16string_view text) {
        if (!shown_ || (text.empty() && !written_)) return;
        std::fputs("\r\033[K", stdout);
        Print(text);
        std::fflush(stdout);
        written_ = !text.empty();
    }

private:
    bool shown_;
    bool written_ = false;
};

void EchoLogLine(bool error, std::string_view line) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::printf("%02d:%02d:%02d  %s%.*s\n", now.wHour, now.wMinute, now.wSecond, error ? "error: " : "",
                int(line.size()), line.data());
    std::fflush(stdout);
}

}  // namespace

const CommandInfo kUpdateCommand{"update", "[CODE|all]", "fetch the weather now", kUpdateDetails, {}, 0, 1};
const CommandInfo kServiceCommand{"service", "", "run the background update process in the foreground",
                               kServiceDetails, {}, 0, 0};

int RunUpdate(const Arguments& arguments) {
    // Before any process is started: the UI program inherits what it sets.
    Interrupts interrupts;
    plugin::PluginSettings settings;
    settings.LoadCityList();
    if (settings.Cities().empty())
        return Fail("The city list is empty; add a city first with: skyvane city add NAME");

    std::u16string code = Utf16(arguments.Positional().empty() ? "all" : arguments.Positional()[0]);
    std::vector<plugin::CityRef> cities;
    for (const plugin::CityRef& city : settings.Cities()) {
        if (code != plugin::kUpdateAllCode && !skyvane::EqualsNoCase(city->Code(), code)) continue;
        if (code != plugin::kUpdateAllCode) code = city->Code();  // as stored: the run compares exactly
        cities.push_back(city);
    }
    if (cities.empty()) return Fail(Utf8(code) + " is not in the city list (see: skyvane city list).");

    skyvane::RefreshSystemState();
    std::unique_ptr<plugin::Prompt> prompt = plugin::PromptForCommandLine();
    plugin::ConnectionPolicy connection(settings.Key(), *prompt);
    if (!connection.MayConnect(true))
        return Fail("There is no Internet connection, and Skyvane Weather may not create one "
                    "(AllowCreateNewConection is 0); nothing was updated.");
    skyvane::UniqueHandle process;
    switch (plugin::RequestManualUpdate(settings.SharedKey(), settings.Install(), *prompt, code, &process)) {
    case plugin::ManualUpdate::Requested:
        break;
    case plugin::ManualUpdate::NotConfirmed:
        return Fail("The device is roaming and the update was not confirmed; nothing was updated.");
    case plugin::ManualUpdate::NotStarted:
        return Fail("The UI program " + Utf8(settings.Install().UiProgram()) +
                    " could not be started; is Skyvane Weather installed? (skyvane install)");
    }

    UpdateProgress progress(cities);
    {
        ProgressLine line(StdoutIsTerminal());
        for (;;) {
            const DWORD wait = WaitForSingleObject(process.get(), kPollMs);
            if (progress.Poll()) line.Show(progress.Line());
            if (wait != WAIT_TIMEOUT) break;
            if (interrupts.Requested()) {
                line.Show(u"");
                return Fail("Stopped following the update; it runs to its end by itself (see: skyvane city list).");
            }
        }
    }
    DWORD status = 1;
    GetExitCodeProcess(process.get(), &status);

    settings.LoadCityList();
    size_t width = 0;
    for (const plugin::CityRef& city : cities) width = std::max(width, DisplayWidth(PlaceName(*city)));
    const double now = plugin::LocalNow();
    for (const plugin::CityRef& city : cities) {
        // The reloaded list holds the city's new weather; a city removed
        // meanwhile keeps what it had.
        plugin::CityRef shown = city;
        for (const plugin::CityRef& reloaded : settings.Cities())
            if (reloaded->Code() == city->Code()) shown = reloaded;
        PrintLine(PadRight(PlaceName(*shown), width) + u"  " + CityState(*shown, now));
    }
    return status <= kBadUsage ? int(status) : kFailed;
}

int RunService(const Arguments&) {
    Interrupts interrupts;
    auto key = std::make_shared<plugin::SettingsKey>(plugin::kSettingsProduct, plugin::kSettingsCompany);
    plugin::InstallKeys install;
    std::unique_ptr<plugin::Prompt> prompt = plugin::PromptForCommandLine();
    plugin::ConnectionPolicy connection(*key, *prompt);

    skyvane::RefreshSystemState();
    const int32_t state = plugin::ReadNetworkState();
    PrintLine(u"The background update process (network state: " + plugin::NetworkStateName(state) + u"). Ctrl-C ends it.");
    plugin::SetLogEcho(EchoLogLine);
    const double next = plugin::NextUpdateTime(*key, plugin::LocalNow(), state, plugin::ProcessJitterSeconds());
    PrintLine(next > 1.0 ? "Next update of all cities: " + plugin::LogDate(next) + "."
                         : std::string("Updates are manual in this network state."));
    std::fflush(stdout);

    plugin::UpdateService service(key, install, connection);
    service.SetStopCheck([&] { return interrupts.Requested(); });
    const HRESULT hr = service.Run();
    plugin::SetLogEcho(nullptr);
    if (FAILED(hr)) return Fail("The background update process failed (see: skyvane log).");
    return kDone;
}

}  // namespace skyvane::cli
