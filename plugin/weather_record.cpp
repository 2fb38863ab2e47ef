#include "plugin/weather_record.h"

#include "platform/com/com_object.h"
#include "platform/oleaut/bstr.h"

namespace skyvane::plugin {
namespace {

void Check(HRESULT hr) {
    if (FAILED(hr)) throw skyvane::ComError(hr);
}

template <class T, class Getter>
T Get(IKWeatherInfo8* info, Getter getter) {
    T value{};
    Check((info->*getter)(&value));
    return value;
}

std::u16string GetText(IKWeatherInfo8* info, HRESULT (STDMETHODCALLTYPE IKWeatherInfo8::*getter)(BSTR*)) {
    skyvane::Bstr text;
    Check((info->*getter)(text.Out()));
    return text.Str();
}

}  // namespace

void CopyFromServiceRecord(WeatherRecord& r, IUnknown* object, double received) {
    skyvane::ComPtr<IKWeatherInfo8> info;
    if (!object) throw skyvane::ComError(E_POINTER);
    Check(object->QueryInterface(IID_PPV_ARGS(&info)));
    IKWeatherInfo8* i = info.Get();

    r.received = received;
    r.tempHigh = Get<double>(i, &IKWeatherInfo8::get_TempHigh);
    r.tempLow = Get<double>(i, &IKWeatherInfo8::get_TempLow);
    int icon = Get<INT>(i, &IKWeatherInfo8::get_Icon);
    r.icon = icon >= 0 && icon <= kLastIcon ? icon : kIconNotAvailable;
    r.icon2 = Get<INT>(i, &IKWeatherInfo8::get_Icon2);
    r.text = GetText(i, &IKWeatherInfo8::get_Text);
    r.description = GetText(i, &IKWeatherInfo8::get_Description);
    r.humidity = Get<INT>(i, &IKWeatherInfo8::get_Humidity);
    r.windSpeed = Get<INT>(i, &IKWeatherInfo8::get_WindSpeed);
    r.windDirection = Get<INT>(i, &IKWeatherInfo8::get_WindDirection);
    r.windText = GetText(i, &IKWeatherInfo8::get_WindText);
    r.pressure = Get<double>(i, &IKWeatherInfo8::get_CCPressure);
    r.pressureText = GetText(i, &IKWeatherInfo8::get_CCPressureText);
    r.windChill = Get<double>(i, &IKWeatherInfo8::get_CCWindChill);
    r.heatIndex = Get<double>(i, &IKWeatherInfo8::get_CCHeatIndex);
    r.visibility = Get<INT>(i, &IKWeatherInfo8::get_CCVisibility);
    r.uvIndex = Get<INT>(i, &IKWeatherInfo8::get_CCUVIndex);
    r.uvText = GetText(i, &IKWeatherInfo8::get_CCUVText);
    r.precipitation = Get<LONG>(i, &IKWeatherInfo8::get_VeroyatnostOsadkov);
    r.sunrise = Get<DATE>(i, &IKWeatherInfo8::get_Sunrise);
    r.sunset = Get<DATE>(i, &IKWeatherInfo8::get_Sunset);
    r.moonRise = Get<DATE>(i, &IKWeatherInfo8::get_MoonRise);
    r.moonSet = Get<DATE>(i, &IKWeatherInfo8::get_MoonSet);
    r.moonPhaseIndex = Get<LONG>(i, &IKWeatherInfo8::get_MoonPhaseIndex);
    r.moonPhaseText = GetText(i, &IKWeatherInfo8::get_MoonPhaseText);
    r.alertType = GetText(i, &IKWeatherInfo8::get_AlertType);
    r.bulletin = GetText(i, &IKWeatherInfo8::get_Bulletin);
    r.alertLocation = GetText(i, &IKWeatherInfo8::get_USLoc);
    r.alertEnd = Get<DATE>(i, &IKWeatherInfo8::get_AlertEnd);
    r.mapUrl = GetText(i, &IKWeatherInfo8::get_MapURL);
    r.mapName = GetText(i, &IKWeatherInfo8::get_MapName);
    r.mapIndex = Get<INT>(i, &IKWeatherInfo8::get_MapIdx);

    // The archive: BeginArchive with an empty text, then NextArchive until it
    // fails, each step giving the hours back and the value.
    r.archive.clear();
    skyvane::Bstr empty(u"");
    if (SUCCEEDED(i->BeginArchive(empty.get()))) {
        for (;;) {
            INT hoursBack = 0, value = 0;
            if (i->get_NextArchive(&hoursBack, &value) != S_OK) break;
            r.archive.push_back(hoursBack);
            r.archive.push_back(value);
        }
    }
}

}  // namespace skyvane::plugin
