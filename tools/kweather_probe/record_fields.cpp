#include "kweather_probe/record_fields.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/ole_date.h"

namespace skyvane::probe {
namespace {

using Info = IKWeatherInfo8;

std::u16string Ascii(const char* text) { return skyvane::FromUtf8(text); }

std::u16string DateText(DATE date) {
    if (date < 0) return u"NA";
    SYSTEMTIME t{};
    if (!VariantTimeToSystemTime(date, &t)) return u"?";
    char buffer[40];
    if (std::floor(date) == 0)
        std::snprintf(buffer, sizeof buffer, "%02u:%02u", unsigned(t.wHour), unsigned(t.wMinute));
    else
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u", unsigned(t.wYear), unsigned(t.wMonth),
                      unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute));
    return Ascii(buffer);
}

std::u16string NumberText(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return Ascii(buffer);
}

}  // namespace

std::u16string RecordFields(Info* r) {
    std::u16string out;
    auto line = [&](const char16_t* name, const std::u16string& value) {
        out += name;
        out += u": ";
        out += value;
        out += u'\n';
    };
    auto text = [&](const char16_t* name, HRESULT (STDMETHODCALLTYPE Info::*get)(BSTR*)) {
        skyvane::Bstr b;
        (r->*get)(b.Out());
        line(name, b.get() ? b.Str() : std::u16string(u"<null>"));
    };
    auto date = [&](const char16_t* name, HRESULT (STDMETHODCALLTYPE Info::*get)(DATE*)) {
        DATE d = -1;
        (r->*get)(&d);
        line(name, DateText(d));
    };
    auto real = [&](const char16_t* name, HRESULT (STDMETHODCALLTYPE Info::*get)(double*)) {
        double d = 0;
        (r->*get)(&d);
        line(name, NumberText(d));
    };
    auto integer = [&](const char16_t* name, HRESULT (STDMETHODCALLTYPE Info::*get)(INT*)) {
        INT v = 0;
        (r->*get)(&v);
        line(name, NumberText(v));
    };
    auto number = [&](const char16_t* name, HRESULT (STDMETHODCALLTYPE Info::*get)(LONG*)) {
        LONG v = 0;
        (r->*get)(&v);
        line(name, NumberText(v));
    };

    KWeatherType type = KWUnknown;
    r->get_Type(&type);
    line(u"Type", NumberText(type));
    text(u"SuppliedString", &Info::get_SuppliedString);
    date(u"Date", &Info::get_Date);
    date(u"ForecastDate", &Info::get_ForecastDate);
    date(u"Sunrise", &Info::get_Sunrise);
    date(u"Sunset", &Info::get_Sunset);
    real(u"TempLow", &Info::get_TempLow);
    real(u"TempHigh", &Info::get_TempHigh);
    text(u"LocationName", &Info::get_LocationName);
    integer(u"Icon", &Info::get_Icon);
    integer(u"Icon2", &Info::get_Icon2);
    text(u"Text", &Info::get_Text);
    text(u"Description", &Info::get_Description);
    number(u"VeroyatnostOsadkov", &Info::get_VeroyatnostOsadkov);
    integer(u"Humidity", &Info::get_Humidity);
    integer(u"WindSpeed", &Info::get_WindSpeed);
    integer(u"WindPorivy", &Info::get_WindPorivy);
    integer(u"WindDirection", &Info::get_WindDirection);
    text(u"WindText", &Info::get_WindText);
    integer(u"CCTempFeelsLike", &Info::get_CCTempFeelsLike);
    real(u"CCPressure", &Info::get_CCPressure);
    text(u"CCPressureText", &Info::get_CCPressureText);
    integer(u"CCVisibility", &Info::get_CCVisibility);
    integer(u"CCUVIndex", &Info::get_CCUVIndex);
    text(u"CCUVText", &Info::get_CCUVText);
    integer(u"CCTochkaRosy", &Info::get_CCTochkaRosy);
    real(u"CCWindChill", &Info::get_CCWindChill);
    real(u"CCHeatIndex", &Info::get_CCHeatIndex);
    integer(u"GMT", &Info::get_GMT);
    text(u"USLoc", &Info::get_USLoc);
    date(u"MoonRise", &Info::get_MoonRise);
    date(u"MoonSet", &Info::get_MoonSet);
    number(u"MoonPhaseIndex", &Info::get_MoonPhaseIndex);
    text(u"MoonPhaseText", &Info::get_MoonPhaseText);
    text(u"AlertType", &Info::get_AlertType);
    text(u"Bulletin", &Info::get_Bulletin);
    date(u"AlertEnd", &Info::get_AlertEnd);
    integer(u"MapIdx", &Info::get_MapIdx);
    text(u"MapName", &Info::get_MapName);
    text(u"MapURL", &Info::get_MapURL);
    std::u16string archive;
    r->BeginArchive(nullptr);
    INT hours = 0, value = 0;
    while (r->get_NextArchive(&hours, &value) == S_OK) {
        if (!archive.empty()) archive += u' ';
        archive += NumberText(hours) + u"=" + NumberText(value);
    }
    line(u"Archive", archive);
    return out;
}

}  // namespace skyvane::probe
