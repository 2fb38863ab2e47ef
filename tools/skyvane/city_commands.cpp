// skyvane city add | list | remove: the city list, changed the way the city
// list dialogs change it (plugin/city_list_edit.h).
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/wide_format.h"
#include "platform/base/wide_string.h"
#include "plugin/city_list_edit.h"
#include "plugin/city_weather.h"
#include "plugin/plugin_settings.h"
#include "plugin/prompt.h"
#include "skyvane/city_lookup.h"
#include "skyvane/city_text.h"
#include "skyvane/commands.h"
#include "skyvane/console.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::cli {
namespace {

constexpr OptionInfo kAddOptions[] = {
    {"--country", "COUNTRY", "look only among the cities of this country"},
    {"--online", "", "ask the online city search instead of the installed city database"},
};

constexpr char kAddDetails[] =
    "Adds a city to the city list and makes it the current city. A CODE (four letters and four\n"
    "digits, such as RSXX0091) is looked up in the installed city database. A NAME is looked up\n"
    "there first and, when the database has no such city, with the weather service's online\n"
    "search. When several cities match, a terminal asks which one is meant; otherwise the\n"
    "command fails and lists them, so that one can be added by its code. Adding a city that is\n"
    "in the list already changes nothing (and is not a failure).\n"
    "Fetch the new city's weather with: skyvane update CODE";

constexpr OptionInfo kRemoveOptions[] = {
    {"--yes", "", "remove without asking first"},
};

constexpr char kRemoveDetails[] =
    "Removes the city with this code from the city list; the first city of the list becomes the\n"
    "current city. On a terminal it asks first; elsewhere it needs --yes.";

constexpr char kListDetails[] =
    "Lists the cities: code, name and country, the status of the last update and the age of\n"
    "the stored weather. The current city is marked with \"*\".";

// At most this many candidates are listed.
constexpr size_t kMaxListed = 20;

std::u16string Candidate(const FoundCity& c) {
    return c.code + u"  " + c.name + (c.country.empty() ? u"" : u", " + c.country);
}

// One city of several, asked on a terminal; nothing when none was chosen or
// nobody could choose (the candidates then go to standard error).
std::optional<FoundCity> Choose(const std::vector<FoundCity>& cities, std::string_view asked) {
    if (cities.size() == 1) return cities.front();
    const size_t listed = std::min(cities.size(), kMaxListed);
    if (!StdinIsTerminal()) {
        Fail(std::to_string(cities.size()) + " cities match \"" + std::string(asked) +
             "\"; add the one you mean by its code (or narrow the search with --country):");
        for (size_t i = 0; i < listed; ++i) std::fprintf(stderr, "  %s\n", Utf8(Candidate(cities[i])).c_str());
        if (listed < cities.size()) std::fprintf(stderr, "  ... and %zu more\n", cities.size() - listed);
        return std::nullopt;
    }
    PrintLine(std::to_string(cities.size()) + " cities match \"" + std::string(asked) + "\":");
    for (size_t i = 0; i < listed; ++i)
        std::printf("%3zu  %s\n", i + 1, Utf8(Candidate(cities[i])).c_str());
    if (listed < cities.size()) std::printf("     ... and %zu more (narrow the search with --country)\n", cities.size() - listed);
    for (;;) {
        std::printf("Which one? (1-%zu, Enter for none) ", listed);
        std::fflush(stdout);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin) || line[0] == '\n') return std::nullopt;
        char* end = nullptr;
        const unsigned long n = std::strtoul(line, &end, 10);
        if (end != line && (*end == '\n' || *end == 0) && n >= 1 && n <= listed) return cities[n - 1];
    }
}

// The city a NAME or CODE names, looked up as the command's help says;
// nothing when it failed (said on standard error).
std::optional<FoundCity> Resolve(CityLookup& lookup, const std::u16string& wanted, const std::u16string& country,
                                 bool online, std::string& source) {
    const std::string asked = Utf8(wanted);
    auto failed = [](const std::string& sentence) -> std::optional<FoundCity> {
        Fail(sentence);
        return std::nullopt;
    };
    LookupResult found;
    if (LooksLikeCityCode(wanted)) {
        source = "in the city database";
        found = lookup.DatabaseByCode(wanted);
        if (!found.error.empty()) return failed(found.error);
        if (found.cities.empty())
            return failed(asked + " is not a city code of the installed city database; add the city by its name.");
        return found.cities.front();
    }
    if (!online) {
        source = "in the city database";
        found = lookup.DatabaseByName(wanted, country);
        if (!found.error.empty()) return failed(found.error);
    }
    if (found.cities.empty()) {
        source = "by the online city search";
        found = lookup.OnlineByName(wanted, country);
        if (!found.error.empty()) return failed(found.error);
    }
    if (found.cities.empty()) {
        const std::string where = country.empty() ? "" : " in " + Utf8(country);
        return failed((online ? "The online city search knows no city named \""
                              : "Neither the city database nor the online city search knows a city named \"") +
                      asked + "\"" + where + ".");
    }
    return Choose(found.cities, asked);
}

}  // namespace

