#include "plugin/settings_key.h"

#include <cstring>
#include <vector>

#include "platform/kernel/win_time.h"

namespace skyvane::plugin {

SettingsKey::SettingsKey(std::u16string product, std::u16string company, HKEY root)
    : root_(root), product_(std::move(product)), company_(std::move(company)) {}

std::u16string SettingsKey::Path() const { return u"Software\\" + company_ + u"\\" + product_; }

HKEY SettingsKey::ForReading() const {
    if (!key_) {
        std::u16string path = Path();
        // A key that does not exist is looked for again at the next read, so
        // that a key created later by another process is found.
        if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, key_.out()) != ERROR_SUCCESS) key_.reset();
    }
    return key_.get();
}

HKEY SettingsKey::ForWriting() {
    if (key_ && writable_) return key_.get();
    // Level by level: "Software", then the company word, then the product word.
    skyvane::UniqueHkey software, company, product;
    if (RegCreateKeyExW(root_, u"Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, software.out(), nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    if (RegCreateKeyExW(software.get(), company_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, company.out(),
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    if (RegCreateKeyExW(company.get(), product_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, product.out(),
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    key_ = std::move(product);
    writable_ = true;
    return key_.get();
}

bool SettingsKey::Query(std::u16string_view name, DWORD wantedType, void* data, DWORD size, DWORD* got) const {
    HKEY key = ForReading();
    if (!key) return false;
    std::u16string valueName(name);
    DWORD type = 0, bytes = size;
    LONG status = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, static_cast<LPBYTE>(data), &bytes);
    if (status == ERROR_KEY_DELETED) {
        key_.reset();  // looked for again at the next read
        writable_ = false;
    }
    if (status != ERROR_SUCCESS) return false;
    if (type != wantedType) return false;
    if (got) *got = bytes;
    return true;
}

void SettingsKey::Set(std::u16string_view name, DWORD type, const void* data, DWORD size) {
    HKEY key = ForWriting();
    if (!key) return;
    std::u16string valueName(name);
    if (RegSetValueExW(key, valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_KEY_DELETED)
        return;
    // Another process deleted the key under the open handle: create it again.
    key_.reset();
    writable_ = false;
    if ((key = ForWriting())) RegSetValueExW(key, valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

int32_t SettingsKey::ReadNumber(std::u16string_view name, int32_t def) const {
    DWORD value = 0, got = 0;
    if (!Query(name, REG_DWORD, &value, sizeof value, &got) || got != sizeof value) return def;
    return static_cast<int32_t>(value);
}

void SettingsKey::WriteNumber(std::u16string_view name, int32_t value) {
    DWORD raw = static_cast<DWORD>(value);
    Set(name, REG_DWORD, &raw, sizeof raw);
}

std::u16string SettingsKey::ReadText(std::u16string_view name, std::u16string_view def) const {
    HKEY key = ForReading();
    if (!key) return std::u16string(def);
    std::u16string valueName(name);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::u16string(def);
    std::vector<char16_t> buffer(bytes / sizeof(char16_t) + 1, u'\0');
    DWORD size = DWORD(buffer.size() * sizeof(char16_t));
    if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::u16string(def);
    // The stored string ends at its first terminator.
    std::u16string text(buffer.data(), size / sizeof(char16_t));
    size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    return text;
}

void SettingsKey::WriteText(std::u16string_view name, std::u16string_view text) {
    std::u16string stored(text);
    Set(name, REG_SZ, stored.c_str(), DWORD((stored.size() + 1) * sizeof(char16_t)));
}

double SettingsKey::ReadDate(std::u16string_view name, double def) const {
    unsigned char bytes[8];
    DWORD got = 0;
    // A value of any other size is not a date; the query fails for a larger one.
    if (!Query(name, REG_BINARY, bytes, sizeof bytes, &got) || got != sizeof bytes) return def;
    double date;
    std::memcpy(&date, bytes, sizeof date);
    return date;
}

void SettingsKey::WriteDate(std::u16string_view name, double date) { Set(name, REG_BINARY, &date, sizeof date); }

DWORD SettingsKey::ReadStamp(std::u16string_view name, DWORD def) const {
    return static_cast<DWORD>(ReadNumber(name, static_cast<int32_t>(def)));
}

void SettingsKey::WriteStamp(std::u16string_view name, DWORD stamp) { WriteNumber(name, static_cast<int32_t>(stamp)); }

DWORD SettingsKey::Stamp(std::u16string_view name) {
    DWORD now = GetTickCount();
    // Readers see a change only when the stamp differs from the one they
    // saw: a second change within the same millisecond must move it too.
    if (ReadStamp(name, now + 1) == now) ++now;
    WriteStamp(name, now);
    return now;
}

void SettingsKey::DeleteValue(std::u16string_view name) {
    HKEY key = ForWriting();
    if (!key) return;
    std::u16string valueName(name);
    RegDeleteValueW(key, valueName.c_str());
}

bool SettingsKey::HasValue(std::u16string_view name) const {
    HKEY key = ForReading();
    if (!key) return false;
    std::u16string valueName(name);
    DWORD type = 0, bytes = 0;
    return RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS;
}

}  // namespace skyvane::plugin
