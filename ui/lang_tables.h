// The language tables compiled into the plugin, one per language, made at
// build time from the sources in data/lang/. A row is found by its resource
// and item numbers, or, with item 0, by its English text within a resource.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skyvane::ui {

struct LangRow {
    int32_t resource;  // dialog or menu; 0 for string-table texts and provider words
    int32_t item;      // control, command or string number; 0: keyed by the English text
    const char16_t* english;
    const char16_t* translation;  // empty where the table has none (always in English)
};

struct LangTable {
    int32_t language;
    const char16_t* name;  // the language's own name
    const LangRow* rows;
    size_t count;
};

inline constexpr size_t kLangTableCount = 15;
// In the directory's order: 1033 (English) first.
extern const LangTable kLangTables[kLangTableCount];

}  // namespace skyvane::ui
