// Following an update run from outside: the run writes each city's status
// (`CityState_<code>`, with the `CityUpdateTime_<code>` stamp) as it goes,
// "getting weather now ..." when it starts on a city and the outcome when it
// is done with it, so another process sees which city is being fetched.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "plugin/city_entry.h"

namespace skyvane::cli {

class UpdateProgress {
public:
    // The cities of the run, in the order the run takes them; what their
    // statuses say now counts as seen.
    explicit UpdateProgress(std::vector<plugin::CityRef> cities);

    // Reads the statuses again; whether the progress changed.
    bool Poll();
    // "2 of 3: London, getting weather now ...", with the attempt when the
    // run tries again; empty while no city is being fetched.
    std::u16string Line() const;

private:
    std::vector<plugin::CityRef> cities_;
    std::vector<bool> done_;
    std::optional<size_t> fetching_;
    int attempt_ = 1;
    std::u16string gettingWeather_;
};

}  // namespace skyvane::cli
