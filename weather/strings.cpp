#include "weather/strings.h"

namespace kweather {

const char16_t* LoadWeatherString(unsigned id) {
    switch (id) {
        case 5: return kStringWrongXml;
        case 102: return kStringServiceError;
        default: return nullptr;
    }
}

}  // namespace kweather
