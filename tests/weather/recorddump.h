// Every property of a record in one text, for comparing records made in
// different ways (DebugInfo and the properties it leaves out).
#pragma once

#include <initializer_list>
#include <string>

#include "platform/bstr.h"
#include "platform/wformat.h"
#include "weather/kweather_interfaces.h"

namespace kweather::test {

inline std::u16string DumpRecord(IKWeatherInfo8* r) {
    using skyvane::Bstr;
    auto text = [&](HRESULT (STDMETHODCALLTYPE IKWeatherInfo8::*get)(BSTR*)) {
        Bstr b;
        HRESULT hr = (r->*get)(b.Out());
        return skyvane::FormatW(u"[%x:", unsigned(hr)) + (b.get() ? b.Str() : std::u16string(u"<null>")) + u"]";
    };
    std::u16string out = text(&IKWeatherInfo8::get_DebugInfo);
    for (auto get : std::initializer_list<HRESULT (STDMETHODCALLTYPE IKWeatherInfo8::*)(BSTR*)>{
             &IKWeatherInfo8::get_SuppliedString, &IKWeatherInfo8::get_LocationName, &IKWeatherInfo8::get_Text,
             &IKWeatherInfo8::get_WindText, &IKWeatherInfo8::get_CCPressureText, &IKWeatherInfo8::get_CCUVText,
             &IKWeatherInfo8::get_Description, &IKWeatherInfo8::get_AlertType, &IKWeatherInfo8::get_Bulletin,
             &IKWeatherInfo8::get_USLoc, &IKWeatherInfo8::get_MoonPhaseText, &IKWeatherInfo8::get_MapURL,
             &IKWeatherInfo8::get_MapName})
        out += text(get);
    DATE dates[6] = {};
    r->get_Date(&dates[0]);
    r->get_ForecastDate(&dates[1]);
    r->get_AlertEnd(&dates[2]);
    r->get_MoonRise(&dates[3]);
    r->get_MoonSet(&dates[4]);
    double doubles[6] = {};
    r->get_TempLow(&doubles[0]);
    r->get_TempHigh(&doubles[1]);
    r->get_CCPressure(&doubles[2]);
    r->get_CCWindChill(&doubles[3]);
    r->get_CCHeatIndex(&doubles[4]);
    for (double d : dates) out += skyvane::FormatW(u"{%.17g}", d);
    for (double d : doubles) out += skyvane::FormatW(u"{%.17g}", d);
    INT ints[4] = {};
    r->get_GMT(&ints[0]);
    r->get_Icon2(&ints[1]);
    r->get_MapIdx(&ints[2]);
    LONG phase = 0;
    r->get_MoonPhaseIndex(&phase);
    KWeatherType type = KWUnknown;
    r->get_Type(&type);
    out += skyvane::FormatW(u"{%d,%d,%d,%d,%d}", ints[0], ints[1], ints[2], int(phase), int(type));
    r->BeginArchive(nullptr);
    INT hours = 0, value = 0;
    while (r->get_NextArchive(&hours, &value) == S_OK) out += skyvane::FormatW(u"(%d,%d)", hours, value);
    return out;
}

}  // namespace kweather::test
