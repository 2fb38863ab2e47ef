#include "plugin/platform_type.h"

#include "platform/base/wide_string.h"
#include "platform/kernel/system_info.h"

namespace skyvane::plugin {

PlatformType PlatformTypeFromName(std::u16string_view name) {
    std::u16string n(name);
    if (_wcsicmp(n.c_str(), u"Smartphone") == 0) return PlatformType::Smartphone;
    for (const char16_t* pocket : {u"PocketPC", u"Pocket PC", u"Palm PC2"})
        if (_wcsicmp(n.c_str(), pocket) == 0) return PlatformType::PocketPC;
    return PlatformType::Other;
}

PlatformType CurrentPlatformType() {
    static const PlatformType type = [] {
        char16_t name[64] = {};
        if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof name, name, 0)) return PlatformType::Other;
        return PlatformTypeFromName(name);
    }();
    return type;
}

}  // namespace skyvane::plugin
