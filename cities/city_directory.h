// The city directory of a weather service object: the installed city
// database read as a country list and, per country, a city list, with a
// current entry in each. The service object owns one CityDirectory and
// forwards its directory members to it; a failure comes back as a result and
// the description that the service reports through the COM error object.
//
// Texts are held as 8-bit text in the device code page, like the files they
// come from, and handed out in UTF-16. Files are opened and closed inside each
// call; only the section index is kept once it was read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cities/city_files.h"
#include "platform/base/win_types.h"

namespace skyvane::cities {

// 0x80070780: the result of every database file that cannot be read.
inline constexpr HRESULT kCannotOpenFileResult = static_cast<HRESULT>(0x80070780u);

// A result with the text that goes into the COM error object on failure.
struct DirectoryResult {
    HRESULT hr = S_OK;
    std::u16string description;
};

struct CityEntry {
    std::string name;  // device code page
    std::string code;
};

class CityDirectory {
public:
    static constexpr const char16_t* kDefaultDatabasePath = u"\\Storage card\\Application Data\\SkyvaneWeather\\";

    CityDirectory() = default;

    // The database folder; file names are appended to it as they are, so it
    // ends with a separator.
    const std::u16string& DatabasePath() const { return databasePath_; }
    void SetDatabasePath(std::u16string_view path) { databasePath_.assign(path); }

    // Countries. The letter argument of BeginCountry is not used.
    DirectoryResult BeginCountry(std::u16string_view letter);
    // S_FALSE with an empty name / 0 when the current index is outside the list.
    HRESULT Country(std::u16string& name) const;
    HRESULT CountryIsLetter(LONG& isLetter) const;
    // Last is 1 when the new index is at or past the end.
    HRESULT CountryNext(LONG& last);
    LONG CountryIndex() const { return countryIndex_; }
    DirectoryResult SetCountryIndex(LONG index);

    // Cities of a country, optionally of one first letter; the letter may
    // carry a step mark ">", "<" or "*".
    DirectoryResult BeginCityByCountry(std::u16string_view country, std::u16string_view letter);
    HRESULT City(std::u16string& name) const;
    HRESULT CityCode(std::u16string& code) const;
    HRESULT CityNext(LONG& last);
    LONG CityIndex() const { return cityIndex_; }
    DirectoryResult SetCityIndex(LONG index);
    // The length of the city list, which is the line count of the section
    // it was read from.
    LONG CountryCount() const { return static_cast<LONG>(cities_.size()); }

    // What the city chooser reads directly: the city list, whose entries past
    // the last taken line are empty, and whether the last BeginCityByCountry
    // had to use a letter section (1) or found the country whole (0).
    const std::vector<CityEntry>& Cities() const { return cities_; }
    LONG SplitByLetter() const { return splitByLetter_; }
    // The code page the city list's texts are in.
    UINT CitiesCodePage() const { return cityCodePage_; }

private:
    std::u16string FilePath(std::u16string_view fileName) const;
    DirectoryResult LoadSectionIndex();
    const SectionEntry* FindSection(const std::string& name) const;
    DirectoryResult ReadSection(HANDLE data, const SectionEntry& section, const std::u16string& letter,
                                UINT codePage);

    std::u16string databasePath_ = kDefaultDatabasePath;
    std::vector<CountryEntry> countries_;
    LONG countryIndex_ = -1;
    UINT countryCodePage_ = 1252;
    std::optional<std::vector<SectionEntry>> sections_;
    std::vector<CityEntry> cities_;
    LONG cityIndex_ = -1;
    UINT cityCodePage_ = 1252;
    LONG splitByLetter_ = 0;
};

// The description of a database file that cannot be read, with its full path
// (or an empty name when no section of a country exists).
std::u16string CannotOpenFileText(std::u16string_view path);

}  // namespace skyvane::cities
