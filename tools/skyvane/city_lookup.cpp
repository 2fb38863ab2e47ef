#include "skyvane/city_lookup.h"

#include <cstdio>

#include "platform/base/wide_string.h"
#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "plugin/main_settings.h"
#include "weather/kweather_interfaces.h"

namespace skyvane::cli {
namespace {

using skyvane::Bstr;
using skyvane::ComPtr;

constexpr HRESULT kNothingFound = HRESULT(0x80070002);

// The first letters a country stored by letter can have sections for: the
// digits and the letters of the device code page (Windows-1252), lower case.
constexpr char16_t kSectionLetters[] =
    u"0123456789abcdefghijklmnopqrstuvwxyz\u00df\u00e0\u00e1\u00e2\u00e3\u00e4\u00e5\u00e6\u00e7\u00e8\u00e9"
    u"\u00ea\u00eb\u00ec\u00ed\u00ee\u00ef\u00f0\u00f1\u00f2\u00f3\u00f4\u00f5\u00f6\u00f8\u00f9\u00fa\u00fb"
    u"\u00fc\u00fd\u00fe\u00ff\u0153\u0161\u017e";

std::u16string Text(const Bstr& b) { return b.Str(); }

// A search result's text, "Moscow, Russia" or "New York City, NY, USA":
// the country is what follows the last comma.
FoundCity FromSearchResult(std::u16string text, std::u16string code) {
    FoundCity city{std::move(code), std::move(text), {}};
    if (size_t comma = city.name.rfind(u", "); comma != std::u16string::npos) {
        city.country = city.name.substr(comma + 2);
        city.name.resize(comma);
    }
    return city;
}

bool InCountry(const FoundCity& city, std::u16string_view country) {
    return country.empty() || skyvane::EqualsNoCase(city.country, country);
}

// The cities named exactly so when there are any, else all of them.
std::vector<FoundCity> ExactFirst(std::vector<FoundCity> cities, std::u16string_view name) {
    std::vector<FoundCity> exact;
    for (const FoundCity& c : cities)
        if (skyvane::EqualsNoCase(c.name, name)) exact.push_back(c);
    return exact.empty() ? cities : exact;
}

}  // namespace

bool LooksLikeCityCode(std::u16string_view text) {
    if (text.size() != 8) return false;
    for (size_t i = 0; i < 8; ++i) {
        const char16_t c = text[i];
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (i < 4 ? !letter : !(c >= u'0' && c <= u'9')) return false;
    }
    return true;
}

ComSession::ComSession() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}

ComSession::~ComSession() {
    if (started_) CoUninitialize();
}

CityLookup::CityLookup(const plugin::SettingsKey& settings) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(u"KWeather.KWeatherService", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service_));
    if (FAILED(hr)) {
        error_ = "The weather service library is not registered in this device (run: skyvane install).";
        return;
    }
    // The service appends the file names to its folder directly.
    std::u16string folder = plugin::CityDatabasePath(settings);
    if (folder.empty() || folder.back() != u'\\') folder += u'\\';
    hr = service_->put_DatabasePath(Bstr(folder));
    if (FAILED(hr)) error_ = Failure(hr, "Setting the city database folder");
}

std::string CityLookup::Failure(HRESULT hr, const char* what) const {
    std::u16string description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.Out()))) description = text.Str();
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
    std::string sentence = std::string(what) + " failed";
    if (!description.empty()) sentence += ": " + skyvane::ToUtf8(description);
    while (!sentence.empty() && (sentence.back() == ' ' || sentence.back() == '.')) sentence.pop_back();
    return sentence + " (error " + code + ").";
}

std::vector<std::u16string> CityLookup::Countries(std::string& error) {
    std::vector<std::u16string> countries;
    HRESULT hr = service_->BeginCountry(Bstr(u"_"));
    if (FAILED(hr)) {
        error = Failure(hr, "Reading the city database (is it installed? run: skyvane install)");
        return countries;
    }
    for (LONG last = hr == S_OK ? 0 : 1; !last && SUCCEEDED(hr);) {
        Bstr name;
        LONG isLetter = 0;
        hr = service_->get_Country(name.Out());
        if (SUCCEEDED(hr)) hr = service_->get_CountryIsLetter(&isLetter);
        if (SUCCEEDED(hr) && !isLetter && !name.Empty()) countries.push_back(Text(name));
        if (SUCCEEDED(hr)) hr = service_->CountryNext(&last);
    }
    if (FAILED(hr)) error = Failure(hr, "Reading the country list of the city database");
    return countries;
}

