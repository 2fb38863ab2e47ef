#include "bench/weather_plain_walk.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/msxml/msxml.h"
#include "weather/record_loader.h"
#include "weather/value_readers.h"

namespace skyvane::weather::bench {
namespace {

using Node = pugi::xml_node;
using Fields = WeatherFields;

// One child element a record reads: its name and what it does with it.
struct Rule {
    std::string_view name;
    void (*apply)(Fields& f, Node element);
};

std::string_view TextOf(Node n) { return n.child_value(); }
void TextTo(std::u16string& field, Node n) { skyvane::XmlTextToUtf16(TextOf(n), field); }
double WholeOf(Node n) {
    double v = ParseNumber(TextOf(n));
    return v == kNaDouble ? v : std::trunc(v);
}

template <size_t N>
void Apply(Node parent, const Rule (&rules)[N], Fields& f) {
    for (Node child = parent.first_child(); child; child = child.next_sibling()) {
        std::string_view name = child.name();
        for (const Rule& rule : rules) {
            if (rule.name == name) {
                rule.apply(f, child);
                break;
            }
        }
    }
}

constexpr Rule kWind[] = {
    {"s", [](Fields& f, Node n) { f.windSpeed = ParseInteger(TextOf(n)); }},
    {"gust", [](Fields& f, Node n) { f.windPorivy = ParseInteger(TextOf(n)); }},
    {"d", [](Fields& f, Node n) { f.windDirection = ParseInteger(TextOf(n)); }},
    {"t", [](Fields& f, Node n) { TextTo(f.windText, n); }},
};
constexpr Rule kBar[] = {
    {"r", [](Fields& f, Node n) { f.ccPressure = ParseNumber(TextOf(n)); }},
    {"d", [](Fields& f, Node n) { TextTo(f.ccPressureText, n); }},
};
constexpr Rule kUv[] = {
    {"i", [](Fields& f, Node n) { f.ccUVIndex = ParseInteger(TextOf(n)); }},
    {"t", [](Fields& f, Node n) { TextTo(f.ccUVText, n); }},
};
constexpr Rule kCurrent[] = {
    {"lsup", [](Fields& f, Node n) {
         TextTo(f.suppliedString, n);
         f.forecastDate = ParseStampDate(TextOf(n));
     }},
    {"tmp", [](Fields& f, Node n) { f.tempLow = f.tempHigh = ParseNumber(TextOf(n)); }},
    {"flik", [](Fields& f, Node n) { f.ccTempFeelsLike = ParseInteger(TextOf(n)); }},
    {"icon", [](Fields& f, Node n) { f.icon = ParseInteger(TextOf(n)); }},
    {"i2", [](Fields& f, Node n) { f.icon2 = ParseInteger(TextOf(n)); }},
    {"t", [](Fields& f, Node n) { TextTo(f.text, n); }},
    {"hmid", [](Fields& f, Node n) { f.humidity = ParseInteger(TextOf(n)); }},
    {"vis", [](Fields& f, Node n) {
         int v = 0;
         f.ccVisibility = TruncateToInt(ParseNumber(TextOf(n)), v) ? v : int(kNaDouble);
     }},
    {"dewp", [](Fields& f, Node n) { f.ccTochkaRosy = ParseInteger(TextOf(n)); }},
    {"wind", [](Fields& f, Node n) { Apply(n, kWind, f); }},
    {"bar", [](Fields& f, Node n) { Apply(n, kBar, f); }},
    {"uv", [](Fields& f, Node n) { Apply(n, kUv, f); }},
    {"GMT", [](Fields& f, Node n) { f.gmt = ParseInteger(TextOf(n)); }},
    {"sR", [](Fields& f, Node n) { f.sunrise = ParseClockTime(TextOf(n)); }},
    {"sS", [](Fields& f, Node n) { f.sunset = ParseClockTime(TextOf(n)); }},
    {"WINDCHILL", [](Fields& f, Node n) { f.ccWindChill = WholeOf(n); }},
    {"HEATINDEX", [](Fields& f, Node n) { f.ccHeatIndex = WholeOf(n); }},
};
constexpr Rule kPart[] = {
    {"icon", [](Fields& f, Node n) { f.icon = ParseInteger(TextOf(n)); }},
    {"t", [](Fields& f, Node n) { TextTo(f.text, n); }},
    {"desc", [](Fields& f, Node n) { TextTo(f.description, n); }},
    {"ppcp", [](Fields& f, Node n) { f.veroyatnostOsadkov = ParseInteger(TextOf(n)); }},
    {"hmid", [](Fields& f, Node n) { f.humidity = ParseInteger(TextOf(n)); }},
    {"wind", [](Fields& f, Node n) { Apply(n, kWind, f); }},
    {"uvidx", [](Fields& f, Node n) { f.ccUVIndex = ParseInteger(TextOf(n)); }},
    {"uvtxt", [](Fields& f, Node n) { TextTo(f.ccUVText, n); }},
};
// A day or an hour; the parts a record reads depend on its kind.
void ReadPart(Fields& f, Node part) {
    std::string_view p = part.attribute("p").value();
    bool wanted = f.type == KWHBH || (f.type == KWDay && p == "d") || (f.type == KWNight && p == "n");
    if (wanted && part.attribute("p")) Apply(part, kPart, f);
}
double Temperature(const Fields& f, Node n) {
    return f.type == KWHBH ? ParseTemperature(TextOf(n)) : ParseNumber(TextOf(n));
}
constexpr Rule kDay[] = {
    {"hi", [](Fields& f, Node n) { f.tempHigh = Temperature(f, n); }},
    {"low", [](Fields& f, Node n) { f.tempLow = Temperature(f, n); }},
    {"sunr", [](Fields& f, Node n) { f.sunrise = ParseClockTime(TextOf(n)); }},
    {"suns", [](Fields& f, Node n) { f.sunset = ParseClockTime(TextOf(n)); }},
    {"moonr", [](Fields& f, Node n) { f.moonRise = ParseClockTime(TextOf(n)); }},
    {"moons", [](Fields& f, Node n) { f.moonSet = ParseClockTime(TextOf(n)); }},
    {"moonp", [](Fields& f, Node n) { f.moonPhaseIndex = ParseInteger(TextOf(n)); }},
    {"moonpt", [](Fields& f, Node n) { TextTo(f.moonPhaseText, n); }},
    {"ui", [](Fields& f, Node n) { f.ccUVIndex = ParseInteger(TextOf(n)); }},
    {"part", ReadPart},
};
constexpr Rule kLocal[] = {
    {"dnam", [](Fields& f, Node n) { TextTo(f.locationName, n); }},
    {"tmp", [](Fields& f, Node n) { f.tempLow = f.tempHigh = ParseNumber(TextOf(n)); }},
    {"sunr", [](Fields& f, Node n) { f.sunrise = ParseClockTime(TextOf(n)); }},
    {"suns", [](Fields& f, Node n) { f.sunset = ParseClockTime(TextOf(n)); }},
    {"tm", [](Fields& f, Node n) { f.date = ParseClockTime(TextOf(n)); }},
};

void ReadArchive(Node block, Fields& f) {
    const char letter = block.name()[0];
    for (Node entry = block.first_child(); entry; entry = entry.next_sibling()) {
        std::string_view name = entry.name();
        int hours = 0, value = 0;
        pugi::xml_attribute v = entry.attribute("v");
        if (name.empty() || name[0] != letter || !ScanInteger(name.substr(1), hours) || hours == 9999 || !v ||
            !TruncateToInt(ParseNumber(std::string_view(v.value())), value))
            continue;
        f.archive.emplace_back(hours, value);
    }
}

DATE AlertTime(pugi::xml_attribute a, DATE now) {
    DATE d = 0;
    return a && TryParseAlertTime(std::string_view(a.value()), d) ? d : now;
}

class Walk {
public:
    explicit Walk(std::vector<WeatherFields>& out) : out_(out) {}

