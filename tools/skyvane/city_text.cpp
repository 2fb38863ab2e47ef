#include "skyvane/city_text.h"

#include "ui/text_ids.h"
#include "ui/time_format.h"
#include "ui/translator.h"

namespace skyvane::cli {

std::u16string PlaceName(const plugin::CityEntry& city) {
    if (city.Country().empty()) return city.Name();
    return city.Name() + u", " + city.Country();
}

std::u16string CityState(const plugin::CityEntry& city, double now) {
    const bool hasWeather = city.Weather().Count() > 0;
    std::u16string state = city.Status();
    if (state.empty() && !hasWeather) state = ui::TranslateStringId(ui::text::kNoWeather);
    if (hasWeather) {
        const std::u16string age = ui::FormatUpdatedAgo(city.Weather().LastUpdate(), now);
        if (!age.empty()) state += (state.empty() ? u"" : u", ") + age;
    }
    return state;
}

}  // namespace skyvane::cli
