#include "platform/kernel/nls/language_id.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_util/test_util.h"

namespace {

using skyvane::test::ScopedEnv;

struct LocaleCase {
    const char* locale;
    LANGID id;
};

TEST(LanguageTest, LanguageAndCountryOfTheLocale) {
    const LocaleCase cases[] = {
        {"ru_RU.UTF-8", 0x0419}, {"en_US", 0x0409},       {"de_DE", 0x0407},
        {"C", 0x0409},           {"POSIX", 0x0409},       {"", 0x0409},
        {"C.UTF-8", 0x0409},     {"en_GB.UTF-8", 0x0809}, {"de_AT.UTF-8@euro", 0x0C07},
        {"de_CH", 0x0807},       {"fr_CA.UTF-8", 0x0C0C}, {"fr_FR@euro", 0x040C},
        {"pt_BR", 0x0416},       {"pt_PT", 0x0816},       {"zh_TW.Big5", 0x0404},
        {"zh_CN.GB18030", 0x0804}, {"es_ES", 0x0C0A},     {"es_MX", 0x080A},
        {"uk_UA.UTF-8", 0x0422}, {"be_BY", 0x0423},       {"sr_RS", 0x0C1A},
        {"sr_RS@latin", 0x081A}, {"nb_NO", 0x0414},       {"nn_NO", 0x0814},
        {"ja_JP.eucJP", 0x0411}, {"it_CH", 0x0810},       {"sv_FI", 0x081D},
        {"fr_XX", 0x040C},       // unknown country: the language's main form
        {"de", 0x0407},          // no country
        {"xx_YY", 0x0409},       // unknown language
        {"RU_ru", 0x0419},       // case of the parts does not matter
    };
    for (const LocaleCase& c : cases) EXPECT_EQ(skyvane::LangIdFromLocale(c.locale), c.id) << c.locale;
}

TEST(LanguageTest, EnvironmentOrder) {
    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", nullptr);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);  // nothing set
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0407);
    setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0419);
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x040C);
    setenv("LC_ALL", "", 1);  // empty counts as unset
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0419);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0419);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0419);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0419u);
    // The system's own language default: low byte of the UI language with 0x400.
    EXPECT_EQ((GetUserDefaultUILanguage() & 0xFF) | 0x400, 1049);
}

}  // namespace
