// Language identifiers from the Linux locale.

#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/kernel/nls/language_id.h"

namespace {

struct LocaleLanguage {
    const char* language;  // ISO 639
    const char* country;   // ISO 3166, or nullptr: the language's main form
    LANGID id;
};

// For each language its main form comes first; it answers for a country not listed.
constexpr LocaleLanguage kLanguages[] = {
    {"ar", nullptr, 0x0401}, {"ar", "SA", 0x0401}, {"ar", "IQ", 0x0801}, {"ar", "EG", 0x0C01},
    {"ar", "LY", 0x1001},    {"ar", "DZ", 0x1401}, {"ar", "MA", 0x1801}, {"ar", "TN", 0x1C01},
    {"ar", "OM", 0x2001},    {"ar", "YE", 0x2401}, {"ar", "SY", 0x2801}, {"ar", "JO", 0x2C01},
    {"ar", "LB", 0x3001},    {"ar", "KW", 0x3401}, {"ar", "AE", 0x3801}, {"ar", "BH", 0x3C01},
    {"ar", "QA", 0x4001},    {"bg", nullptr, 0x0402}, {"ca", nullptr, 0x0403},
    {"zh", nullptr, 0x0804}, {"zh", "TW", 0x0404}, {"zh", "CN", 0x0804}, {"zh", "HK", 0x0C04},
    {"zh", "SG", 0x1004},    {"zh", "MO", 0x1404}, {"cs", nullptr, 0x0405}, {"da", nullptr, 0x0406},
    {"de", nullptr, 0x0407}, {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07},
    {"de", "LU", 0x1007},    {"de", "LI", 0x1407}, {"el", nullptr, 0x0408},
    {"en", nullptr, 0x0409}, {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09},
    {"en", "CA", 0x1009},    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09},
    {"en", "JM", 0x2009},    {"en", "BZ", 0x2809}, {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009},
    {"en", "PH", 0x3409},    {"en", "IN", 0x4009}, {"en", "MY", 0x4409}, {"en", "SG", 0x4809},
    {"es", nullptr, 0x0C0A}, {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "GT", 0x100A},
    {"es", "CR", 0x140A},    {"es", "PA", 0x180A}, {"es", "DO", 0x1C0A}, {"es", "VE", 0x200A},
    {"es", "CO", 0x240A},    {"es", "PE", 0x280A}, {"es", "AR", 0x2C0A}, {"es", "EC", 0x300A},
    {"es", "CL", 0x340A},    {"es", "UY", 0x380A}, {"es", "PY", 0x3C0A}, {"es", "BO", 0x400A},
    {"es", "SV", 0x440A},    {"es", "HN", 0x480A}, {"es", "NI", 0x4C0A}, {"es", "PR", 0x500A},
    {"es", "US", 0x540A},    {"fi", nullptr, 0x040B}, {"fr", nullptr, 0x040C}, {"fr", "FR", 0x040C},
    {"fr", "BE", 0x080C},    {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"fr", "MC", 0x180C},    {"he", nullptr, 0x040D}, {"iw", nullptr, 0x040D}, {"hu", nullptr, 0x040E},
    {"is", nullptr, 0x040F}, {"it", nullptr, 0x0410}, {"it", "CH", 0x0810}, {"ja", nullptr, 0x0411},
    {"ko", nullptr, 0x0412}, {"nl", nullptr, 0x0413}, {"nl", "BE", 0x0813}, {"nb", nullptr, 0x0414},
    {"no", nullptr, 0x0414}, {"nn", nullptr, 0x0814}, {"pl", nullptr, 0x0415},
    {"pt", nullptr, 0x0416}, {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816}, {"rm", nullptr, 0x0417},
    {"ro", nullptr, 0x0418}, {"ro", "MD", 0x0818}, {"ru", nullptr, 0x0419}, {"ru", "MD", 0x0819},
    {"hr", nullptr, 0x041A}, {"hr", "BA", 0x101A}, {"sr", nullptr, 0x0C1A}, {"bs", nullptr, 0x141A},
    {"sk", nullptr, 0x041B}, {"sq", nullptr, 0x041C}, {"sv", nullptr, 0x041D}, {"sv", "FI", 0x081D},
    {"th", nullptr, 0x041E}, {"tr", nullptr, 0x041F}, {"ur", nullptr, 0x0420}, {"id", nullptr, 0x0421},
    {"uk", nullptr, 0x0422}, {"be", nullptr, 0x0423}, {"sl", nullptr, 0x0424}, {"et", nullptr, 0x0425},
    {"lv", nullptr, 0x0426}, {"lt", nullptr, 0x0427}, {"tg", nullptr, 0x0428}, {"fa", nullptr, 0x0429},
    {"vi", nullptr, 0x042A}, {"hy", nullptr, 0x042B}, {"az", nullptr, 0x042C}, {"eu", nullptr, 0x042D},
    {"mk", nullptr, 0x042F}, {"af", nullptr, 0x0436}, {"ka", nullptr, 0x0437}, {"fo", nullptr, 0x0438},
    {"hi", nullptr, 0x0439}, {"mt", nullptr, 0x043A}, {"ga", nullptr, 0x083C}, {"ms", nullptr, 0x043E},
    {"ms", "BN", 0x083E},    {"kk", nullptr, 0x043F}, {"ky", nullptr, 0x0440}, {"sw", nullptr, 0x0441},
    {"tk", nullptr, 0x0442}, {"uz", nullptr, 0x0443}, {"tt", nullptr, 0x0444}, {"bn", nullptr, 0x0445},
    {"pa", nullptr, 0x0446}, {"gu", nullptr, 0x0447}, {"ta", nullptr, 0x0449}, {"te", nullptr, 0x044A},
    {"kn", nullptr, 0x044B}, {"ml", nullptr, 0x044C}, {"mr", nullptr, 0x044E}, {"mn", nullptr, 0x0450},
    {"cy", nullptr, 0x0452}, {"km", nullptr, 0x0453}, {"lo", nullptr, 0x0454}, {"gl", nullptr, 0x0456},
    {"si", nullptr, 0x045B}, {"am", nullptr, 0x045E}, {"ne", nullptr, 0x0461}, {"fy", nullptr, 0x0462},
    {"ps", nullptr, 0x0463}, {"fil", nullptr, 0x0464}, {"ha", nullptr, 0x0468}, {"yo", nullptr, 0x046A},
    {"xh", nullptr, 0x0434}, {"zu", nullptr, 0x0435}, {"lb", nullptr, 0x046E}, {"kl", nullptr, 0x046F},
    {"ig", nullptr, 0x0470}, {"br", nullptr, 0x047E},
};

