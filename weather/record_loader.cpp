// LoadFromXMLNode: fills one record from one element of the answer. Each kind
// reads its own table of child elements; a field changes only when its element
// is met, and a value that does not read leaves the field's not-available value.
// The tables are written once over a DOM access policy (domaccess.h).
#include "weather/record_loader.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "platform/kernel/nls/text_conv.h"
#include "weather/dom_access.h"

namespace skyvane::weather {
namespace {

template <class Dom>
struct Loader {
    using Element = const typename Dom::Element&;
    using Text = typename Dom::Text;

    // The text a value reader reads (empty when the DOM gives none).
    struct Value {
        explicit Value(Element e) { Dom::GetText(e, text); }
        auto View() const { return text.View(); }
        Text text;
    };

    // A text field: assigned only when the DOM gives a text.
    static void ReadText(Element e, std::u16string& field) {
        Text text;
        if (Dom::GetText(e, text)) text.AssignTo(field);
    }
    static bool Attribute(Element e, std::string_view name, std::u16string& out) {
        Text text;
        if (!Dom::GetAttribute(e, name, text)) return false;
        text.AssignTo(out);
        return true;
    }

    static double Number(Element e) { return ParseNumber(Value(e).View()); }
    static int Integer(Element e) { return ParseInteger(Value(e).View()); }
    static DATE Clock(Element e) { return ParseClockTime(Value(e).View()); }
    // Hour records convert temperatures marked as Fahrenheit.
    static double Temperature(Element e, bool hour) {
        return hour ? ParseTemperature(Value(e).View()) : Number(e);
    }
    // A whole number read by ParseNumber, kept as a double (wind chill, heat index).
    static double WholeNumber(Element e) {
        double v = Number(e);
        return v == kNaDouble ? v : std::trunc(v);
    }

    // Wind: "s" speed, "gust", "d" direction, "t" compass text.
    static HRESULT Wind(Element wind, WeatherFields& f) {
        return Dom::ForEachChild(wind, [&](Element e, auto name) {
            if (NameIs(name, "s")) f.windSpeed = Integer(e);
            else if (NameIs(name, "gust")) f.windPorivy = Integer(e);
            else if (NameIs(name, "d")) f.windDirection = Integer(e);
            else if (NameIs(name, "t")) ReadText(e, f.windText);
            return S_OK;
        });
    }

    // "cc": the current conditions.
    static HRESULT Current(Element node, WeatherFields& f) {
        return Dom::ForEachChild(node, [&](Element e, auto name) -> HRESULT {
            if (NameIs(name, "lsup")) {
                Text text;
                if (Dom::GetText(e, text)) {
                    text.AssignTo(f.suppliedString);
                    f.forecastDate = ParseStampDate(text.View());
                }
            } else if (NameIs(name, "tmp")) {
                f.tempLow = f.tempHigh = Number(e);
            } else if (NameIs(name, "flik")) {
                f.ccTempFeelsLike = Integer(e);
            } else if (NameIs(name, "icon")) {
                f.icon = Integer(e);
            } else if (NameIs(name, "i2")) {
                f.icon2 = Integer(e);
            } else if (NameIs(name, "t")) {
                ReadText(e, f.text);
            } else if (NameIs(name, "hmid")) {
                f.humidity = Integer(e);
            } else if (NameIs(name, "vis")) {
                // Words such as "Unlimited" are not numbers: 999999.
                int v = 0;
                f.ccVisibility = TruncateToInt(Number(e), v) ? v : int(kNaDouble);
            } else if (NameIs(name, "dewp")) {
                f.ccTochkaRosy = Integer(e);
            } else if (NameIs(name, "wind")) {
                return Wind(e, f);
            } else if (NameIs(name, "bar")) {
                return Dom::ForEachChild(e, [&](Element c, auto n) {
                    if (NameIs(n, "r")) f.ccPressure = Number(c);
                    else if (NameIs(n, "d")) ReadText(c, f.ccPressureText);
                    return S_OK;
                });
            } else if (NameIs(name, "uv")) {
                return Dom::ForEachChild(e, [&](Element c, auto n) {
                    if (NameIs(n, "i")) f.ccUVIndex = Integer(c);
                    else if (NameIs(n, "t")) ReadText(c, f.ccUVText);
                    return S_OK;
                });
            } else if (NameIs(name, "GMT")) {
                f.gmt = Integer(e);
            } else if (NameIs(name, "sR")) {
                f.sunrise = Clock(e);
            } else if (NameIs(name, "sS")) {
                f.sunset = Clock(e);
            } else if (NameIs(name, "WINDCHILL")) {
                f.ccWindChill = WholeNumber(e);
            } else if (NameIs(name, "HEATINDEX")) {
                f.ccHeatIndex = WholeNumber(e);
            }
            return S_OK;
        });
    }

