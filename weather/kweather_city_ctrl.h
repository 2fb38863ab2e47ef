// KWeatherCityCtrl: the city chooser control. This build provides the class
// as it is registered and created, with its properties: the weather service it
// reads the city directory from, the mode, the process-wide "finished" flag
// and the chosen city. The windowed part (the list, the search box, typing
// and scrolling, Load and Select) is not built yet: Load and Select answer
// E_NOTIMPL with a description saying so.
#pragma once

#include <span>
#include <string>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "weather/service_interfaces.h"

namespace skyvane::weather {

class KWeatherCityCtrl final
    : public skyvane::ComObject<KWeatherCityCtrl, skyvane::DispatchImpl<KWeatherCityCtrl, IKWeatherCityCtrl>,
                                ISupportErrorInfo> {
public:
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    // IKWeatherCityCtrl
    // The service used for every directory call: put takes any interface of
    // it and keeps its IKWeatherService; get hands that out (NULL when none).
    HRESULT STDMETHODCALLTYPE get_WeatherService(IUnknown** pVal) override;
    HRESULT STDMETHODCALLTYPE put_WeatherService(IUnknown* newVal) override;
    // 0 lists the cities of a country, anything else the countries.
    HRESULT STDMETHODCALLTYPE get_IsCountry(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_IsCountry(LONG newVal) override;
    // One flag for the whole process, shared by every control.
    HRESULT STDMETHODCALLTYPE get_IsStop(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_IsStop(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_SelectedCode(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_SelectedCode(BSTR newVal) override;
    // Get: the chosen name. Put: in city mode the country whose cities are
    // listed, in country mode the chosen name.
    HRESULT STDMETHODCALLTYPE get_SelectedCity(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_SelectedCity(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE Load() override;
    HRESULT STDMETHODCALLTYPE Select() override;

    // The country whose cities city mode lists.
    const std::u16string& CountryName() const noexcept { return country_; }

private:
    skyvane::ComPtr<IKWeatherService> service_;
    LONG isCountry_ = 0;
    std::u16string country_;
    std::u16string selectedName_;
    std::u16string selectedCode_;
};

}  // namespace skyvane::weather
