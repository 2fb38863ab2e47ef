#include "skyvane/update_progress.h"

#include "skyvane/console.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::cli {

UpdateProgress::UpdateProgress(std::vector<plugin::CityRef> cities)
    : cities_(std::move(cities)),
      done_(cities_.size(), false),
      gettingWeather_(ui::TranslateStringId(ui::text::kGettingWeatherNow)) {
    for (const plugin::CityRef& city : cities_) city->LoadStatus();
}

bool UpdateProgress::Poll() {
    bool changed = false;
    for (size_t i = 0; i < cities_.size(); ++i) {
        plugin::CityEntry& city = *cities_[i];
        if (!city.StatusChanged()) continue;
        city.LoadStatus();
        changed = true;
        if (city.Status() == gettingWeather_) {
            // A city taken again after it was done: the run tries once more.
            if (done_[i]) {
                ++attempt_;
                done_.assign(done_.size(), false);
            }
            fetching_ = i;
        } else {
            done_[i] = true;
            if (fetching_ == i) fetching_.reset();
        }
    }
    return changed;
}

std::u16string UpdateProgress::Line() const {
    if (!fetching_) return {};
    const plugin::CityEntry& city = *cities_[*fetching_];
    std::u16string line = Utf16(std::to_string(*fetching_ + 1) + " of " + std::to_string(cities_.size()) + ": ") +
                          city.Name() + u", " + city.Status();
    if (attempt_ > 1) line += Utf16(" (attempt " + std::to_string(attempt_) + ")");
    return line;
}

}  // namespace skyvane::cli