    // A "part" of a day or hour. Days and hours have many children: the first
    // letter of a name picks the names it may be.
    static HRESULT Part(Element part, WeatherFields& f) {
        return Dom::ForEachChild(part, [&](Element e, auto name) -> HRESULT {
            switch (FirstLetter(name)) {
                case u'i':
                    if (NameIs(name, "icon")) f.icon = Integer(e);
                    break;
                case u't':
                    if (NameIs(name, "t")) ReadText(e, f.text);
                    break;
                case u'd':
                    if (NameIs(name, "desc")) ReadText(e, f.description);
                    break;
                case u'p':
                    if (NameIs(name, "ppcp")) f.veroyatnostOsadkov = Integer(e);
                    break;
                case u'h':
                    if (NameIs(name, "hmid")) f.humidity = Integer(e);
                    break;
                case u'w':
                    if (NameIs(name, "wind")) return Wind(e, f);
                    break;
                case u'u':
                    if (NameIs(name, "uvidx")) f.ccUVIndex = Integer(e);
                    else if (NameIs(name, "uvtxt")) ReadText(e, f.ccUVText);
                    break;
            }
            return S_OK;
        });
    }

    // "day" (for a day or a night record) and "hday" (for an hour record).
    // One walk may fill several records of the same element: a day and its
    // night are read together, each exactly as if read alone.
    static HRESULT DayOrHour(Element node, std::span<const DayTarget> targets) {
        // A day-level value, read once and given to every record.
        auto each = [&](auto WeatherFields::*field, auto value) {
            for (const DayTarget& t : targets) t.fields->*field = value;
        };
        const bool hour = targets.front().type == KWHBH;
        return Dom::ForEachChild(node, [&](Element e, auto name) -> HRESULT {
            switch (FirstLetter(name)) {
                case u'h':
                    if (NameIs(name, "hi")) each(&WeatherFields::tempHigh, Temperature(e, hour));
                    break;
                case u'l':
                    if (NameIs(name, "low")) each(&WeatherFields::tempLow, Temperature(e, hour));
                    break;
                case u's':
                case u'm':
                    if (DATE WeatherFields::*clock = ClockField(name))
                        each(clock, Clock(e));
                    else if (NameIs(name, "moonp"))
                        each(&WeatherFields::moonPhaseIndex, LONG(Integer(e)));
                    else if (NameIs(name, "moonpt"))
                        for (const DayTarget& t : targets) ReadText(e, t.fields->moonPhaseText);
                    break;
                case u'u':
                    if (NameIs(name, "ui")) each(&WeatherFields::ccUVIndex, Integer(e));
                    break;
                case u'p':
                    if (NameIs(name, "part")) return Parts(e, targets);
                    break;
            }
            return S_OK;
        });
    }

    // A day record reads the day part, a night record the night part, an hour
    // record every part (a later one overwriting). A part without "p" is
    // skipped.
    static HRESULT Parts(Element part, std::span<const DayTarget> targets) {
        Text p;
        if (!Dom::GetAttribute(part, "p", p)) return S_OK;
        for (const DayTarget& t : targets) {
            bool selected = t.type == KWHBH || (t.type == KWDay && NameIs(p.View(), "d")) ||
                            (t.type == KWNight && NameIs(p.View(), "n"));
            if (selected) {
                HRESULT hr = Part(part, *t.fields);
                if (FAILED(hr)) return hr;
            }
        }
        return S_OK;
    }

    // The clock times of a day or an hour.
    template <class Name>
    static DATE WeatherFields::*ClockField(const Name& name) {
        static constexpr std::pair<std::string_view, DATE WeatherFields::*> kTimes[] = {
            {"sunr", &WeatherFields::sunrise},
            {"suns", &WeatherFields::sunset},
            {"moonr", &WeatherFields::moonRise},
            {"moons", &WeatherFields::moonSet},
        };
        for (const auto& [wanted, field] : kTimes)
            if (NameIs(name, wanted)) return field;
        return nullptr;
    }

    // "loc": the location block.
    static HRESULT Local(Element node, WeatherFields& f) {
        return Dom::ForEachChild(node, [&](Element e, auto name) {
            if (NameIs(name, "dnam")) ReadText(e, f.locationName);
            else if (NameIs(name, "tmp")) f.tempLow = f.tempHigh = Number(e);
            else if (NameIs(name, "sunr")) f.sunrise = Clock(e);
            else if (NameIs(name, "suns")) f.sunset = Clock(e);
            else if (NameIs(name, "tm")) f.date = Clock(e);
            return S_OK;
        });
    }

