#include "plugin/city_list_edit.h"

#include <memory>
#include <string>

#include "plugin/city_weather.h"
#include "plugin/plugin_log.h"
#include "plugin/update_lease.h"
#include "plugin/update_service.h"
#include "plugin/weather_store.h"
#include "ui/text_ids.h"

namespace skyvane::plugin {

AddCityResult AddCity(PluginSettings& settings, std::u16string_view code, std::u16string_view name,
                      std::u16string_view country) {
    if (!CodeFitsFileName(code)) return AddCityResult::InvalidCode;
    if (FindCity(settings, code)) return AddCityResult::AlreadyListed;
    // The list ends at 100 cities when it is read: a 101st would be lost.
    if (settings.Cities().size() >= kMaxCities) return AddCityResult::ListFull;

    auto city = std::make_shared<CityEntry>(settings.SharedKey());
    city->SetCode(std::u16string(code));
    city->SetName(std::u16string(name));
    city->SetCountry(std::u16string(country));
    // A city added again finds the weather it had.
    LoadWeather(*city);
    city->LoadStatus();
    settings.Cities().push_back(std::move(city));
    settings.currentCity = int32_t(settings.Cities().size() - 1);
    settings.SaveSettings();
    const std::u16string added(name);
    LogTableText(false, ui::text::kCityAdded, added.c_str());
    settings.StampCityList();
    return AddCityResult::Added;
}

bool DeleteCity(PluginSettings& settings, size_t index) {
    auto& cities = settings.Cities();
    if (index >= cities.size()) return false;
    LogTableText(false, ui::text::kCityDeleted, cities[index]->Name().c_str());
    cities.erase(cities.begin() + std::ptrdiff_t(index));
    settings.currentCity = 0;
    settings.SaveSettings();
    settings.StampCityList();
    if (!UpdateInProgress(settings.Key(), LocalNow())) PeriodicRefresh(settings.SharedKey());
    return true;
}

std::optional<size_t> FindCity(const PluginSettings& settings, std::u16string_view code) {
    const auto& cities = settings.Cities();
    for (size_t i = 0; i < cities.size(); ++i)
        if (cities[i]->Code() == code) return i;
    return std::nullopt;
}

}  // namespace skyvane::plugin