const CommandInfo kCityAddCommand{"city add", "NAME|CODE", "add a city to the list", kAddDetails, kAddOptions, 1, 1};
const CommandInfo kCityListCommand{"city list", "", "list the cities", kListDetails, {}, 0, 0};
const CommandInfo kCityRemoveCommand{"city remove", "CODE",         "remove a city from the list",
                                  kRemoveDetails,  kRemoveOptions, 1, 1};

int RunCityAdd(const Arguments& arguments) {
    std::u16string wanted = Utf16(arguments.Positional()[0]);
    wanted.erase(0, wanted.find_first_not_of(u' '));
    wanted.erase(wanted.find_last_not_of(u' ') + 1);
    const std::u16string country = Utf16(arguments.Value("--country").value_or(""));
    const bool online = arguments.Has("--online");
    if (wanted.empty()) return BadUsage(kCityAddCommand, "the city's name or code is empty");
    if (online && LooksLikeCityCode(wanted)) return BadUsage(kCityAddCommand, "--online finds cities by name, not by code");

    plugin::PluginSettings settings;
    settings.LoadCityList();
    if (LooksLikeCityCode(wanted)) {
        for (const auto& city : settings.Cities()) {
            if (!skyvane::EqualsNoCase(city->Code(), wanted)) continue;
            PrintLine(PlaceName(*city) + u" (" + city->Code() + u") is in the city list already; nothing changed.");
            return kDone;
        }
    }
    ComSession com;
    if (!com.Started()) return Fail("The COM runtime did not start.");
    CityLookup lookup(settings.Key());
    if (!lookup.Error().empty()) return Fail(lookup.Error());
    std::string source;
    const std::optional<FoundCity> city = Resolve(lookup, wanted, country, online, source);
    if (!city) return kFailed;

    const std::u16string place = city->name + (city->country.empty() ? u"" : u", " + city->country);
    switch (plugin::AddCity(settings, city->code, city->name, city->country)) {
    case plugin::AddCityResult::Added:
        PrintLine(u"Added " + place + u" (" + city->code + u"), found " + Utf16(source) +
                  u"; it is the current city now.");
        PrintLine(u"Fetch its weather with: skyvane update " + city->code);
        return kDone;
    case plugin::AddCityResult::AlreadyListed:
        PrintLine(place + u" (" + city->code + u") is in the city list already; nothing changed.");
        return kDone;
    case plugin::AddCityResult::ListFull:
        return Fail("The city list is full (" + std::to_string(plugin::kMaxCities) + " cities); remove a city first.");
    case plugin::AddCityResult::InvalidCode:
        break;
    }
    return Fail(Utf8(u"The code \"" + city->code + u"\" found " + Utf16(source) + u" for " + place +
                     u" cannot name the city's weather file; the city was not added."));
}

int RunCityList(const Arguments&) {
    plugin::PluginSettings settings;
    settings.LoadCityList();
    const auto& cities = settings.Cities();
    if (cities.empty()) {
        PrintLine(std::string_view("The city list is empty. Add a city with: skyvane city add NAME"));
        return kDone;
    }
    size_t width = 0;
    for (const auto& city : cities) width = std::max(width, DisplayWidth(PlaceName(*city)));
    const double now = plugin::LocalNow();
    for (size_t i = 0; i < cities.size(); ++i) {
        const plugin::CityEntry& city = *cities[i];
        const bool current = int32_t(i) == settings.currentCity;
        PrintLine(std::u16string(current ? u"* " : u"  ") + PadRight(city.Code(), 8) + u"  " +
                  PadRight(PlaceName(city), width) + u"  " + CityState(city, now));
    }
    return kDone;
}

int RunCityRemove(const Arguments& arguments) {
    const std::u16string code = Utf16(arguments.Positional()[0]);
    plugin::PluginSettings settings;
    settings.LoadCityList();
    std::optional<size_t> index = plugin::FindCity(settings, code);
    for (size_t i = 0; !index && i < settings.Cities().size(); ++i)
        if (skyvane::EqualsNoCase(settings.Cities()[i]->Code(), code)) index = i;
    if (!index) return Fail(Utf8(code) + " is not in the city list (see: skyvane city list).");
    const plugin::CityRef city = settings.Cities()[*index];

    if (!arguments.Has("--yes")) {
        std::unique_ptr<plugin::Prompt> prompt = plugin::PromptForCommandLine();
        if (!prompt->Interactive())
            return Fail("Removing " + Utf8(city->Name()) + " needs a confirmation: run it on a terminal, or add --yes.");
        const std::u16string question =
            skyvane::FormatW(ui::TranslateStringId(ui::text::kConfirmDelete).c_str(), city->Name().c_str());
        if (prompt->Ask(ui::TranslateStringId(ui::text::kProductTitle), question, plugin::Buttons::YesNo) !=
            plugin::Answer::Yes) {
            PrintLine(std::string_view("Nothing was removed."));
            return kFailed;
        }
    }
    plugin::DeleteCity(settings, *index);
    PrintLine(u"Removed " + PlaceName(*city) + u" (" + city->Code() + u").");
    if (plugin::CityRef current = settings.CurrentCityEntry())
        PrintLine(u"The current city is " + PlaceName(*current) + u".");
    return kDone;
}

}  // namespace skyvane::cli