std::vector<FoundCity> CityLookup::ListedCities(const std::u16string& country) {
    std::vector<FoundCity> cities;
    for (LONG last = 0; !last;) {
        Bstr name, code;
        if (FAILED(service_->get_City(name.Out())) || FAILED(service_->get_CityCode(code.Out()))) break;
        // Entries after the last city of a letter are left empty.
        if (!code.Empty()) cities.push_back({Text(code), Text(name), country});
        if (FAILED(service_->CityNext(&last))) break;
    }
    return cities;
}

LookupResult CityLookup::DatabaseByName(std::u16string_view name, std::u16string_view country) {
    LookupResult result;
    // The text goes to the database as the first letters of the names; the
    // marks that step between letters have no place in it.
    std::u16string letters = skyvane::ToLower(name);
    std::erase_if(letters, [](char16_t c) { return c == u'*' || c == u'<' || c == u'>'; });
    if (letters.empty() || letters == u"_") return result;
    bool countryKnown = country.empty();
    for (const std::u16string& c : Countries(result.error)) {
        if (!country.empty() && !skyvane::EqualsNoCase(c, country)) continue;
        countryKnown = true;
        // A country stored by letter that has no section of this letter
        // answers with an error: it has no such city.
        if (service_->BeginCityByCountry(Bstr(c), Bstr(letters)) != S_OK) continue;
        for (FoundCity& city : ListedCities(c)) result.cities.push_back(std::move(city));
    }
    if (result.error.empty() && !countryKnown)
        result.error = "The city database has no country named \"" + skyvane::ToUtf8(country) + "\".";
    result.cities = ExactFirst(std::move(result.cities), name);
    return result;
}

LookupResult CityLookup::DatabaseByCode(std::u16string_view code) {
    LookupResult result;
    auto take = [&](const std::u16string& country) {
        for (FoundCity& city : ListedCities(country)) {
            if (!skyvane::EqualsNoCase(city.code, code)) continue;
            result.cities.push_back(std::move(city));
            return true;
        }
        return false;
    };
    for (const std::u16string& country : Countries(result.error)) {
        // An empty letter lists a country kept in one section; a country kept
        // by letter refuses it and is read letter by letter.
        if (service_->BeginCityByCountry(Bstr(country), Bstr(u"")) == S_OK) {
            if (take(country)) return result;
            continue;
        }
        for (char16_t letter : std::u16string_view(kSectionLetters)) {
            if (service_->BeginCityByCountry(Bstr(country), Bstr(std::u16string(1, letter))) == S_OK && take(country))
                return result;
        }
    }
    return result;
}

LookupResult CityLookup::OnlineByName(std::u16string_view name, std::u16string_view country) {
    LookupResult result;
    ComPtr<IUnknown> unknown;
    HRESULT hr = service_->get_FindCityCode(Bstr(name), &unknown);
    if (hr == kNothingFound) return result;
    ComPtr<IEnumUnknown> found;
    if (SUCCEEDED(hr)) hr = unknown.As(found);
    if (FAILED(hr)) {
        result.error = Failure(hr, "The online city search");
        return result;
    }
    for (ComPtr<IUnknown> item; found->Next(1, &item, nullptr) == S_OK;) {
        ComPtr<IKWeatherCity> city;
        Bstr cityName, code;
        if (FAILED(item.As(city)) || FAILED(city->get_Name(cityName.Out())) || FAILED(city->get_Code(code.Out())))
            continue;
        FoundCity entry = FromSearchResult(Text(cityName), Text(code));
        if (!entry.code.empty() && InCountry(entry, country)) result.cities.push_back(std::move(entry));
    }
    result.cities = ExactFirst(std::move(result.cities), name);
    return result;
}

}  // namespace skyvane::cli
