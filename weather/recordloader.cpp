// LoadFromXMLNode: fills one record from one element of the answer. Each kind
// reads its own table of child elements; a field changes only when its element
// is met, and a value that does not read leaves the field's not-available value.
#include <cmath>

#include "platform/textconv.h"
#include "weather/domwalk.h"
#include "weather/weatherinfo.h"

namespace kweather {
namespace {

using Name = std::u16string_view;

// A text field: assigned only when the DOM gives a text.
void ReadText(IXMLDOMElement* e, std::u16string& field) {
    if (auto text = NodeText(e)) field = std::move(*text);
}

std::u16string TextOf(IXMLDOMElement* e) { return NodeText(e).value_or(std::u16string()); }

// A whole number read by ParseNumber, kept as a double (wind chill, heat index).
double WholeNumber(std::u16string_view text) {
    double v = ParseNumber(text);
    return v == kNaDouble ? v : std::trunc(v);
}

// Wind: "s" speed, "gust", "d" direction, "t" compass text.
HRESULT ReadWind(IXMLDOMElement* wind, WeatherFields& f) {
    return ForEachChildElement(wind, [&](IXMLDOMElement* e, Name name) {
        if (name == u"s") f.windSpeed = ParseInteger(TextOf(e));
        else if (name == u"gust") f.windPorivy = ParseInteger(TextOf(e));
        else if (name == u"d") f.windDirection = ParseInteger(TextOf(e));
        else if (name == u"t") ReadText(e, f.windText);
        return S_OK;
    });
}

// "cc": the current conditions.
HRESULT LoadCurrent(IXMLDOMElement* node, WeatherFields& f) {
    return ForEachChildElement(node, [&](IXMLDOMElement* e, Name name) -> HRESULT {
        if (name == u"lsup") {
            if (auto text = NodeText(e)) {
                f.suppliedString = *text;
                f.forecastDate = ParseStampDate(*text);
            }
        } else if (name == u"tmp") {
            f.tempLow = f.tempHigh = ParseNumber(TextOf(e));
        } else if (name == u"flik") {
            f.ccTempFeelsLike = ParseInteger(TextOf(e));
        } else if (name == u"icon") {
            f.icon = ParseInteger(TextOf(e));
        } else if (name == u"i2") {
            f.icon2 = ParseInteger(TextOf(e));
        } else if (name == u"t") {
            ReadText(e, f.text);
        } else if (name == u"hmid") {
            f.humidity = ParseInteger(TextOf(e));
        } else if (name == u"vis") {
            // Words such as "Unlimited" are not numbers: 999999.
            int v = 0;
            f.ccVisibility = TruncateToInt(ParseNumber(TextOf(e)), v) ? v : int(kNaDouble);
        } else if (name == u"dewp") {
            f.ccTochkaRosy = ParseInteger(TextOf(e));
        } else if (name == u"wind") {
            return ReadWind(e, f);
        } else if (name == u"bar") {
            return ForEachChildElement(e, [&](IXMLDOMElement* c, Name n) {
                if (n == u"r") f.ccPressure = ParseNumber(TextOf(c));
                else if (n == u"d") ReadText(c, f.ccPressureText);
                return S_OK;
            });
        } else if (name == u"uv") {
            return ForEachChildElement(e, [&](IXMLDOMElement* c, Name n) {
                if (n == u"i") f.ccUVIndex = ParseInteger(TextOf(c));
                else if (n == u"t") ReadText(c, f.ccUVText);
                return S_OK;
            });
        } else if (name == u"GMT") {
            f.gmt = ParseInteger(TextOf(e));
        } else if (name == u"sR") {
            f.sunrise = ParseClockTime(TextOf(e));
        } else if (name == u"sS") {
            f.sunset = ParseClockTime(TextOf(e));
        } else if (name == u"WINDCHILL") {
            f.ccWindChill = WholeNumber(TextOf(e));
        } else if (name == u"HEATINDEX") {
            f.ccHeatIndex = WholeNumber(TextOf(e));
        }
        return S_OK;
    });
}

// A "part" of a day or hour.
HRESULT LoadPart(IXMLDOMElement* part, WeatherFields& f) {
    return ForEachChildElement(part, [&](IXMLDOMElement* e, Name name) -> HRESULT {
        if (name == u"icon") f.icon = ParseInteger(TextOf(e));
        else if (name == u"t") ReadText(e, f.text);
        else if (name == u"desc") ReadText(e, f.description);
        else if (name == u"ppcp") f.veroyatnostOsadkov = ParseInteger(TextOf(e));
        else if (name == u"hmid") f.humidity = ParseInteger(TextOf(e));
        else if (name == u"wind") return ReadWind(e, f);
        else if (name == u"uvidx") f.ccUVIndex = ParseInteger(TextOf(e));
        else if (name == u"uvtxt") ReadText(e, f.ccUVText);
        return S_OK;
    });
}

// "day" (for a day or a night record) and "hday" (for an hour record).
HRESULT LoadDayOrHour(IXMLDOMElement* node, KWeatherType type, WeatherFields& f) {
    const bool hour = type == KWHBH;
    return ForEachChildElement(node, [&](IXMLDOMElement* e, Name name) -> HRESULT {
        if (name == u"hi") {
            f.tempHigh = hour ? ParseTemperature(TextOf(e)) : ParseNumber(TextOf(e));
        } else if (name == u"low") {
            f.tempLow = hour ? ParseTemperature(TextOf(e)) : ParseNumber(TextOf(e));
        } else if (name == u"sunr") {
            f.sunrise = ParseClockTime(TextOf(e));
        } else if (name == u"suns") {
            f.sunset = ParseClockTime(TextOf(e));
        } else if (name == u"moonr") {
            f.moonRise = ParseClockTime(TextOf(e));
        } else if (name == u"moons") {
            f.moonSet = ParseClockTime(TextOf(e));
        } else if (name == u"moonp") {
            f.moonPhaseIndex = ParseInteger(TextOf(e));
        } else if (name == u"moonpt") {
            ReadText(e, f.moonPhaseText);
        } else if (name == u"ui") {
            f.ccUVIndex = ParseInteger(TextOf(e));
        } else if (name == u"part") {
            // A day record reads the day part, a night record the night part,
            // an hour record every part (a later one overwriting).
            auto p = AttributeText(e, u"p");
            if (!p) return S_OK;
            bool selected = hour || (type == KWDay && *p == u"d") || (type == KWNight && *p == u"n");
            if (selected) return LoadPart(e, f);
        }
        return S_OK;
    });
}

// "loc": the location block.
HRESULT LoadLocal(IXMLDOMElement* node, WeatherFields& f) {
    return ForEachChildElement(node, [&](IXMLDOMElement* e, Name name) {
        if (name == u"dnam") ReadText(e, f.locationName);
        else if (name == u"tmp") f.tempLow = f.tempHigh = ParseNumber(TextOf(e));
        else if (name == u"sunr") f.sunrise = ParseClockTime(TextOf(e));
        else if (name == u"suns") f.sunset = ParseClockTime(TextOf(e));
        else if (name == u"tm") f.date = ParseClockTime(TextOf(e));
        return S_OK;
    });
}

// "pa", "ta", "wa": entries "p1 v=..." and so on. The hours back come from the
// child's name as the pattern "p%d" reads it.
HRESULT LoadArchive(IXMLDOMElement* node, KWeatherType type, WeatherFields& f) {
    f.archive.clear();
    f.archivePos = 0;
    const char16_t* own = type == KWPressureArchive ? u"pa" : type == KWTempArchive ? u"ta" : u"wa";
    if (TagName(node) != own) return S_OK;
    const char16_t letter = own[0];
    return ForEachChildElement(node, [&](IXMLDOMElement* e, Name name) {
        if (name.empty() || name[0] != letter) return S_OK;
        int hoursBack = 0;
        if (!ScanInteger(name.substr(1), hoursBack) || hoursBack == 9999) return S_OK;
        auto v = AttributeText(e, u"v");
        if (!v) return S_OK;
        int value = 0;
        if (!TruncateToInt(ParseNumber(*v), value)) return S_OK;
        f.archive.emplace_back(hoursBack, value);
        f.archivePos = 0;
        return S_OK;
    });
}

// "WatchesWarnings": an alert.
void LoadAlert(IXMLDOMElement* node, WeatherFields& f) {
    f.icon = 50;
    if (TagName(node) != u"WatchesWarnings") return;
    f.alertType = AttributeText(node, u"Type").value_or(std::u16string());
    f.bulletin = AttributeText(node, u"Bulletin").value_or(std::u16string());
    auto start = AttributeText(node, u"StartTime");
    f.date = start ? ParseAlertTime(*start) : CurrentLocalDate();
    auto end = AttributeText(node, u"EndTime");
    f.alertEnd = end ? ParseAlertTime(*end) : CurrentLocalDate();
}

// Relays have sent map names as UTF-8 bytes read as the device's code page.
// The name is narrowed back to those bytes and decoded as UTF-8. A name that
// does not narrow without loss (a correctly decoded Cyrillic name, say) or
// whose bytes are not UTF-8 is kept as read.
std::u16string RedecodeMapName(const std::u16string& name) {
    if (name.empty()) return name;
    int bytes = WideCharToMultiByte(CP_ACP, 0, name.data(), int(name.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return name;
    std::string narrow(size_t(bytes), '\0');
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, name.data(), int(name.size()), narrow.data(), bytes, nullptr, &lossy) != bytes ||
        lossy)
        return name;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), bytes, nullptr, 0);
    if (units <= 0) return name;
    std::u16string wide(size_t(units), u'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), bytes, wide.data(), units) != units)
        return name;
    return wide;
}

// "MAP": one map of the map block.
void LoadMap(IXMLDOMElement* node, WeatherFields& f) {
    auto id = AttributeText(node, u"id");
    f.mapIdx = ParseInteger(id.value_or(std::u16string()));
    if (auto name = AttributeText(node, u"name"))
        f.mapName = RedecodeMapName(*name);
    else if (id)
        f.mapName = *id;
    if (auto url = NodeText(node); url && !url->empty()) f.mapURL = std::move(*url);
    f.date = CurrentLocalDate();
}

}  // namespace

HRESULT LoadFields(WeatherFields& f, IUnknown* node, KWeatherType type) {
    skyvane::ComPtr<IXMLDOMElement> element;
    skyvane::ComPtr<IXMLDOMNode> asNode;
    if (!node || FAILED(node->QueryInterface(IID_PPV_ARGS(&element))) ||
        FAILED(node->QueryInterface(IID_PPV_ARGS(&asNode))))
        return skyvane::ReportError(E_NOINTERFACE, CLSID_KWeatherInfo, IID_IKWeatherInfo,
                                    u"The node is not an XML element");
    switch (type) {
        case KWCurrent:
            return LoadCurrent(element.Get(), f);
        case KWDay:
        case KWNight:
        case KWHBH:
            return LoadDayOrHour(element.Get(), type, f);
        case KWLocal:
            return LoadLocal(element.Get(), f);
        case KWAlert:
            LoadAlert(element.Get(), f);
            return S_OK;
        case KWPressureArchive:
        case KWTempArchive:
        case KWWindchillArchive:
            return LoadArchive(element.Get(), type, f);
        case KWMap:
            LoadMap(element.Get(), f);
            return S_OK;
        default:
            // The reserved kinds carry no data of their own.
            return S_OK;
    }
}

}  // namespace kweather
