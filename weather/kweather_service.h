// KWeatherService: the object through which callers get weather. It holds
// the request settings (city code, day count, unit system), fetches the
// service's answer through the chain of relay and feed addresses, hands it
// out as XML text, as a loaded document or as weather records, and carries
// the city directory (installed database and online search) of its own.
#pragma once

#include <span>
#include <string>

#include "cities/city_directory.h"
#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "weather/request_chain.h"
#include "weather/service_interfaces.h"

namespace skyvane::weather {

class KWeatherService final
    : public skyvane::ComObject<KWeatherService, skyvane::DispatchImpl<KWeatherService, IKWeatherService4>,
                                ISupportErrorInfo> {
public:
    static constexpr bool kAggregatable = true;
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    KWeatherService();
    ~KWeatherService() override;

    // The service object behind a ClassPtr number, or nullptr when no live
    // object of this process has it. For the city chooser in this library,
    // which holds a reference to the object while it reads the directory.
    static KWeatherService* FromClassPtr(LONG classPtr) noexcept;
    // The directory, for the city chooser: its city list and split flag.
    const skyvane::cities::CityDirectory& Directory() const noexcept { return directory_; }

    // IKWeatherService
    HRESULT STDMETHODCALLTYPE get_FindCityCode(BSTR bstrCityName, IUnknown** pMatchCityCollection) override;
    HRESULT STDMETHODCALLTYPE get_Weather(IUnknown** pWeatherCollection) override;
    HRESULT STDMETHODCALLTYPE get_RequestDayCount(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_RequestDayCount(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_RequestCityCode(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_RequestCityCode(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_RequestUnitType(KWeatherUnitType* pVal) override;
    HRESULT STDMETHODCALLTYPE put_RequestUnitType(KWeatherUnitType newVal) override;
    HRESULT STDMETHODCALLTYPE get_WeatherAsXML(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WeatherAsArray(IUnknown* pDoc, IUnknown** pVal) override;
    HRESULT STDMETHODCALLTYPE BeginCityByCountry(BSTR Country, BSTR Letter) override;
    HRESULT STDMETHODCALLTYPE get_City(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE BeginCountry(BSTR Letter) override;
    HRESULT STDMETHODCALLTYPE get_Country(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CountryIsLetter(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE CityNext(LONG* Last) override;
    HRESULT STDMETHODCALLTYPE CountryNext(LONG* Last) override;
    HRESULT STDMETHODCALLTYPE get_DatabasePath(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_DatabasePath(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_CityCode(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WeatherAsDocument(BSTR newVal, IUnknown** pVal) override;
    HRESULT STDMETHODCALLTYPE get_CityIndex(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_CityIndex(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_CountryIndex(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_CountryIndex(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE DoFindCityDialog(BSTR Country, BSTR* pCode, BSTR* pCity) override;
    HRESULT STDMETHODCALLTYPE DoFindCountryDlg(BSTR* pCountry) override;
    HRESULT STDMETHODCALLTYPE get_CountryCount(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ClassPtr(LONG* pVal) override;
    // IKWeatherService3
    HRESULT STDMETHODCALLTYPE get_HBHWeatherAsXML(LONG lCustomHours, BSTR bstrReserved, BSTR* pVal) override;
    // IKWeatherService4
    HRESULT STDMETHODCALLTYPE get_LastRequestInfo(BSTR* pVal) override;

private:
    using CityDirectory = skyvane::cities::CityDirectory;

    // One download for the request chain or the city search.
    HRESULT Download(const std::u16string& address, std::u16string_view searchText, std::u16string& text);
    HRESULT DirectoryText(HRESULT (CityDirectory::*read)(std::u16string&) const, BSTR* pVal);
    HRESULT DirectoryStep(HRESULT (CityDirectory::*next)(LONG&), LONG* Last);
    HRESULT DirectoryIndex(skyvane::cities::DirectoryResult (CityDirectory::*choose)(LONG), LONG index);

    LONG dayCount_ = 7;
    std::u16string cityCode_ = u"RSXX0091";
    KWeatherUnitType unitType_ = KWMetric;
    std::u16string lastRequestInfo_ = u"none";
    skyvane::cities::CityDirectory directory_;
    LONG classPtr_ = 0;
};

}  // namespace skyvane::weather
