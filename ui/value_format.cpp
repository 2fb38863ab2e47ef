#include "ui/value_format.h"

#include <cstdio>

#include "platform/kernel/nls/text_conv.h"
#include "ui/text_ids.h"
#include "ui/translator.h"
#include "ui/units.h"

namespace skyvane::ui {
namespace {

using plugin::WeatherRecord;

std::u16string Number(const char* fmt, auto value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, fmt, value);
    return skyvane::FromUtf8(buffer);
}

std::u16string Cut(std::u16string text) {
    if (text.size() > kMaxFormattedText) text.resize(kMaxFormattedText);
    return text;
}

bool PressureMissing(double p) { return p > 9000 || p <= 1; }

}  // namespace

std::u16string FormatTemperatureBare(const WeatherRecord& item, double celsius) {
    double value = ToDisplayTemperature(item.units, celsius);
    if (value == kMissingValue) return {};
    return Number("%d", int32_t(value));
}

std::u16string FormatTemperature(const WeatherRecord& item, double celsius) {
    std::u16string bare = FormatTemperatureBare(item, celsius);
    if (bare.empty()) return {};
    return bare + u"°" + TemperatureLetter(item.units);
}

std::u16string FormatPressure(const WeatherRecord& item) {
    if (PressureMissing(item.pressure)) return {};
    double value = ToDisplayPressure(item.units, item.pressure);
    if (value < 0) return {};
    std::u16string text = value < 100 ? Number("%.02f", value) : Number("%d", int32_t(value));
    text += u" " + PressureLabel(item.units);
    if (!item.pressureText.empty() && item.pressureText != u"N/A")
        text += u" " + TranslateWord(0, item.pressureText);
    return Cut(std::move(text));
}

std::u16string FormatWind(const WeatherRecord& item) {
    std::u16string direction = item.windText.empty() ? std::u16string() : TranslateWord(0, item.windText);
    std::u16string speed;
    if (item.windSpeed >= 0)
        speed = Number("%d", ToDisplayWind(item.units, item.windSpeed)) + u" " + WindLabel(item.units);
    if (direction.empty()) return speed;
    return Cut(speed.empty() ? direction : direction + u", " + speed);
}

std::u16string FormatVisibility(const WeatherRecord& item) {
    if (item.visibility < 0 || item.visibility == 999999) return {};
    return Number("%d", ToDisplayVisibility(item.units, item.visibility)) + u" " + VisibilityLabel(item.units);
}

std::u16string FormatVisibilityLine(const WeatherRecord& item) {
    std::u16string visibility = FormatVisibility(item);
    if (visibility.empty()) return {};
    return TranslateStringId(text::kVisibility) + u": " + visibility;
}

std::u16string FormatHumidity(const WeatherRecord& item, bool shortForm) {
    if (item.humidity < 1) return {};
    std::u16string text = Number("%d%%", item.humidity);
    return shortForm ? text : text + u" " + TranslateStringId(text::kHumidity);
}

std::u16string FormatPrecipChance(const WeatherRecord& item, bool shortForm) {
    if (item.precipitation < 0 || item.precipitation > 100) return {};
    std::u16string text = Number("%d%%", item.precipitation);
    return shortForm ? text : text + u" " + TranslateStringId(text::kChancePrecip);
}

std::u16string UVWord(WeatherRecord& item) {
    if (item.uvText.empty() && item.uvIndex >= 0 && item.uvIndex <= 15) {
        int32_t i = item.uvIndex;
        item.uvText = i <= 2 ? u"Low" : i <= 5 ? u"Moderate" : i <= 7 ? u"High" : i <= 10 ? u"Very High" : u"Extreme";
    }
    if (item.uvText.empty()) return {};
    return TranslateWord(0, item.uvText);
}

std::u16string FormatUV(WeatherRecord& item, bool shortForm) {
    std::u16string word = UVWord(item);
    if (item.uvIndex < 0 || word.empty()) return {};
    if (shortForm) return Number("%d", item.uvIndex);
    return Cut(TranslateStringId(text::kUv) + u": " + Number("%d", item.uvIndex) + u" " + word);
}

std::u16string FormatPressureHumidityLine(WeatherRecord& item) {
    std::u16string line = FormatPressure(item);
    std::u16string uv = FormatUV(item, false);
    if (!line.empty() && (!uv.empty() || item.humidity >= 1)) line += u", ";
    line += uv;
    if (item.humidity >= 1) {
        if (!uv.empty()) line += u", ";
        line += TranslateStringId(text::kHumidity) + Number(": %d%%", item.humidity);
    }
    return Cut(std::move(line));
}

}  // namespace skyvane::ui
