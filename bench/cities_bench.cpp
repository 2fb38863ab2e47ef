// BeginCityByCountry on the shipped city database (data/citydb). The
// sections are chosen from the index: the letter section with the most lines
// and the one-section country with the most lines.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cities/city_directory.h"
#include "cities/city_files.h"
#include "platform/kernel/nls/text_conv.h"

namespace {

using namespace skyvane::cities;

const std::string kData = std::string(SKYVANE_SOURCE_DIR) + "/data/citydb/";

struct Pick {
    std::string country;  // section name without ".txt" or "-x.txt"
    std::string letter;
    long lines = -1;
};

// The largest letter section (by-letter) or one-section country.
Pick Largest(bool byLetter) {
    Pick best;
    std::ifstream in(kData + "kweather.idx", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        SectionEntry s = ParseSectionLine(line);
        std::string base = s.name.substr(0, s.name.size() - 4);  // without ".txt"
        bool letterSection = base.size() > 2 && base[base.size() - 2] == '-' &&
                             static_cast<unsigned char>(base.back()) >= 'a' && base.back() <= 'z';
        if (letterSection != byLetter || s.count <= best.lines) continue;
        best.lines = s.count;
        best.country = letterSection ? base.substr(0, base.size() - 2) : base;
        best.letter = letterSection ? std::string(1, base.back()) : "_";
    }
    return best;
}

void Run(benchmark::State& state, const Pick& pick, bool freshDirectory) {
    std::u16string country = skyvane::FromAnsi(pick.country, 1252);
    std::u16string letter = skyvane::FromAnsi(pick.letter, 1252);
    CityDirectory dir;
    dir.SetDatabasePath(skyvane::FromUtf8(kData));
    for (auto _ : state) {
        if (freshDirectory) {
            CityDirectory fresh;
            fresh.SetDatabasePath(dir.DatabasePath());
            auto r = fresh.BeginCityByCountry(country, letter);
            benchmark::DoNotOptimize(r);
        } else {
            auto r = dir.BeginCityByCountry(country, letter);
            if (r.hr != S_OK) state.SkipWithError("BeginCityByCountry failed");
        }
    }
    state.SetLabel(pick.country + " " + pick.letter + ", " + std::to_string(pick.lines) + " lines");
    state.SetItemsProcessed(state.iterations() * pick.lines);
}

void BM_BeginCityByCountry_LargestLetterSection(benchmark::State& state) { Run(state, Largest(true), false); }
void BM_BeginCityByCountry_LargestOneSectionCountry(benchmark::State& state) { Run(state, Largest(false), false); }
void BM_BeginCityByCountry_FirstCall_LargestLetterSection(benchmark::State& state) {
    Run(state, Largest(true), true);
}

void BM_BeginCountry(benchmark::State& state) {
    CityDirectory dir;
    dir.SetDatabasePath(skyvane::FromUtf8(kData));
    for (auto _ : state) {
        auto r = dir.BeginCountry(u"");
        if (r.hr != S_OK) state.SkipWithError("BeginCountry failed");
    }
}

BENCHMARK(BM_BeginCityByCountry_LargestLetterSection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BeginCityByCountry_LargestOneSectionCountry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BeginCityByCountry_FirstCall_LargestLetterSection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BeginCountry)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // A device root of its own, so that the code page comes from a fresh,
    // default device profile.
    char root[] = "/tmp/cities-bench-XXXXXX";
    if (mkdtemp(root)) setenv("SKYVANE_ROOT", root, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return 0;
}
