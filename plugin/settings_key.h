// SettingsKey: the accessor of one registry key "Software\<company>\<product>"
// under HKEY_CURRENT_USER. The key is opened on first use and kept until the
// accessor goes. Reads never fail and never create anything: a missing key, a
// missing value or one of the wrong type or size gives the caller's default.
// Writes create the path level by level and report nothing; a failed write
// leaves the old value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"


namespace skyvane::plugin {

class SettingsKey {
public:
    SettingsKey(std::u16string product, std::u16string company, HKEY root = HKEY_CURRENT_USER);
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    const std::u16string& Product() const { return product_; }
    const std::u16string& Company() const { return company_; }
    // "Software\<company>\<product>".
    std::u16string Path() const;

    // A REG_DWORD read as a signed 32-bit number.
    int32_t ReadNumber(std::u16string_view name, int32_t def) const;
    void WriteNumber(std::u16string_view name, int32_t value);
    std::u16string ReadText(std::u16string_view name, std::u16string_view def) const;
    void WriteText(std::u16string_view name, std::u16string_view text);
    // An OLE date kept as an 8-byte REG_BINARY; 0 means "never".
    double ReadDate(std::u16string_view name, double def) const;
    void WriteDate(std::u16string_view name, double date);
    // Change stamps: the tick count at the moment of a change.
    DWORD ReadStamp(std::u16string_view name, DWORD def) const;
    void WriteStamp(std::u16string_view name, DWORD stamp);
    // Writes GetTickCount() (one more when the stored stamp already holds
    // it) and returns what it wrote.
    DWORD Stamp(std::u16string_view name);
    void DeleteValue(std::u16string_view name);
    // Whether the value exists (of any type).
    bool HasValue(std::u16string_view name) const;

private:
    // The open key for reading, or null when it does not exist (yet).
    HKEY ForReading() const;
    HKEY ForWriting();
    bool Query(std::u16string_view name, DWORD wantedType, void* data, DWORD size, DWORD* got) const;
    void Set(std::u16string_view name, DWORD type, const void* data, DWORD size);

    HKEY root_;
    std::u16string product_;
    std::u16string company_;
    mutable skyvane::UniqueHkey key_;
    mutable bool writable_ = false;
};

}  // namespace skyvane::plugin