    // "pa", "ta", "wa": entries such as <p1 v="30.1"/>. The hours back come
    // from the child's name as the pattern "p%d" reads it.
    static HRESULT Archive(Element node, KWeatherType type, WeatherFields& f) {
        f.archive.clear();
        f.archivePos = 0;
        const char* own = type == KWPressureArchive ? "pa" : type == KWTempArchive ? "ta" : "wa";
        if (!NameIs(Dom::Name(node), own)) return S_OK;
        const char letter = own[0];
        return Dom::ForEachChild(node, [&](Element e, auto name) {
            if (name.empty() || name[0] != static_cast<unsigned char>(letter)) return S_OK;
            int hoursBack = 0;
            if (!ScanInteger(name.substr(1), hoursBack) || hoursBack == 9999) return S_OK;
            Text v;
            if (!Dom::GetAttribute(e, "v", v)) return S_OK;
            int value = 0;
            if (!TruncateToInt(ParseNumber(v.View()), value)) return S_OK;
            f.archive.emplace_back(hoursBack, value);
            f.archivePos = 0;
            return S_OK;
        });
    }

    // "WatchesWarnings": an alert.
    static void Alert(Element node, WeatherFields& f, ReadingTime& now) {
        f.icon = 50;
        if (!NameIs(Dom::Name(node), "WatchesWarnings")) return;
        if (!Attribute(node, "Type", f.alertType)) f.alertType.clear();
        if (!Attribute(node, "Bulletin", f.bulletin)) f.bulletin.clear();
        Text time;
        f.date = Dom::GetAttribute(node, "StartTime", time) ? AlertTime(time.View(), now) : now.Now();
        f.alertEnd = Dom::GetAttribute(node, "EndTime", time) ? AlertTime(time.View(), now) : now.Now();
    }

    // ParseAlertTime, whose fallback is the reading time.
    template <class View>
    static DATE AlertTime(View text, ReadingTime& now) {
        DATE d = 0;
        return TryParseAlertTime(text, d) ? d : now.Now();
    }

    // "MAP": one map of the map block.
    static void Map(Element node, WeatherFields& f, ReadingTime& now) {
        Text id;
        bool hasId = Dom::GetAttribute(node, "id", id);
        f.mapIdx = hasId ? ParseInteger(id.View()) : kNaInt;
        std::u16string name;
        if (Attribute(node, "name", name))
            f.mapName = RedecodeMapName(name);
        else if (hasId)
            f.mapName = id.Wide();
        Text url;
        if (Dom::GetText(node, url) && !url.View().empty()) url.AssignTo(f.mapURL);
        f.date = now.Now();
    }

    static HRESULT Load(Element element, KWeatherType type, WeatherFields& f, ReadingTime& now) {
        switch (type) {
            case KWCurrent:
                return Current(element, f);
            case KWDay:
            case KWNight:
            case KWHBH: {
                const DayTarget target{type, &f};
                return DayOrHour(element, std::span(&target, 1));
            }
            case KWLocal:
                return Local(element, f);
            case KWAlert:
                Alert(element, f, now);
                return S_OK;
            case KWPressureArchive:
            case KWTempArchive:
            case KWWindchillArchive:
                return Archive(element, type, f);
            case KWMap:
                Map(element, f, now);
                return S_OK;
            default:
                // The reserved kinds carry no data of their own.
                return S_OK;
        }
    }
};

}  // namespace

std::u16string RedecodeMapName(const std::u16string& name) {
    // ASCII reads the same in every code page and in UTF-8.
    if (std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; })) return name;
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

HRESULT LoadFields(WeatherFields& f, IUnknown* node, KWeatherType type, ReadingTime& time) {
    skyvane::ComPtr<IXMLDOMElement> element;
    skyvane::ComPtr<IXMLDOMNode> asNode;
    if (!node || FAILED(node->QueryInterface(IID_PPV_ARGS(&element))) || !element ||
        FAILED(node->QueryInterface(IID_PPV_ARGS(&asNode))) || !asNode)
        return skyvane::ReportError(E_NOINTERFACE, CLSID_KWeatherInfo, IID_IKWeatherInfo,
                                    u"The node is not an XML element");
    return Loader<ComDom>::Load(element.Get(), type, f, time);
}

HRESULT LoadFields(WeatherFields& f, const NativeDom::Element& element, KWeatherType type, ReadingTime& time) {
    return Loader<NativeDom>::Load(element, type, f, time);
}

HRESULT LoadDayAndNight(WeatherFields& day, WeatherFields& night, const NativeDom::Element& element) {
    day.type = KWDay;
    night.type = KWNight;
    const DayTarget targets[] = {{KWDay, &day}, {KWNight, &night}};
    return Loader<NativeDom>::DayOrHour(element, targets);
}

}  // namespace skyvane::weather
