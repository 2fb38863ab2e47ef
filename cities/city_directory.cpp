#include "cities/city_directory.h"

#include <exception>
#include <new>

#include "platform/kernel/files.h"
#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "platform/base/wide_string.h"

namespace skyvane::cities {
namespace {

constexpr const char16_t* kIndexFile = u"index.txt";
constexpr const char16_t* kSectionIndexFile = u"kweather.idx";
constexpr const char16_t* kDataFile = u"kweather.db";

enum class Step { None, Backward, Forward };

// Reads an open file from its current position.
ByteSource FileSource(HANDLE file) {
    return [file](char* buffer, std::size_t size) -> long {
        DWORD got = 0;
        if (!ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
        return static_cast<long>(got);
    };
}

UniqueHandle OpenForReading(const std::u16string& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

DirectoryResult CannotOpen(std::u16string_view path) {
    return {kCannotOpenFileResult, CannotOpenFileText(path)};
}

// For a catch block: writes what was caught to the developer log, then gives
// the failure that is not foreseen.
DirectoryResult UnknownError(const char* where) {
    try {
        throw;
    } catch (const std::exception& e) {
        SKYVANE_LOG("kweather", "%s failed: %s", where, e.what());
    } catch (...) {
        SKYVANE_LOG("kweather", "%s failed: an exception of unknown type", where);
    }
    return {E_FAIL, u"Unknown error"};
}

// Takes the step marks out of a letter text: "*" continues after the letter
// (forward), "<" goes to the previous letter, ">" to the next one.
Step TakeStep(std::u16string& letter) {
    Step step = Step::None;
    if (letter.find(u'*') != std::u16string::npos)
        step = Step::Forward;
    else if (letter.find(u'<') != std::u16string::npos)
        step = Step::Backward;
    else if (letter.find(u'>') != std::u16string::npos)
        step = Step::Forward;
    std::erase_if(letter, [](char16_t c) { return c == u'*' || c == u'<' || c == u'>'; });
    return step;
}

// One letter further in the step's direction; a and z are the ends.
void ApplyStep(std::u16string& letter, Step step) {
    if (letter.empty()) return;
    char16_t c = letter[0];
    if (step == Step::Backward && c != u'a' && c != u'A')
        letter.assign(1, static_cast<char16_t>(c - 1));
    else if (step == Step::Forward && c != u'z' && c != u'Z')
        letter.assign(1, static_cast<char16_t>(c + 1));
}

// True when a city name belongs to the letter filter: its first characters,
// as many as the filter has, lower-cased, equal the filter. Both sides are
// compared as the device holds them, in its code page.
bool MatchesLetter(const std::string& ansiName, const std::string& ansiFilter, UINT codePage) {
    if (ansiName.size() < ansiFilter.size()) return false;
    return ToLower(FromAnsi(std::string_view(ansiName).substr(0, ansiFilter.size()), codePage)) ==
           FromAnsi(ansiFilter, codePage);
}

}  // namespace

std::u16string CannotOpenFileText(std::u16string_view path) {
    std::u16string p(path);
    return FormatW(u"Cannot open file %s. Please check your installation folder or reinstall Weather.", p.c_str());
}

std::u16string CityDirectory::FilePath(std::u16string_view fileName) const {
    return databasePath_ + std::u16string(fileName);
}

// ---------------------------------------------------------------------------
// Countries

DirectoryResult CityDirectory::BeginCountry(std::u16string_view /*letter*/) {
    try {
        countries_.clear();
        countryIndex_ = -1;
        countryCodePage_ = GetACP();
        std::u16string path = FilePath(kIndexFile);
        UniqueHandle file = OpenForReading(path);
        if (!file) return CannotOpen(path);
        LineReader reader(FileSource(file.get()));
        std::string line;
        while (reader.Next(line)) countries_.push_back(ParseCountryLine(line));
        if (reader.Failed()) {
            countries_.clear();
            return CannotOpen(path);
        }
        if (countries_.empty()) return {S_FALSE, {}};
        countryIndex_ = 0;
        return {S_OK, {}};
    } catch (...) {
        countries_.clear();
        countryIndex_ = -1;
        return UnknownError("BeginCountry");
    }
}

HRESULT CityDirectory::Country(std::u16string& name) const {
    name.clear();
    if (countryIndex_ < 0 || static_cast<std::size_t>(countryIndex_) >= countries_.size()) return S_FALSE;
    name = FromAnsi(countries_[countryIndex_].name, countryCodePage_);
    return S_OK;
}

HRESULT CityDirectory::CountryIsLetter(LONG& isLetter) const {
    isLetter = 0;
    if (countryIndex_ < 0 || static_cast<std::size_t>(countryIndex_) >= countries_.size()) return S_FALSE;
    isLetter = countries_[countryIndex_].isLetter;
    return S_OK;
}

HRESULT CityDirectory::CountryNext(LONG& last) {
    // Past the end the index stays one past the last entry.
    LONG count = static_cast<LONG>(countries_.size());
    if (countryIndex_ < count) ++countryIndex_;
    last = countryIndex_ >= count ? 1 : 0;
    return S_OK;
}

DirectoryResult CityDirectory::SetCountryIndex(LONG index) {
    if (index < 0 || static_cast<std::size_t>(index) >= countries_.size())
        return {E_INVALIDARG, u"The parameter is incorrect."};
    countryIndex_ = index;
    return {S_OK, {}};
}

// ---------------------------------------------------------------------------
// Cities

DirectoryResult CityDirectory::LoadSectionIndex() {
    std::u16string path = FilePath(kSectionIndexFile);
    UniqueHandle file = OpenForReading(path);
    if (!file) return CannotOpen(path);
    std::vector<SectionEntry> sections;
    LineReader reader(FileSource(file.get()));
    std::string line;
    while (reader.Next(line)) sections.push_back(ParseSectionLine(line));
    if (reader.Failed()) return CannotOpen(path);
    SKYVANE_LOG("kweather", "city directory: %zu sections in the index", sections.size());
    sections_ = std::move(sections);
    return {S_OK, {}};
}

const SectionEntry* CityDirectory::FindSection(const std::string& name) const {
    // The first entry of a name wins, as a reader from the top would find it.
    for (const SectionEntry& s : *sections_) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

DirectoryResult CityDirectory::BeginCityByCountry(std::u16string_view country, std::u16string_view letterArg) {
    try {
        if (!sections_) {
            DirectoryResult loaded = LoadSectionIndex();
            if (loaded.hr != S_OK) return loaded;
        }
        cities_.clear();
        cityIndex_ = -1;

        // The code page is looked up once (it is a registry read): every text
        // of the call, and the names handed out later, use it.
        const UINT codePage = GetACP();
        cityCodePage_ = codePage;
        std::string key = ToAnsi(ToLower(country), codePage);
        std::u16string letter(letterArg);
        Step step = TakeStep(letter);

        // The data file is opened before the section is looked up, so a
        // missing data file is reported whatever the country.
        std::u16string dataPath = FilePath(kDataFile);
        UniqueHandle data = OpenForReading(dataPath);
        if (!data) return CannotOpen(dataPath);

        splitByLetter_ = 0;
        const SectionEntry* section = FindSection(key + ".txt");
        if (!section) {
            splitByLetter_ = 1;
            if (letter == u"_" && step == Step::None) {
                section = FindSection(key + "-a.txt");
            } else if (!letter.empty()) {
                // An empty letter names no letter section: callers pass "_"
                // for a whole country.
                for (int steps = 0;;) {
                    if (step != Step::None) {
                        ApplyStep(letter, step);
                        ++steps;
                    }
                    std::string first = ToAnsi(std::u16string_view(letter).substr(0, 1), codePage);
                    section = FindSection(key + "-" + first + ".txt");
                    if (section || step == Step::None || steps == 2) break;
                }
            }
        }
        if (!section) {
            if (step != Step::None) return {S_FALSE, {}};
            return CannotOpen(u"");
        }
        return ReadSection(data.get(), *section, letter, codePage);
    } catch (...) {
        cities_.clear();
        cityIndex_ = -1;
        return UnknownError("BeginCityByCountry");
    }
}

DirectoryResult CityDirectory::ReadSection(HANDLE data, const SectionEntry& section, const std::u16string& letter,
                                           UINT codePage) {
    // A section entry without a usable offset or count is a damaged index.
    if (section.offset < 0 || section.count < 0) return CannotOpen(FilePath(kSectionIndexFile));
    std::u16string dataPath = FilePath(kDataFile);

    // The offset must name the first byte of a line: 0, or just after a line
    // feed. Anything else would read the tail of some other city as a city.
    DWORD size = GetFileSize(data, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return CannotOpen(dataPath);
    if (static_cast<DWORD>(section.offset) > size) return CannotOpen(dataPath);
    if (section.offset > 0) {
        char before = 0;
        DWORD got = 0;
        SetFilePointer(data, section.offset - 1, nullptr, FILE_BEGIN);
        if (!ReadFile(data, &before, 1, &got, nullptr) || got != 1 || before != '\n') return CannotOpen(dataPath);
    } else {
        SetFilePointer(data, 0, nullptr, FILE_BEGIN);
    }

    std::u16string lowerLetter = ToLower(letter);
    bool filtered = !lowerLetter.empty() && lowerLetter != u"_";
    std::string ansiFilter = filtered ? ToAnsi(lowerLetter, codePage) : std::string();

    // Lines are read before the list is sized, so that a count larger than
    // the file fails instead of allocating it.
    std::vector<CityEntry> taken;
    LineReader reader(FileSource(data));
    std::string line;
    for (LONG i = 0; i < section.count; ++i) {
        if (!reader.Next(line)) return CannotOpen(dataPath);
        CityLine city = SplitCityLine(line);
        std::string name = CityNameToAnsi(city.name, codePage);
        if (filtered && !MatchesLetter(name, ansiFilter, codePage)) continue;
        taken.push_back({std::move(name), std::string(city.code)});
    }
    std::size_t takenCount = taken.size();
    taken.resize(static_cast<std::size_t>(section.count));
    cities_ = std::move(taken);
    SKYVANE_LOG("kweather", "city directory: section %s, %d lines, %zu taken", section.name.c_str(), section.count,
                takenCount);
    if (takenCount == 0) return {S_FALSE, {}};
    cityIndex_ = 0;
    return {S_OK, {}};
}

HRESULT CityDirectory::City(std::u16string& name) const {
    name.clear();
    if (cityIndex_ < 0 || static_cast<std::size_t>(cityIndex_) >= cities_.size()) return S_FALSE;
    name = FromAnsi(cities_[cityIndex_].name, cityCodePage_);
    return S_OK;
}

HRESULT CityDirectory::CityCode(std::u16string& code) const {
    code.clear();
    if (cityIndex_ < 0 || static_cast<std::size_t>(cityIndex_) >= cities_.size()) return S_FALSE;
    code = FromAnsi(cities_[cityIndex_].code, cityCodePage_);
    return S_OK;
}

HRESULT CityDirectory::CityNext(LONG& last) {
    LONG count = static_cast<LONG>(cities_.size());
    if (cityIndex_ < count) ++cityIndex_;
    last = cityIndex_ >= count ? 1 : 0;
    return S_OK;
}

DirectoryResult CityDirectory::SetCityIndex(LONG index) {
    if (index < 0 || static_cast<std::size_t>(index) >= cities_.size())
        return {E_INVALIDARG, u"The parameter is incorrect."};
    cityIndex_ = index;
    return {S_OK, {}};
}

}  // namespace skyvane::cities
