#include "plugin/string_table.h"

namespace skyvane::plugin {

std::u16string StringText(int id) {
    switch (id) {
    case kStrNoWeather: return u"There is no weather";
    case kStrUnknownError: return u"Unknown error";
    default: return {};
    }
}

}  // namespace skyvane::plugin
