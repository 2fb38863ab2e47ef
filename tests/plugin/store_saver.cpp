// Saves the weather of RSXX0091 over and over, each save with 400 records
// that all carry the save's number, until it is killed.
#include "plugin/city_entry.h"
#include "plugin/weather_store.h"

int main() {
    auto key = std::make_shared<skyvane::plugin::SettingsKey>(u"Weather", u"Skyvane");
    skyvane::plugin::CityEntry city(key);
    city.SetCode(u"RSXX0091");
    city.SetName(u"Moscow");
    for (int save = 1;; ++save) {
        city.Weather().Clear();
        for (int i = 0; i < 400; ++i) {
            auto* r = city.Weather().FindOrAddRecord(40838.0 + i / 24.0, KWHBH);
            r->tempHigh = save;
            r->text = u"A line of text that makes the file a little longer";
        }
        skyvane::plugin::SaveWeather(city);
    }
}
