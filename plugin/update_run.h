// The update run: fetches the forecast of one city or of every city from the
// weather service ("KWeather.KWeatherService", created once per run through
// COM), merges it into each city's stored weather, saves it, publishes the
// exchange values of the current city and records the outcome in the
// settings key.
//
// A run is guarded against other processes by registry values only: the
// 10-minute lease `IsUpdateInProgressTime`, renewed at every city and every
// retry; in a run over all cities its identity `UpdateStart`, re-read before
// every city so that a newer run makes an older one stop between cities;
// and `DisableOnInstallTime`, which stops every run at its next check.
// A failed attempt is retried up to three times, one second apart, on the
// second destination of a two-step connection choice where there is one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/com/com_ptr.h"
#include "plugin/city_entry.h"
#include "plugin/connection_policy.h"
#include "plugin/plugin_settings.h"
#include "weather/service_interfaces.h"

namespace skyvane::plugin {

inline constexpr char16_t kUpdateAllCode[] = u"all";
inline constexpr char16_t kServiceProgId[] = u"KWeather.KWeatherService";

struct UpdateOutcome {
    // S_OK when the last attempt succeeded (also when there was nothing to
    // update), E_FAIL when it failed, S_FALSE when the run did not start or
    // was stopped (an installer, another run).
    HRESULT result = S_OK;
    // The cities' names with their outcome, over all attempts.
    std::u16string text;
};

class UpdateRun {
public:
    // key: the settings key; connection: the policy whose connection each
    // attempt uses. The caller has initialised COM on this thread.
    UpdateRun(std::shared_ptr<SettingsKey> key, ConnectionPolicy& connection);
    ~UpdateRun();
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // The guarded run for "all" or one city code (compared exactly, as
    // stored), with its retries.
    UpdateOutcome UpdateAndSave(std::u16string_view code);

    enum class Attempt { Succeeded, Failed, Stopped };
    // One attempt over the cities. startStamp: the `UpdateStart` of this
    // run over all cities, none before the first attempt (which sets it).
    Attempt UpdateAllOrOne(std::u16string_view code, std::optional<DWORD>& startStamp);
    // One city: fetch, merge, save. S_FALSE for an empty code.
    HRESULT UpdateCity(std::u16string_view code, std::u16string_view name, int32_t index);
    // One request to the service and the merge into the city.
    HRESULT FetchAndMerge(CityEntry& city);
    // Creates the service object; throws ComError when it cannot.
    void CreateService();

    const std::u16string& ResultText() const { return resultText_; }

private:
    // The connection of this attempt, asked for once; false when it is not
    // up (the city's status then says why).
    bool Connected(CityEntry& city);
    void EndAttempt();

    std::shared_ptr<SettingsKey> key_;
    PluginSettings settings_;
    ConnectionPolicy& connection_;
    skyvane::ComPtr<IKWeatherService4> service_;
    double runStart_ = 0;
    std::u16string resultText_;
    std::optional<ConnectionResult> link_;  // this attempt's connection, once asked for
};

// The city code as it is requested: without carriage returns and line feeds.
std::u16string RequestCode(std::u16string_view code);

}  // namespace skyvane::plugin
