// The plugin core's hot paths beside what the same work costs without it:
// saving and loading a city of 400 records against writing and reading the
// same bytes, and a change poll of 100 cities with nothing changed against
// 100 plain registry reads through an open key.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/nls/text_conv.h"
#include "platform/registry/registry.h"
#include "plugin/main_settings.h"
#include "plugin/plugin_settings.h"
#include "plugin/store_format.h"
#include "plugin/weather_store.h"

namespace {

using namespace skyvane::plugin;

struct Device {
    Device() {
        std::string templ = (std::filesystem::temp_directory_path() / "skyvane-bench-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        root = templ;
        setenv("SKYVANE_ROOT", root.c_str(), 1);
        key = std::make_shared<SettingsKey>(kSettingsProduct, kSettingsCompany);
        city = std::make_shared<CityEntry>(key);
        city->SetCode(u"RSXX0091");
        city->SetName(u"Moscow");
        for (int i = 0; i < 400; ++i) {
            WeatherRecord* r = city->Weather().FindOrAddRecord(46402.0 + i / 24.0, KWHBH);
            r->tempHigh = i;
            r->text = u"Partly Cloudy";
            r->windText = u"NNW";
            r->description = u"Partly cloudy. High near 6C. Winds NW at 14 to 22 km/h.";
        }
        bytes = SerializeStore(city->Name(), city->Code(), 0, city->Weather().records());
        for (int i = 0; i < 100; ++i) {
            std::u16string code = skyvane::FromUtf8("CODE" + std::to_string(i));
            key->WriteText(skyvane::FromUtf8("CityCode" + std::to_string(i)), code);
            key->WriteText(skyvane::FromUtf8("CityName" + std::to_string(i)), u"City");
            key->WriteStamp(u"CityUpdateTime_" + code, 1000 + i);
            key->WriteStamp(u"CityUpdateDay_" + code, 2000 + i);
        }
        rawPath = root + "/raw.bin";
    }
    ~Device() { std::filesystem::remove_all(root); }

    std::string root;
    std::string rawPath;
    std::shared_ptr<SettingsKey> key;
    std::shared_ptr<CityEntry> city;
    std::vector<uint8_t> bytes;
};

Device& TheDevice() {
    static Device device;
    return device;
}

void BM_SaveCity400(benchmark::State& state) {
    Device& d = TheDevice();
    for (auto _ : state) benchmark::DoNotOptimize(SaveWeather(*d.city));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.bytes.size()));
}

// The same bytes written to a new file, flushed and renamed into place.
void BM_RawWriteSameBytes(benchmark::State& state) {
    Device& d = TheDevice();
    for (auto _ : state) {
        std::string temp = d.rawPath + ".tmp";
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(write(fd, d.bytes.data(), d.bytes.size()));
        fsync(fd);
        close(fd);
        rename(temp.c_str(), d.rawPath.c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.bytes.size()));
}

void BM_LoadCity400(benchmark::State& state) {
    Device& d = TheDevice();
    SaveWeather(*d.city);
    CityEntry reader(d.key);
    reader.SetCode(u"RSXX0091");
    for (auto _ : state) benchmark::DoNotOptimize(LoadWeather(reader));
    if (reader.Weather().Count() != 400) state.SkipWithError("the city did not load");
}

void BM_RawReadSameBytes(benchmark::State& state) {
    Device& d = TheDevice();
    std::vector<uint8_t> buffer(d.bytes.size());
    for (auto _ : state) {
        int fd = open(d.rawPath.c_str(), O_RDONLY);
        benchmark::DoNotOptimize(read(fd, buffer.data(), buffer.size()));
        close(fd);
    }
}

void BM_PollChanges100Cities(benchmark::State& state) {
    Device& d = TheDevice();
    PluginSettings settings(d.key);
    settings.LoadCityList();
    settings.PollChanges(240, 80);
    if (settings.Cities().size() != 100) state.SkipWithError("the cities did not load");
    for (auto _ : state) benchmark::DoNotOptimize(settings.PollChanges(240, 80).redraw);
}

void BM_PlainRegistryReads100(benchmark::State& state) {
    TheDevice();
    HKEY key;
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, KEY_READ, &key);
    std::vector<std::u16string> names;
    for (int i = 0; i < 100; ++i) names.push_back(skyvane::FromUtf8("CityUpdateDay_CODE" + std::to_string(i)));
    for (auto _ : state) {
        for (const auto& name : names) {
            DWORD value = 0, size = 4, type = 0;
            RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
            benchmark::DoNotOptimize(value);
        }
    }
    RegCloseKey(key);
}

BENCHMARK(BM_SaveCity400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawWriteSameBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadCity400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawReadSameBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollChanges100Cities)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRegistryReads100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
