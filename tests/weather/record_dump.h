// Every property of a record in one text, for comparing records made in
// different ways (DebugInfo and the properties it leaves out).
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/oleaut/bstr.h"
#include "weather/kweather_interfaces.h"

namespace skyvane::weather::test {

inline std::u16string DumpRecord(IKWeatherInfo8* r) {
    using skyvane::Bstr;
    std::u16string out;
    // Numbers go in as their exact bits: no formatting, no rounding.
    auto bits = [&](std::uint64_t v) {
        for (int shift = 60; shift >= 0; shift -= 4) out.push_back(u"0123456789abcdef"[(v >> shift) & 15]);
        out.push_back(u',');
    };
    auto text = [&](HRESULT (STDMETHODCALLTYPE IKWeatherInfo8::*get)(BSTR*)) {
        Bstr b;
        bits(std::uint64_t(std::uint32_t((r->*get)(b.Out()))));
        out += b.get() ? b.Str() : std::u16string(u"<null>");
        out += u'|';
    };
    for (auto get : std::initializer_list<HRESULT (STDMETHODCALLTYPE IKWeatherInfo8::*)(BSTR*)>{
             &IKWeatherInfo8::get_DebugInfo, &IKWeatherInfo8::get_SuppliedString, &IKWeatherInfo8::get_LocationName,
             &IKWeatherInfo8::get_Text, &IKWeatherInfo8::get_WindText, &IKWeatherInfo8::get_CCPressureText,
             &IKWeatherInfo8::get_CCUVText, &IKWeatherInfo8::get_Description, &IKWeatherInfo8::get_AlertType,
             &IKWeatherInfo8::get_Bulletin, &IKWeatherInfo8::get_USLoc, &IKWeatherInfo8::get_MoonPhaseText,
             &IKWeatherInfo8::get_MapURL, &IKWeatherInfo8::get_MapName})
        text(get);
    double doubles[10] = {};
    r->get_Date(&doubles[0]);
    r->get_ForecastDate(&doubles[1]);
    r->get_AlertEnd(&doubles[2]);
    r->get_MoonRise(&doubles[3]);
    r->get_MoonSet(&doubles[4]);
    r->get_TempLow(&doubles[5]);
    r->get_TempHigh(&doubles[6]);
    r->get_CCPressure(&doubles[7]);
    r->get_CCWindChill(&doubles[8]);
    r->get_CCHeatIndex(&doubles[9]);
    for (double d : doubles) bits(std::bit_cast<std::uint64_t>(d));
    INT ints[3] = {};
    r->get_GMT(&ints[0]);
    r->get_Icon2(&ints[1]);
    r->get_MapIdx(&ints[2]);
    LONG phase = 0;
    r->get_MoonPhaseIndex(&phase);
    KWeatherType type = KWUnknown;
    r->get_Type(&type);
    for (long v : {long(ints[0]), long(ints[1]), long(ints[2]), long(phase), long(type)}) bits(std::uint64_t(v));
    r->BeginArchive(nullptr);
    INT hours = 0, value = 0;
    while (r->get_NextArchive(&hours, &value) == S_OK) {
        bits(std::uint64_t(std::int64_t(hours)));
        bits(std::uint64_t(std::int64_t(value)));
    }
    return out;
}

}  // namespace skyvane::weather::test
