// Filling a record from one element of the answer (LoadFromXMLNode after its
// argument checks).
#pragma once

#include <string>

#include "platform/msxml/msxml.h"
#include "weather/dom_access.h"
#include "weather/weather_info.h"

namespace skyvane::weather {

// The moment records are read at (the date of maps, and of alerts without a
// readable time): the current local time, read once when first needed, so
// that the records of one answer share it.
class ReadingTime {
public:
    DATE Now() {
        if (now_ < 0) now_ = CurrentLocalDate();
        return now_;
    }

private:
    DATE now_ = -1.0;
};

// Through the DOM interfaces: E_NOINTERFACE when the node is not an element;
// otherwise the failures of the DOM.
HRESULT LoadFields(WeatherFields& f, IUnknown* node, KWeatherType type, ReadingTime& time);
// Directly from an element of this platform's DOM met in a walk.
HRESULT LoadFields(WeatherFields& f, const NativeDom::Element& element, KWeatherType type, ReadingTime& time);

// A record to fill from a "day" or "hday" element. The records of one walk
// are all hour records or none.
struct DayTarget {
    KWeatherType type;  // KWDay, KWNight or KWHBH
    WeatherFields* fields;
};
// The day and the night record of one "day" element of this platform's DOM in
// one walk; each ends up as LoadFromXMLNode with KWDay and KWNight makes it.
HRESULT LoadDayAndNight(WeatherFields& day, WeatherFields& night, const NativeDom::Element& element);

// A map name that a relay sent as UTF-8 read in the device's code page is
// turned back into the right text; any other name is kept as read.
std::u16string RedecodeMapName(const std::u16string& name);

}  // namespace skyvane::weather