    void Run(Node root) {
        for (Node block = root.first_child(); block; block = block.next_sibling()) {
            std::string_view name = block.name();
            if (name == "dayf" || name == "hh") {
                Forecast(block);
            } else if (name == "cc") {
                Read(block, kCurrent, Add(KWCurrent)).usLoc = usLoc_;
            } else if (name == "pa" || name == "ta" || name == "wa") {
                Fields& f = Add(name == "pa" ? KWPressureArchive : name == "ta" ? KWTempArchive : KWWindchillArchive);
                ReadArchive(block, f);
                f.usLoc = usLoc_;
            } else if (name == "loc") {
                Read(block, kLocal, Add(KWLocal));
            } else if (name == "alerts") {
                for (Node alert : block.children("WatchesWarnings")) {
                    Fields& f = Add(KWAlert);
                    f.icon = 50;
                    skyvane::XmlTextToUtf16(alert.attribute("Type").value(), f.alertType);
                    skyvane::XmlTextToUtf16(alert.attribute("Bulletin").value(), f.bulletin);
                    f.date = AlertTime(alert.attribute("StartTime"), Now());
                    f.alertEnd = AlertTime(alert.attribute("EndTime"), Now());
                }
            } else if (name == "MAPS") {
                for (Node map : block.children("MAP")) Map(map);
            }
        }
        std::stable_sort(maps_.begin(), maps_.end(),
                         [](const Fields& a, const Fields& b) { return a.mapIdx > b.mapIdx; });
        for (Fields& map : maps_) out_.push_back(std::move(map));
    }

private:
    template <size_t N>
    static Fields& Read(Node parent, const Rule (&rules)[N], Fields& f) {
        Apply(parent, rules, f);
        return f;
    }
    Fields& Add(KWeatherType type) {
        out_.emplace_back().type = type;
        return out_.back();
    }
    DATE Now() {
        if (now_ < 0) now_ = CurrentLocalDate();
        return now_;
    }

