#include "plugin/languages.h"

#include <algorithm>
#include <atomic>

#include "platform/kernel/nls/language_id.h"

namespace skyvane::plugin {
namespace {

// 0 until computed. Caches live per process and are never locked.
std::atomic<int32_t> g_language{0};

}  // namespace

bool IsTableLanguage(int32_t id) {
    return std::find(std::begin(kTableLanguages), std::end(kTableLanguages), id) != std::end(kTableLanguages);
}

int32_t LanguageFromSettings(const SettingsKey& key) {
    int32_t device = (GetUserDefaultUILanguage() & 0xFF) | 0x400;
    int32_t id = key.ReadNumber(u"LanguageID", device);
    return IsTableLanguage(id) || id == kLanguageWithoutTable ? id : kEnglish;
}

int32_t ProcessLanguage(const SettingsKey& key) {
    int32_t id = g_language.load(std::memory_order_relaxed);
    if (id == 0) {
        id = LanguageFromSettings(key);
        g_language.store(id, std::memory_order_relaxed);
    }
    return id;
}

void SetProcessLanguage(int32_t id) {
    g_language.store(IsTableLanguage(id) || id == kLanguageWithoutTable ? id : kEnglish, std::memory_order_relaxed);
}

}  // namespace skyvane::plugin
