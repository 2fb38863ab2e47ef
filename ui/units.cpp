#include "ui/units.h"

#include <algorithm>
#include <initializer_list>

#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::ui {
namespace {

bool In(int32_t t, std::initializer_list<int32_t> set) { return std::find(set.begin(), set.end(), t) != set.end(); }
bool Between(int32_t t, int32_t low, int32_t high) { return t >= low && t <= high; }
bool Known(int32_t t) { return Between(t, 1, 40); }

bool IsMph(int32_t t) { return In(t, {1, 7, 8, 12, 16, 17}) || Between(t, 21, 26); }

constexpr int32_t kOfferOrder[] = {2,  13, 5,  14, 6,  15, 1,  12, 7,  16, 8,  17, 9,  18, 10, 19, 11, 20, 21,
                                   24, 22, 25, 23, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};
// The knot systems are shown as written.
constexpr const char16_t* kKnotTexts[] = {
    u"°F,Knot,inHg,12h", u"°F,Knot,mBar,12h", u"°F,Knot,hPa,12h", u"°F,Knot,inHg,24h", u"°F,Knot,mBar,24h",
    u"°F,Knot,hPa,24h",  u"°C,Knot,inHg,12h", u"°C,Knot,mBar,12h", u"°C,Knot,hPa,12h", u"°C,Knot,inHg,24h",
    u"°C,Knot,mBar,24h", u"°C,Knot,hPa,24h",  u"°C,Knot,mmHg,12h", u"°C,Knot,mmHg,24h"};

// The option texts are numbered in the options list's order.
static_assert(text::kUnitSystem26 == text::kUnitSystem2 + 23);

}  // namespace

bool IsFahrenheit(int32_t t) { return In(t, {1, 7, 8, 12, 16, 17}) || Between(t, 27, 32); }
bool HasTemperatureScale(int32_t t) { return Known(t) && t != 3 && t != 4; }

WindUnit WindUnitOf(int32_t t) {
    if (IsMph(t)) return WindUnit::MilesPerHour;
    if (In(t, {9, 10, 11, 18, 19, 20})) return WindUnit::KilometresPerHour;
    if (Between(t, 27, 40)) return WindUnit::Knots;
    return WindUnit::MetresPerSecond;
}

PressureUnit PressureUnitOf(int32_t t) {
    if (In(t, {1, 12, 21, 24, 27, 30, 33, 36})) return PressureUnit::InHg;
    if (In(t, {2, 9, 13, 18, 39, 40})) return PressureUnit::MmHg;
    if (In(t, {5, 7, 10, 14, 16, 19, 22, 25, 28, 31, 34, 37})) return PressureUnit::MBar;
    if (In(t, {6, 8, 11, 15, 17, 20, 23, 26, 29, 32, 35, 38})) return PressureUnit::HPa;
    return PressureUnit::None;
}

VisibilityUnit VisibilityUnitOf(int32_t t) {
    if (IsMph(t)) return VisibilityUnit::Miles;
    if (In(t, {2, 5, 6, 13, 14, 15})) return VisibilityUnit::Metres;
    if (Between(t, 27, 40)) return VisibilityUnit::NauticalMiles;
    return VisibilityUnit::Kilometres;
}

bool Uses12HourClock(int32_t t) {
    return In(t, {1, 2, 39}) || Between(t, 5, 11) || Between(t, 21, 23) || Between(t, 27, 29) || Between(t, 33, 35);
}

double ToDisplayTemperature(int32_t t, double x) {
    if (x == kMissingValue || !HasTemperatureScale(t)) return kMissingValue;
    return IsFahrenheit(t) ? x * 9 * 0.2 + 32 : x;
}

double ToDisplayPressure(int32_t t, double x) {
    if (x > 9000 || x <= 1) return x;
    switch (PressureUnitOf(t)) {
    case PressureUnit::InHg: return x * 0.029527559055118113;
    case PressureUnit::MmHg: return x * 0.75;
    case PressureUnit::MBar:
    case PressureUnit::HPa: return x;
    case PressureUnit::None: break;
    }
    return -1.0;
}

int32_t ToDisplayWind(int32_t t, int32_t x) {
    if (x < 1) return x;
    if (!Known(t)) return -1;
    switch (WindUnitOf(t)) {
    case WindUnit::MilesPerHour: return int32_t(x * 0.6215040397762586 + 0.5);
    case WindUnit::MetresPerSecond: return int32_t(x * 0.2777777777777778 + 0.5);
    case WindUnit::Knots: return int32_t(x * 0.5399568034557235 + 0.5);
    case WindUnit::KilometresPerHour: break;
    }
    return x;
}

int32_t ToDisplayVisibility(int32_t t, int32_t x) {
    if (x < 1) return x;
    if (!Known(t)) return -1;
    switch (VisibilityUnitOf(t)) {
    case VisibilityUnit::Metres: return int32_t(x * 1609 + 0.5);
    case VisibilityUnit::Kilometres: return int32_t(x * 1.609 + 0.5);
    case VisibilityUnit::NauticalMiles: return int32_t(x * 1.609 * 0.5399568034557235 + 0.5);
    case VisibilityUnit::Miles: break;
    }
    return x;
}

std::u16string TemperatureLetter(int32_t t) { return IsFahrenheit(t) ? u"F" : u"C"; }

std::u16string WindLabel(int32_t t) {
    switch (WindUnitOf(t)) {
    case WindUnit::MilesPerHour: return TranslateStringId(text::kUnitMph);
    case WindUnit::KilometresPerHour: return TranslateStringId(text::kUnitKmh);
    case WindUnit::Knots: return u"kt";
    case WindUnit::MetresPerSecond: break;
    }
    return TranslateStringId(text::kUnitMs);
}

std::u16string PressureLabel(int32_t t) {
    switch (PressureUnitOf(t)) {
    case PressureUnit::InHg: return TranslateStringId(text::kUnitInHg);
    case PressureUnit::MBar: return TranslateStringId(text::kUnitMBar);
    case PressureUnit::HPa: return TranslateStringId(text::kUnitHPa);
    case PressureUnit::MmHg:
    case PressureUnit::None: break;
    }
    return TranslateStringId(text::kUnitMmHg);
}

std::u16string VisibilityLabel(int32_t t) {
    switch (VisibilityUnitOf(t)) {
    case VisibilityUnit::Miles: return TranslateStringId(text::kUnitMiles);
    case VisibilityUnit::Metres: return TranslateStringId(text::kUnitMetres);
    case VisibilityUnit::NauticalMiles: return u"nmi";
    case VisibilityUnit::Kilometres: break;
    }
    return TranslateStringId(text::kUnitKm);
}

std::span<const int32_t> UnitTypesInOfferOrder() { return kOfferOrder; }

std::u16string UnitTypeText(int32_t t) {
    for (size_t i = 0; i < std::size(kOfferOrder); ++i) {
        if (kOfferOrder[i] != t) continue;
        if (i < 24) return TranslateStringId(text::kUnitSystem2 + int32_t(i));
        return kKnotTexts[i - 24];
    }
    return {};
}

}  // namespace skyvane::ui
