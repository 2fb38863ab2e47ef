#include "ui/translator.h"

#include "platform/user/dialog.h"
#include "plugin/languages.h"
#include "plugin/main_settings.h"
#include "plugin/settings_key.h"

namespace skyvane::ui {
namespace {

constexpr int32_t kEnglish = 1033;

const LangRow* FindRow(const LangTable& table, int32_t moduleId, int32_t resourceId, int32_t itemId,
                       const std::u16string* source) {
    // Every row of the plugin belongs to module 0.
    if (moduleId != 0) return nullptr;
    for (size_t i = 0; i < table.count; ++i) {
        const LangRow& row = table.rows[i];
        if (row.resource != resourceId) continue;
        if (itemId != 0) {
            if (row.item == itemId) return &row;
        } else if (row.item == 0 && source && *source == row.english) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

int32_t CurrentLanguage() {
    static plugin::SettingsKey key(plugin::kSettingsProduct, plugin::kSettingsCompany);
    return plugin::ProcessLanguage(key);
}

const LangTable* FindTable(int32_t language) {
    for (const LangTable& table : kLangTables)
        if (table.language == language) return &table;
    return nullptr;
}

std::u16string TranslateIn(int32_t language, int32_t moduleId, int32_t resourceId, int32_t itemId,
                           const std::u16string* source) {
    if (language == kEnglish && source) return *source;
    if (!source && itemId == 0) return {};
    const LangTable* table = FindTable(language);
    if (!table) return source ? *source : std::u16string();
    const LangRow* row = FindRow(*table, moduleId, resourceId, itemId, source);
    if (!row) return source ? *source : std::u16string();
    if (*row->translation) return row->translation;
    return source ? *source : std::u16string(row->english);
}

std::u16string Translate(int32_t moduleId, int32_t resourceId, int32_t itemId, const std::u16string* source) {
    return TranslateIn(CurrentLanguage(), moduleId, resourceId, itemId, source);
}

std::u16string Translate(int32_t moduleId, int32_t resourceId, int32_t itemId, std::u16string_view source) {
    std::u16string text(source);
    return Translate(moduleId, resourceId, itemId, &text);
}

std::u16string LoadStringText(int32_t id) {
    const LangTable* english = FindTable(kEnglish);
    for (size_t i = 0; english && i < english->count; ++i) {
        const LangRow& row = english->rows[i];
        if (row.resource == 0 && row.item == id) {
            std::u16string text(row.english);
            if (text.size() > kMaxStringText) text.resize(kMaxStringText);
            return text;
        }
    }
    return {};
}

std::u16string TranslateStringId(int32_t id) {
    std::u16string text = LoadStringText(id);
    return Translate(0, 0, id, &text);
}

void TranslateDialogItem(HWND dialog, int32_t dialogId, int32_t controlId) {
    std::u16string text = Translate(0, dialogId, controlId, nullptr);
    if (!text.empty()) SetDlgItemTextW(dialog, controlId, text.c_str());
}

std::u16string TranslateWord(int32_t resourceId, std::u16string_view word) { return Translate(0, resourceId, 0, word); }

}  // namespace skyvane::ui
