// Fuzzes the city database readers. The input is up to five parts separated
// by NUL bytes: index.txt, kweather.idx, kweather.db, a country and a letter
// (UTF-8). Each file part also goes through the line reader in pieces whose
// sizes come from the input, and every line through all three parsers.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "cities/city_directory.h"
#include "cities/city_files.h"
#include "platform/kernel/nls/text_conv.h"

namespace {

using namespace skyvane::cities;

std::filesystem::path g_folder;

void Check(bool ok) {
    if (!ok) std::abort();
}

void ReadLines(std::string_view text, std::size_t piece) {
    std::size_t pos = 0;
    LineReader reader([&](char* buf, std::size_t size) -> long {
        std::size_t n = std::min({size, piece, text.size() - pos});
        std::copy_n(text.data() + pos, n, buf);
        pos += n;
        return static_cast<long>(n);
    });
    std::string line;
    while (reader.Next(line)) {
        Check(line.size() <= kMaxLineText);
        Check(line.find('\n') == std::string::npos);
        CountryEntry country = ParseCountryLine(line);
        Check(country.isLetter == 0 || country.name.find_first_of("*;") == std::string::npos);
        SectionEntry section = ParseSectionLine(line);
        Check(section.name.find(';') == std::string::npos);
        CityLine city = SplitCityLine(line);
        Check(city.name.size() + city.code.size() <= line.size());
        CityNameToAnsi(city.name, 1252);
        CityNameToAnsi(city.name, 1251);
    }
    Check(!reader.Failed());
    Check(reader.Consumed() == text.size());
}

void Write(const char* name, std::string_view bytes) {
    std::ofstream(g_folder / name, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char templ[] = "/tmp/cities-fuzz-XXXXXX";
    if (!mkdtemp(templ)) std::abort();
    g_folder = templ;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(g_folder, ec);
    });
    // A device root of its own, so the code page lookup never touches a real one.
    setenv("SKYVANE_ROOT", (g_folder / "device").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        std::size_t nul = input.find('\0', start);
        parts.push_back(input.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
        if (nul == std::string_view::npos || parts.size() == 5) break;
        start = nul + 1;
    }
    parts.resize(5);

    std::size_t piece = size ? 1 + data[0] % 64 : 1;
    for (int i = 0; i < 3; ++i) ReadLines(parts[i], piece);

    Write("index.txt", parts[0]);
    Write("kweather.idx", parts[1]);
    Write("kweather.db", parts[2]);
    CityDirectory dir;
    dir.SetDatabasePath(skyvane::FromUtf8(g_folder.string() + "/"));
    dir.BeginCountry(u"");
    LONG last = 0;
    for (int i = 0; i < 64 && !last; ++i) {
        std::u16string name;
        LONG isLetter = 0;
        dir.Country(name);
        dir.CountryIsLetter(isLetter);
        dir.CountryNext(last);
    }
    std::u16string country = skyvane::FromUtf8(parts[3]);
    std::u16string letter = skyvane::FromUtf8(parts[4]);
    DirectoryResult r = dir.BeginCityByCountry(country, letter);
    Check(r.hr == S_OK || r.hr == S_FALSE || r.hr == kCannotOpenFileResult);
    // The list never outgrows the data file: every entry stood for a line.
    Check(dir.Cities().size() <= parts[2].size());
    Check(r.hr != S_OK || dir.CityIndex() == 0);
    for (const CityEntry& c : dir.Cities()) Check(c.name.size() <= kMaxLineText);
    dir.BeginCityByCountry(country, u"_");
    dir.BeginCityByCountry(country, letter + u">");
    return 0;
}
