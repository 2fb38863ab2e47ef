// The language tables as compiled into the plugin, and the translator's
// look-up order over them.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "platform/user/controls/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/user.h"
#include "plugin/languages.h"
#include "plugin/skyvane_interfaces.h"
#include "test_util/test_util.h"
#include "ui/lang_tables.h"
#include "ui/skyvane_translator.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace {

using namespace skyvane::ui;

std::string U8(std::u16string_view s) { return skyvane::ToUtf8(s); }

struct Key {
    int32_t resource, item;
    std::u16string english;  // only for rows keyed by their text
    auto operator<=>(const Key&) const = default;
};

Key KeyOf(const LangRow& row) { return {row.resource, row.item, row.item ? u"" : row.english}; }

// The printf conversions of a text, in order: "%s", "%d", "%.02f", "%%".
std::vector<std::string> Placeholders(std::u16string_view text) {
    static const std::regex conversion("%(%|[-+ #0]*[0-9]*(\\.[0-9]+)?(l|ll|h|I64)?[diouxXeEfgGcsS])");
    std::string s = U8(text);
    std::vector<std::string> found;
    for (std::sregex_iterator it(s.begin(), s.end(), conversion), end; it != end; ++it) found.push_back(it->str());
    return found;
}

// Rows whose text is drawn on the home item, where there is little room:
// the provider's words and the short texts of the compact views.
bool OnTheHomeItem(const LangRow& row) {
    using namespace text;
    if (row.resource == 0 && row.item == 0) return true;
    if (row.resource != 0) return false;
    const int32_t id = row.item;
    return id == kClickToAddCity || id == kNoWeather || id == kGettingWeatherNow || id == kToday ||
           id == kTomorrow || (id >= kUnitMph && id <= kUnitMetres) || (id >= kWeekdayShortSunday && id <= kWeekdaySaturday) ||
           (id >= kMonthJanuary && id <= kMonthDecember) || (id >= kDaysAgo && id <= kSecAgo) ||
           (id >= kVisibility && id <= kUv);
}

TEST(LangTables, EveryTableHoldsTheEnglishKeysOnceWithTheirPlaceholders) {
    const LangTable& english = kLangTables[0];
    ASSERT_EQ(english.language, 1033);
    std::map<Key, const LangRow*> englishRows;
    for (size_t i = 0; i < english.count; ++i) {
        EXPECT_TRUE(englishRows.emplace(KeyOf(english.rows[i]), &english.rows[i]).second)
            << "English row repeated: " << english.rows[i].resource << " " << english.rows[i].item << " "
            << U8(english.rows[i].english);
        EXPECT_STREQ(reinterpret_cast<const char*>(english.rows[i].translation), "");
    }
    std::set<int32_t> languages;
    for (const LangTable& table : kLangTables) {
        SCOPED_TRACE(U8(table.name));
        EXPECT_TRUE(skyvane::plugin::IsTableLanguage(table.language));
        EXPECT_TRUE(languages.insert(table.language).second);
        std::set<Key> seen;
        size_t translated = 0;
        for (size_t i = 0; i < table.count; ++i) {
            const LangRow& row = table.rows[i];
            Key key = KeyOf(row);
            EXPECT_TRUE(seen.insert(key).second) << "row repeated: " << row.resource << " " << row.item;
            auto it = englishRows.find(key);
            if (it == englishRows.end()) {
                ADD_FAILURE() << "row not in the English table: " << row.resource << " " << row.item << " "
                              << U8(row.english);
                continue;
            }
            EXPECT_EQ(std::u16string(row.english), it->second->english) << row.resource << " " << row.item;
            std::u16string translation = row.translation;
            if (translation.empty()) continue;
            ++translated;
            EXPECT_EQ(Placeholders(translation), Placeholders(row.english))
                << U8(row.english) << " -> " << U8(translation);
            if (OnTheHomeItem(row))
                EXPECT_LE(translation.size(), 2 * std::u16string(row.english).size() + 6)
                    << U8(row.english) << " -> " << U8(translation);
        }
        EXPECT_EQ(seen.size(), englishRows.size()) << "English rows missing from the table";
        // Apart from English, a table translates almost everything.
        if (table.language != 1033) EXPECT_GE(translated * 10, table.count * 9) << translated << " of " << table.count;
    }
}

