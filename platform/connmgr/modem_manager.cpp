#include "platform/connmgr/modem_manager.h"

namespace skyvane::connmgr {
namespace {

constexpr char kService[] = "org.freedesktop.ModemManager1";
constexpr char kManagerPath[] = "/org/freedesktop/ModemManager1";
constexpr char k3gppInterface[] = "org.freedesktop.ModemManager1.Modem.Modem3gpp";
constexpr char kCdmaInterface[] = "org.freedesktop.ModemManager1.Modem.ModemCdma";

// MMModem3gppRegistrationState: roaming, roaming for SMS only, roaming with CSFB not preferred.
bool Roaming3gpp(uint32_t state) {
    return state == 5 || state == 7 || state == 10;
}
// MMModemCdmaRegistrationState
constexpr uint32_t kCdmaRoaming = 3;

}  // namespace

DbusResult<bool> ReadModemRoaming(DbusConnection& bus) {
    auto objects = bus.GetManagedObjects(kService, kManagerPath);
    if (!objects) return DbusResult<bool>::Failed(objects.error);
    for (const auto& [path, interfaces] : *objects.value) {
        if (auto it = interfaces.find(k3gppInterface); it != interfaces.end()) {
            if (Roaming3gpp(PropertyOr<uint32_t>(it->second, "RegistrationState", 0))) return {true, {}};
        }
        if (auto it = interfaces.find(kCdmaInterface); it != interfaces.end()) {
            if (PropertyOr<uint32_t>(it->second, "Cdma1xRegistrationState", 0) == kCdmaRoaming ||
                PropertyOr<uint32_t>(it->second, "EvdoRegistrationState", 0) == kCdmaRoaming)
                return {true, {}};
        }
    }
    return {false, {}};
}

}  // namespace skyvane::connmgr
