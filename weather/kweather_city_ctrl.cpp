#include "weather/kweather_city_ctrl.h"

#include <atomic>

#include "weather/com_helpers.h"

namespace skyvane::weather {
namespace {

const ComSite kCtrlSite{CLSID_KWeatherCityCtrl, IID_IKWeatherCityCtrl};

// The user has finished choosing. Kept once per process, not per control:
// the host polls it while the chooser runs.
std::atomic<LONG> g_isStop{0};

constexpr char16_t kNotBuilt[] = u"The city chooser list is not available in this version";

}  // namespace

std::span<const skyvane::InterfaceEntry> KWeatherCityCtrl::Interfaces() noexcept {
    return kDualInterfaces<KWeatherCityCtrl, skyvane::DispatchImpl<KWeatherCityCtrl, IKWeatherCityCtrl>, IID_IKWeatherCityCtrl>;
}

std::span<const skyvane::DispMember> KWeatherCityCtrl::DispatchMembers() noexcept {
    using I = IKWeatherCityCtrl;
    static constexpr skyvane::DispMember table[] = {
        skyvane::DispGet<&I::get_WeatherService>(u"WeatherService", 1),
        skyvane::DispPut<&I::put_WeatherService>(u"WeatherService", 1),
        skyvane::DispGet<&I::get_IsCountry>(u"IsCountry", 2),
        skyvane::DispPut<&I::put_IsCountry>(u"IsCountry", 2),
        skyvane::DispGet<&I::get_IsStop>(u"IsStop", 3),
        skyvane::DispPut<&I::put_IsStop>(u"IsStop", 3),
        skyvane::DispGet<&I::get_SelectedCode>(u"SelectedCode", 4),
        skyvane::DispPut<&I::put_SelectedCode>(u"SelectedCode", 4),
        skyvane::DispGet<&I::get_SelectedCity>(u"SelectedCity", 5),
        skyvane::DispPut<&I::put_SelectedCity>(u"SelectedCity", 5),
        skyvane::DispMethod<&I::Load>(u"Load", 6),
        skyvane::DispMethod<&I::Select>(u"Select", 7),
    };
    return table;
}

HRESULT KWeatherCityCtrl::get_WeatherService(IUnknown** pVal) {
    if (!pVal) return NullPointer(kCtrlSite);
    *pVal = service_.Get();
    if (*pVal) (*pVal)->AddRef();
    return S_OK;
}

HRESULT KWeatherCityCtrl::put_WeatherService(IUnknown* newVal) {
    if (!newVal) {
        service_ = nullptr;
        return S_OK;
    }
    skyvane::ComPtr<IKWeatherService> service;
    HRESULT hr = newVal->QueryInterface(IID_PPV_ARGS(&service));
    if (FAILED(hr) || !service) return Fail(kCtrlSite, E_NOINTERFACE, u"The object is not a weather service");
    service_ = std::move(service);
    return S_OK;
}

HRESULT KWeatherCityCtrl::get_IsCountry(LONG* pVal) { return GetValue(kCtrlSite, pVal, isCountry_); }

HRESULT KWeatherCityCtrl::put_IsCountry(LONG newVal) {
    isCountry_ = newVal;
    return S_OK;
}

HRESULT KWeatherCityCtrl::get_IsStop(LONG* pVal) { return GetValue(kCtrlSite, pVal, g_isStop.load()); }

HRESULT KWeatherCityCtrl::put_IsStop(LONG newVal) {
    g_isStop.store(newVal);
    return S_OK;
}

HRESULT KWeatherCityCtrl::get_SelectedCode(BSTR* pVal) { return GetText(kCtrlSite, pVal, selectedCode_); }
HRESULT KWeatherCityCtrl::put_SelectedCode(BSTR newVal) { return SetText(kCtrlSite, selectedCode_, newVal); }
HRESULT KWeatherCityCtrl::get_SelectedCity(BSTR* pVal) { return GetText(kCtrlSite, pVal, selectedName_); }

HRESULT KWeatherCityCtrl::put_SelectedCity(BSTR newVal) {
    return SetText(kCtrlSite, isCountry_ ? selectedName_ : country_, newVal);
}

HRESULT KWeatherCityCtrl::Load() { return Fail(kCtrlSite, E_NOTIMPL, kNotBuilt); }

HRESULT KWeatherCityCtrl::Select() { return Fail(kCtrlSite, E_NOTIMPL, kNotBuilt); }

}  // namespace skyvane::weather