class TranslatorTest : public ::testing::Test {
protected:
    std::u16string In(int32_t language, int32_t resource, int32_t item, const char16_t* source) {
        std::u16string text = source ? source : u"";
        return TranslateIn(language, 0, resource, item, source ? &text : nullptr);
    }
    skyvane::test::ScopedDeviceRoot root;
};

TEST_F(TranslatorTest, LookUpOrder) {
    // English: a source is returned as it is; without one the table's text.
    EXPECT_EQ(In(1033, 0, text::kHumidity, u"Feuchte"), u"Feuchte");
    EXPECT_EQ(In(1033, 0, text::kHumidity, nullptr), u"Humidity");
    EXPECT_EQ(In(1033, 0, 0, nullptr), u"");
    // German.
    EXPECT_EQ(In(1031, 0, text::kHumidity, u"Humidity"), u"Luftfeuchtigkeit");
    EXPECT_EQ(In(1031, 0, text::kHumidity, nullptr), u"Luftfeuchtigkeit");
    EXPECT_NE(In(1031, 0, 0, u"Partly Cloudy"), u"Partly Cloudy");
    EXPECT_EQ(In(1031, 0, 0, u"Partly cloudy"), u"Partly cloudy");  // the text must match exactly
    EXPECT_EQ(In(1031, 0, 0, u"Volcanic Ash"), u"Volcanic Ash");
    EXPECT_EQ(In(1031, kMoonPhaseWords, 0, u"Partly Cloudy"), u"Partly Cloudy");  // another resource
    EXPECT_EQ(In(1031, 0, 0, nullptr), u"");
    EXPECT_EQ(In(1031, 0, 999999, u"no such text"), u"no such text");
    EXPECT_EQ(TranslateIn(1031, 7, 0, text::kHumidity, nullptr), u"");  // only module 0 has rows
    // No table: the source.
    EXPECT_EQ(In(1298, 0, text::kHumidity, u"Humidity"), u"Humidity");
}

TEST_F(TranslatorTest, TheCurrentLanguageComesFromTheSettings) {
    skyvane::plugin::SettingsKey key(u"Weather", u"Skyvane");
    key.WriteNumber(u"LanguageID", 2057);
    EXPECT_EQ(CurrentLanguage(), 1033);
    skyvane::plugin::SetProcessLanguage(1031);
    EXPECT_EQ(TranslateStringId(text::kHumidity), u"Luftfeuchtigkeit");
    EXPECT_EQ(TranslateWord(0, u"Not a provider word"), u"Not a provider word");
}

TEST_F(TranslatorTest, DialogItemsTakeTheTablesText) {
    skyvane::plugin::SetProcessLanguage(1031);
    static const skyvane::DialogTemplate options{
        WS_POPUP, 0, 0, 120, 60, u"Options",
        {{395, u"BUTTON", u"Enable on Today", BS_AUTOCHECKBOX, 4, 4, 100, 10},
         {1, u"BUTTON", u"OK", BS_DEFPUSHBUTTON, 4, 40, 40, 12}}};
    HWND dialog = CreateDialogIndirectParamW(nullptr, &options, nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    TranslateDialogItem(dialog, 114, 395);
    TranslateDialogItem(dialog, 114, 1);  // no row: the text stays
    char16_t text[64];
    GetDlgItemTextW(dialog, 395, text, 64);
    EXPECT_EQ(std::u16string(text), In(1031, 114, 395, nullptr));
    EXPECT_NE(std::u16string(text), u"Enable on Today");
    GetDlgItemTextW(dialog, 1, text, 64);
    EXPECT_EQ(std::u16string(text), u"OK");
    DestroyWindow(dialog);
}

TEST_F(TranslatorTest, TheComClass) {
    skyvane::plugin::SetProcessLanguage(1031);
    skyvane::ComPtr<ISkyvaneTranslator> translator;
    ASSERT_EQ(SkyvaneTranslator::Create(nullptr, IID_PPV_ARGS(&translator)), S_OK);
    skyvane::Bstr humidity(u"Humidity"), result;
    EXPECT_EQ(translator->Translate(0, 0, text::kHumidity, humidity.get(), result.Out()), S_OK);
    EXPECT_EQ(result.Str(), u"Luftfeuchtigkeit");
    EXPECT_EQ(translator->Translate(0, 0, text::kHumidity, nullptr, nullptr), E_POINTER);
    BSTR sentinel = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(translator->Translate(0, 0, 0, nullptr, &sentinel), S_FALSE);
    EXPECT_EQ(sentinel, nullptr);
}

}  // namespace
