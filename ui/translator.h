// The translator: every text the plugin shows goes through it at the moment
// it is formatted. String-table texts are found by number, dialog and menu
// texts by their resource and control, and the English words of the weather
// provider by their text (conditions and wind words under resource 0, moon
// phases under 104, map names under 398). A missing translation shows the
// English text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/hwnd.h"
#include "ui/lang_tables.h"

namespace skyvane::ui {

inline constexpr int32_t kMoonPhaseWords = 104;
inline constexpr int32_t kMapNameWords = 398;
// Texts longer than this are cut when loaded from the string table.
inline constexpr size_t kMaxStringText = 996;

// The language in force in this process (LanguageID of the settings, kept
// once read); 1033 for an identifier without a table other than 1298.
int32_t CurrentLanguage();

// The table of a language; null when there is none.
const LangTable* FindTable(int32_t language);

// The text to show for a look-up in the current language. source null means
// no source text (dialog items), which differs from an empty source.
std::u16string Translate(int32_t moduleId, int32_t resourceId, int32_t itemId, const std::u16string* source);
std::u16string Translate(int32_t moduleId, int32_t resourceId, int32_t itemId, std::u16string_view source);
// The same in a given language.
std::u16string TranslateIn(int32_t language, int32_t moduleId, int32_t resourceId, int32_t itemId,
                           const std::u16string* source);

// The English text of a string-table entry; empty when there is none.
std::u16string LoadStringText(int32_t id);
// A string-table text in the current language.
std::u16string TranslateStringId(int32_t id);
// A dialog's control text in the current language: the table's text for the
// control of that dialog replaces the control's text when there is one.
void TranslateDialogItem(HWND dialog, int32_t dialogId, int32_t controlId);
// A provider word (resource 0), moon phase (104) or map name (398).
std::u16string TranslateWord(int32_t resourceId, std::u16string_view word);

}  // namespace skyvane::ui
