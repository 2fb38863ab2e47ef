#include "plugin/network_state.h"

#include "platform/registry/registry.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

constexpr DWORD kWiFiConnected = 0x10;
constexpr DWORD kPhoneRoaming = 0x200;

// A REG_DWORD of HKEY_LOCAL_MACHINE; 0 when the key or the value is missing
// or of another type.
DWORD ReadMachineNumber(const char16_t* path, const char16_t* name) {
    skyvane::UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return 0;
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

}  // namespace

int32_t ReadNetworkState() {
    if (ReadMachineNumber(u"System\\State\\Hardware", u"Cradled") != 0) return kStateCradled;
    if (ReadMachineNumber(u"System\\State\\Hardware", u"WiFi") & kWiFiConnected) return kStateWiFi;
    if (ReadMachineNumber(u"System\\State\\Phone", u"Status") & kPhoneRoaming) return kStateRoaming;
    return kStateCellular;
}

std::u16string NetworkStateName(int32_t state) {
    switch (state) {
    case kStateCradled: return ui::TranslateStringId(ui::text::kCradled);
    case kStateWiFi: return ui::TranslateStringId(ui::text::kWiFi);
    case kStateRoaming: return ui::TranslateStringId(ui::text::kRoaming);
    case kStateCellular: return ui::TranslateStringId(ui::text::kGsm);
    default: return {};
    }
}

}  // namespace skyvane::plugin