constexpr LANGID kEnglishUnitedStates = 0x0409;

// LC_ALL, else LC_MESSAGES, else LANG; an empty variable counts as unset.
std::string LocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

LANGID LanguageOfEnvironment() { return skyvane::LangIdFromLocale(LocaleFromEnvironment()); }

}  // namespace

namespace skyvane {

LANGID LangIdFromLocale(std::string_view locale) {
    // language[_COUNTRY][.codeset][@modifier]
    std::string_view modifier;
    if (size_t at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (size_t dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
    std::string language, country;
    size_t underscore = locale.find('_');
    for (char c : locale.substr(0, underscore))
        language.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (underscore != std::string_view::npos)
        for (char c : locale.substr(underscore + 1))
            country.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));

    // Serbian is written in both scripts; the Linux locale names the Latin one by modifier.
    if (language == "sr" && modifier == "latin") return 0x081A;

    const LocaleLanguage* main = nullptr;
    for (const LocaleLanguage& entry : kLanguages) {
        if (language != entry.language) continue;
        if (!entry.country) {
            if (!main) main = &entry;
        } else if (country == entry.country) {
            return entry.id;
        }
    }
    return main ? main->id : kEnglishUnitedStates;  // "C", "POSIX" and unknown languages
}

}  // namespace skyvane

LANGID GetUserDefaultUILanguage() { return LanguageOfEnvironment(); }
LANGID GetUserDefaultLangID() { return LanguageOfEnvironment(); }
LANGID GetSystemDefaultLangID() { return LanguageOfEnvironment(); }
LCID GetUserDefaultLCID() { return LanguageOfEnvironment(); }
LCID GetSystemDefaultLCID() { return LanguageOfEnvironment(); }
