#include "weather/strings.h"

namespace skyvane::weather {

const char16_t* LoadWeatherString(unsigned id) {
    switch (id) {
        case 5: return kStringWrongXml;
        case 102: return kStringServiceError;
        default: return nullptr;
    }
}

}  // namespace skyvane::weather
