#include "plugin/plugin_settings.h"


#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/win_time.h"
#include "plugin/languages.h"
#include "plugin/main_settings.h"
#include "plugin/weather_store.h"

namespace skyvane::plugin {
namespace {

std::u16string Numbered(const char16_t* prefix, size_t i) {
    return std::u16string(prefix) + skyvane::FromUtf8(std::to_string(i));
}

}  // namespace

PluginSettings::PluginSettings() : PluginSettings(std::make_shared<SettingsKey>(kSettingsProduct, kSettingsCompany)) {}

PluginSettings::PluginSettings(std::shared_ptr<SettingsKey> key) : key_(std::move(key)) {}

void PluginSettings::LoadMainSettings() {
    currentCity = key_->ReadNumber(u"CurrentCity", currentCity);
    unitType = key_->ReadNumber(u"UnitType", unitType);
    viewType = key_->ReadNumber(u"ViewType", viewType);
    currentDay = key_->ReadNumber(u"CurrentDay", currentDay);
    connectionGuid = key_->ReadNumber(u"ConnectionGUID", connectionGuid);
    lastOptionTime_ = key_->ReadStamp(u"LastOptionTime", 0);
}

void PluginSettings::LoadCityList() {
    LoadMainSettings();
    cityListTime_ = key_->ReadStamp(u"CityListTime", 0);
    size_t count = 0;
    for (size_t i = 0; i < kMaxCities; ++i) {
        std::u16string code = key_->ReadText(Numbered(u"CityCode", i), u"");
        std::u16string name = key_->ReadText(Numbered(u"CityName", i), u"");
        if (code.empty() || name.empty()) break;
        std::u16string country = key_->ReadText(Numbered(u"CityCountry", i), u"");
        if (i == cities_.size()) cities_.push_back(std::make_shared<CityEntry>(key_));
        CityRef& city = cities_[i];
        if (city->Code() != code) {
            // The position now holds another city: nothing of the old one
            // may be shown for it, even when the new one has no stored weather.
            CityRef fresh = std::make_shared<CityEntry>(key_);
            city = fresh;
        }
        city->SetCode(std::move(code));
        city->SetName(std::move(name));
        city->SetCountry(std::move(country));
        LoadWeather(*city);
        city->LoadStatus();
        count = i + 1;
    }
    cities_.resize(count);
    RepairCurrentCity();
}

void PluginSettings::RepairCurrentCity() {
    if (currentCity < 0 || size_t(currentCity) >= cities_.size()) {
        if (currentCity != 0) key_->WriteNumber(u"CurrentCity", 0);
        currentCity = 0;
    }
}

void PluginSettings::SaveSettings() {
    lastOptionTime_ = key_->ReadStamp(u"LastOptionTime", lastOptionTime_);
    key_->WriteNumber(u"CurrentCity", currentCity);
    key_->WriteNumber(u"CurrentDay", currentDay);
    key_->WriteNumber(u"UnitType", unitType);
    key_->WriteNumber(u"ViewType", viewType);
    key_->WriteNumber(u"ConnectionGUID", connectionGuid);
    for (size_t i = 0; i < cities_.size(); ++i) {
        key_->WriteText(Numbered(u"CityCode", i), cities_[i]->Code());
        key_->WriteText(Numbered(u"CityName", i), cities_[i]->Name());
        key_->WriteText(Numbered(u"CityCountry", i), cities_[i]->Country());
    }
    // The list ends at the first missing code or name; the country of that
    // index is left as it is.
    key_->DeleteValue(Numbered(u"CityCode", cities_.size()));
    key_->DeleteValue(Numbered(u"CityName", cities_.size()));
    unitsChanged = false;
}

void PluginSettings::StampCityList() { cityListTime_ = key_->Stamp(u"CityListTime"); }
void PluginSettings::StampOptions() { lastOptionTime_ = key_->Stamp(u"LastOptionTime"); }

void PluginSettings::SetUnitType(int32_t value) {
    if (key_->ReadNumber(u"UnitType", 0) != value) unitsChanged = true;
    unitType = value;
    key_->WriteNumber(u"UnitType", value);
}

bool PluginSettings::CheckCurrentCity() {
    int32_t before = currentCity;
    currentCity = key_->ReadNumber(u"CurrentCity", currentCity);
    RepairCurrentCity();
    return currentCity != before;
}

int32_t PluginSettings::GetUnitType() const {
    if (unitType != 0) return unitType;
    return GetLanguage() == kEnglish ? 1 : 13;
}

int32_t PluginSettings::GetLanguage() const { return ProcessLanguage(*key_); }

std::u16string SeasonalTheme(int month, int day) {
    bool newYear = (month == 12 && day >= 21) || (month == 1 && day <= 5);
    return newYear ? u"NewYear" : u"classic";
}

std::u16string PluginSettings::GetThemeName() const {
    std::u16string theme = key_->ReadText(u"ThemeName", u"");
    if (!theme.empty()) return theme;
    theme = install_.ThemeName();
    if (!theme.empty()) return theme;
    SYSTEMTIME today;
    GetLocalTime(&today);
    return SeasonalTheme(today.wMonth, today.wDay);
}

CityRef PluginSettings::CurrentCityEntry() const {
    if (currentCity < 0 || size_t(currentCity) >= cities_.size()) return nullptr;
    return cities_[size_t(currentCity)];
}

PollResult PluginSettings::PollChanges(int hostWidth, int hostHeight) {
    PollResult result;
    if (key_->ReadStamp(u"CityListTime", cityListTime_) != cityListTime_) {
        LoadCityList();  // remembers the new stamp
        result.cityListReloaded = result.redraw = true;
    }
    if (CheckCurrentCity()) result.currentCityChanged = result.redraw = true;
    SYSTEMTIME today;
    GetLocalTime(&today);
    if (today.wDay != dayOfMonth_) {
        dayOfMonth_ = today.wDay;
        result.dayChanged = result.redraw = true;
    }
    if (key_->ReadStamp(u"LastOptionTime", lastOptionTime_) != lastOptionTime_) {
        LoadMainSettings();  // remembers the new stamp
        if (onOptions_) onOptions_();
        result.optionsReloaded = result.redraw = true;
    }
    if (hostWidth != hostWidth_ || hostHeight != hostHeight_) {
        hostWidth_ = hostWidth;
        hostHeight_ = hostHeight;
        result.sizeChanged = result.redraw = true;
    }
    for (size_t i = 0; i < cities_.size(); ++i) {
        CityEntry& city = *cities_[i];
        bool current = int32_t(i) == currentCity;
        if (city.StatusChanged()) {
            city.LoadStatus();
            result.statusChanged.push_back(i);
            if (current) result.redraw = true;
        }
        if (city.DataChanged()) {
            LoadWeather(city);
            result.weatherReloaded = i;
            if (current) result.redraw = true;
            break;  // at most one city's weather per poll
        }
    }
    return result;
}

double PluginSettings::CityLocalTime(const CityEntry& city) const {
    double local = LocalNow();
    double hours = CorrectionClock(*key_);
    int gmt = city.GetGmtOffset();
    if (gmt != kGmtUnknown) {
        TIME_ZONE_INFORMATION tz{};
        DWORD zone = GetTimeZoneInformation(&tz);
        long biasMinutes = tz.Bias;
        if (zone == TIME_ZONE_ID_STANDARD) biasMinutes += tz.StandardBias;
        if (zone == TIME_ZONE_ID_DAYLIGHT) biasMinutes += tz.DaylightBias;
        hours += biasMinutes / 60.0 + gmt;
    }
    return local + hours / 24.0;
}

}  // namespace skyvane::plugin
