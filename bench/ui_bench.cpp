// The translator and the formatting beside plain baselines: a string-table
// look-up and a provider word in the last table (Chinese simplified, the
// longest search), against a hash-map look-up of the same text; a full day
// row of the details list against printing the same numbers with snprintf.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>

#include "plugin/languages.h"
#include "ui/lang_tables.h"
#include "ui/text_ids.h"
#include "ui/time_format.h"
#include "ui/translator.h"
#include "ui/value_format.h"

namespace {

using namespace skyvane::ui;

const std::u16string kWord = u"Light Rain Shower";

void BM_TranslateStringId(benchmark::State& state) {
    skyvane::plugin::SetProcessLanguage(1028);
    for (auto _ : state) benchmark::DoNotOptimize(TranslateStringId(text::kHumidity));
}

void BM_TranslateProviderWordLastTable(benchmark::State& state) {
    skyvane::plugin::SetProcessLanguage(1028);
    for (auto _ : state) benchmark::DoNotOptimize(TranslateWord(0, kWord));
}

// The same look-up in a hash map built once from the table.
void BM_BaselineHashLookup(benchmark::State& state) {
    const LangTable* table = FindTable(1028);
    std::unordered_map<std::u16string, std::u16string> map;
    for (size_t i = 0; i < table->count; ++i)
        if (table->rows[i].item == 0) map.emplace(table->rows[i].english, table->rows[i].translation);
    auto found = map.find(kWord);
    if (found == map.end()) return state.SkipWithError("the word is not in the table");
    for (auto _ : state) benchmark::DoNotOptimize(std::u16string(map.find(kWord)->second));
}

skyvane::plugin::WeatherRecord DayRecord() {
    skyvane::plugin::WeatherRecord day;
    day.type = KWDay;
    day.units = 13;
    day.date = 46455.0;
    day.tempHigh = 21.5;
    day.tempLow = 11.2;
    day.text = u"Partly Cloudy";
    day.windText = u"NNW";
    day.windSpeed = 18;
    day.pressure = 1014.6;
    day.pressureText = u"rising";
    day.humidity = 64;
    day.precipitation = 30;
    day.uvIndex = 5;
    return day;
}

// Caption, temperatures, condition, wind, pressure with UV and humidity, and
// the chance of precipitation.
void BM_FormatDayRow(benchmark::State& state) {
    skyvane::plugin::SetProcessLanguage(1049);
    skyvane::plugin::WeatherRecord day = DayRecord();
    for (auto _ : state) {
        std::u16string row = FormatDayCaption(day.date, true, 46453.4) + u" " + FormatTemperature(day, day.tempHigh) +
                             u"/" + FormatTemperature(day, day.tempLow) + u" " + TranslateWord(0, day.text) + u", " +
                             FormatWind(day) + u", " + FormatPressureHumidityLine(day) + u", " +
                             FormatPrecipChance(day, false);
        benchmark::DoNotOptimize(row);
    }
}

void BM_BaselineSnprintfDayRow(benchmark::State& state) {
    skyvane::plugin::WeatherRecord day = DayRecord();
    char buffer[256];
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%s %d°C/%d°C %s, %s, %d m/s, %d mmHg %s, UV: %d, Humidity: %d%%, %d%%",
                      "Tuesday", int(day.tempHigh), int(day.tempLow), "Partly Cloudy", "NNW", 5, 760, "rising", 5,
                      day.humidity, day.precipitation);
        benchmark::DoNotOptimize(buffer);
    }
}

BENCHMARK(BM_TranslateStringId);
BENCHMARK(BM_TranslateProviderWordLastTable);
BENCHMARK(BM_BaselineHashLookup);
BENCHMARK(BM_FormatDayRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselineSnprintfDayRow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // A device of its own, so that the settings read on the way exist.
    std::string root = (std::filesystem::temp_directory_path() / "skyvane-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) return 1;
    setenv("SKYVANE_ROOT", root.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
}
