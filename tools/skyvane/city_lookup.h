// Finding a city's code and name the way the plugin's city dialogs do: in
// the city database installed in the device (the plugin's
// `CityDatabasePath`), or through the weather service's online city search.
// Both go through the weather service library, "KWeather.KWeatherService",
// by COM only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "plugin/settings_key.h"
#include "weather/service_interfaces.h"

namespace skyvane::cli {

struct FoundCity {
    std::u16string code;
    std::u16string name;
    std::u16string country;
};

// What a look-up found: the cities, or why it could not look.
struct LookupResult {
    std::vector<FoundCity> cities;
    std::string error;  // a sentence; empty when the look-up ran
};

// COM on this thread for the lifetime of the object.
class ComSession {
public:
    ComSession();
    ~ComSession();
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_;
};

class CityLookup {
public:
    // Creates the service for the database folder of the settings. COM must
    // be initialised on this thread. On failure Error() says why.
    explicit CityLookup(const plugin::SettingsKey& settings);

    const std::string& Error() const { return error_; }

    // Cities of the database named so (case-insensitively); when none is,
    // those whose name begins with the text. Only the country's cities when
    // one is given.
    LookupResult DatabaseByName(std::u16string_view name, std::u16string_view country);
    // The city of the database with this code.
    LookupResult DatabaseByCode(std::u16string_view code);
    // The online city search: the places named so first, else every place
    // the search gave, in its order; only the country's when one is given.
    LookupResult OnlineByName(std::u16string_view name, std::u16string_view country);

private:
    // The countries of the database (letter headings left out).
    std::vector<std::u16string> Countries(std::string& error);
    // The cities the last BeginCityByCountry listed.
    std::vector<FoundCity> ListedCities(const std::u16string& country);
    std::string Failure(HRESULT hr, const char* what) const;

    skyvane::ComPtr<IKWeatherService4> service_;
    std::string error_;
};

// Whether a text has the form of the service's city codes: four letters and
// four digits ("RSXX0091").
bool LooksLikeCityCode(std::u16string_view text);

}  // namespace skyvane::cli
