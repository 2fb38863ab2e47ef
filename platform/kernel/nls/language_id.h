// Language identifiers from the Linux locale.
#pragma once

#include <string_view>

#include "platform/base/win_types.h"

// Languages, from the Linux locale (LC_ALL, else LC_MESSAGES, else LANG): the
// language and country of "ru_RU.UTF-8" give 0x0419. A language without a
// known country gives its main form, an unknown language, "C", "POSIX" or no
// locale give 0x0409 (English, United States).
LANGID GetUserDefaultUILanguage();
LANGID GetUserDefaultLangID();
LANGID GetSystemDefaultLangID();
LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();


namespace skyvane {
// The language identifier of a POSIX locale name ("de_AT.UTF-8@euro" gives 0x0C07).
LANGID LangIdFromLocale(std::string_view locale);
}  // namespace skyvane