    void Forecast(Node block) {
        DATE base = kNaDate;
        std::string_view supplied;
        for (Node e = block.first_child(); e; e = e.next_sibling()) {
            std::string_view name = e.name();
            if (name == "lsup") {
                supplied = TextOf(e);
                base = ParseStampDate(supplied);
            } else if (name == "us") {
                skyvane::XmlTextToUtf16(TextOf(e), usLoc_);
            } else if (name == "day" || name == "hday") {
                const bool hour = name == "hday";
                pugi::xml_attribute d = e.attribute(hour ? "dt" : "d");
                for (KWeatherType type : {hour ? KWHBH : KWDay, KWNight}) {
                    Fields& f = Add(type);
                    skyvane::XmlTextToUtf16(supplied, f.suppliedString);
                    Apply(e, kDay, f);
                    f.forecastDate = base;
                    if (hour) {
                        if (d) f.date = ParseStampDate(std::string_view(d.value()));
                        break;
                    }
                    f.date = std::trunc(base + (d ? ParseInteger(std::string_view(d.value())) : kNaInt));
                    f.usLoc = usLoc_;
                }
            }
        }
    }

    void Map(Node map) {
        Fields f;
        f.type = KWMap;
        pugi::xml_attribute id = map.attribute("id"), name = map.attribute("name");
        f.mapIdx = id ? ParseInteger(std::string_view(id.value())) : kNaInt;
        if (name)
            f.mapName = RedecodeMapName(skyvane::XmlTextToUtf16(name.value()));
        else if (id)
            skyvane::XmlTextToUtf16(id.value(), f.mapName);
        TextTo(f.mapURL, map);
        f.date = Now();
        maps_.push_back(std::move(f));
    }

    std::vector<WeatherFields>& out_;
    std::vector<WeatherFields> maps_;
    std::u16string usLoc_;
    DATE now_ = -1.0;
};

}  // namespace

bool PlainRead(std::string_view utf8, std::vector<WeatherFields>& records) {
    records.clear();
    pugi::xml_document doc;
    if (!doc.load_buffer(utf8.data(), utf8.size())) return false;
    Walk(records).Run(doc.document_element());
    return true;
}

}  // namespace skyvane::weather::bench
