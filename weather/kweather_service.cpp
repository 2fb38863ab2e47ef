#include "weather/kweather_service.h"

#include <mutex>
#include <unordered_map>
#include <vector>

#include "cities/city_search.h"
#include "net/download_xml.h"
#include "platform/com/enum_unknown.h"
#include "platform/base/log.h"
#include "platform/kernel/process.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "weather/com_helpers.h"
#include "weather/kweather_city.h"
#include "weather/strings.h"
#include "weather/weather_reader.h"

using skyvane::Bstr;
using skyvane::ComPtr;
using skyvane::cities::DirectoryResult;

namespace skyvane::weather {
namespace {

const ComSite kService{CLSID_KWeatherService, IID_IKWeatherService};
// LastRequestInfo reports through the interface that introduced the text.
const ComSite kServiceInfo{CLSID_KWeatherService, IID_IKWeatherService3};

constexpr LONG kMaxDayCount = 10;

// ClassPtr numbers. The chooser needs to find the service object from a
// 32-bit number; an address does not fit in one on a 64-bit system, so every
// object gets a number of its own that stays valid while the object lives.
// The table exists only while service objects do, so that nothing is left
// behind when the library is unloaded; the mutex needs no destruction.
std::mutex g_classPtrMutex;
std::unordered_map<LONG, KWeatherService*>* g_classPtrs = nullptr;
LONG g_lastClassPtr = 0;

LONG AddClassPtr(KWeatherService* service) {
    std::lock_guard lock(g_classPtrMutex);
    if (!g_classPtrs) g_classPtrs = new std::unordered_map<LONG, KWeatherService*>;
    do {
        g_lastClassPtr = g_lastClassPtr == 0x7FFFFFFF ? 1 : g_lastClassPtr + 1;
    } while (g_classPtrs->count(g_lastClassPtr));
    g_classPtrs->emplace(g_lastClassPtr, service);
    return g_lastClassPtr;
}

void RemoveClassPtr(LONG number) noexcept {
    std::lock_guard lock(g_classPtrMutex);
    if (!g_classPtrs) return;
    g_classPtrs->erase(number);
    if (g_classPtrs->empty()) {
        delete g_classPtrs;
        g_classPtrs = nullptr;
    }
}

KWeatherService* FindClassPtr(LONG number) noexcept {
    std::lock_guard lock(g_classPtrMutex);
    if (!g_classPtrs) return nullptr;
    auto it = g_classPtrs->find(number);
    return it == g_classPtrs->end() ? nullptr : it->second;
}

// The result of a directory call: failures go into the error object.
HRESULT Report(const DirectoryResult& result) {
    if (FAILED(result.hr)) return Fail(kService, result.hr, result.description);
    return result.hr;
}

}  // namespace

std::span<const skyvane::InterfaceEntry> KWeatherService::Interfaces() noexcept {
    return kDualInterfaces<KWeatherService, skyvane::DispatchImpl<KWeatherService, IKWeatherService4>, IID_IKWeatherService4, IID_IKWeatherService3, IID_IKWeatherService2, IID_IKWeatherService>;
}

std::span<const skyvane::DispMember> KWeatherService::DispatchMembers() noexcept {
    using I = IKWeatherService4;
    using skyvane::DispGet;
    using skyvane::DispMethod;
    using skyvane::DispPut;
    static constexpr skyvane::DispMember table[] = {
        DispGet<&I::get_FindCityCode>(u"FindCityCode", 1),
        DispGet<&I::get_Weather>(u"Weather", 2),
        DispGet<&I::get_RequestDayCount>(u"RequestDayCount", 3),
        DispPut<&I::put_RequestDayCount>(u"RequestDayCount", 3),
        DispGet<&I::get_RequestCityCode>(u"RequestCityCode", 4),
        DispPut<&I::put_RequestCityCode>(u"RequestCityCode", 4),
        DispGet<&I::get_RequestUnitType>(u"RequestUnitType", 5),
        DispPut<&I::put_RequestUnitType>(u"RequestUnitType", 5),
        DispGet<&I::get_WeatherAsXML>(u"WeatherAsXML", 6),
        DispGet<&I::get_WeatherAsArray>(u"WeatherAsArray", 7),
        DispMethod<&I::BeginCityByCountry>(u"BeginCityByCountry", 8),
        DispGet<&I::get_City>(u"City", 9),
        DispMethod<&I::BeginCountry>(u"BeginCountry", 10),
        DispGet<&I::get_Country>(u"Country", 11),
        DispGet<&I::get_CountryIsLetter>(u"CountryIsLetter", 12),
        DispMethod<&I::CityNext>(u"CityNext", 13),
        DispMethod<&I::CountryNext>(u"CountryNext", 14),
        DispGet<&I::get_DatabasePath>(u"DatabasePath", 15),
        DispPut<&I::put_DatabasePath>(u"DatabasePath", 15),
        DispGet<&I::get_CityCode>(u"CityCode", 16),
        DispGet<&I::get_WeatherAsDocument>(u"WeatherAsDocument", 17),
        DispGet<&I::get_CityIndex>(u"CityIndex", 18),
        DispPut<&I::put_CityIndex>(u"CityIndex", 18),
        DispGet<&I::get_CountryIndex>(u"CountryIndex", 19),
        DispPut<&I::put_CountryIndex>(u"CountryIndex", 19),
        DispMethod<&I::DoFindCityDialog>(u"DoFindCityDialog", 20),
        DispMethod<&I::DoFindCountryDlg>(u"DoFindCountryDlg", 21),
        DispGet<&I::get_CountryCount>(u"CountryCount", 22),
        DispGet<&I::get_ClassPtr>(u"ClassPtr", 23),
        DispGet<&I::get_HBHWeatherAsXML>(u"HBHWeatherAsXML", 33),
        DispGet<&I::get_LastRequestInfo>(u"LastRequestInfo", 34),
    };
    return table;
}

KWeatherService::KWeatherService() { classPtr_ = AddClassPtr(this); }

KWeatherService::~KWeatherService() { RemoveClassPtr(classPtr_); }

KWeatherService* KWeatherService::FromClassPtr(LONG classPtr) noexcept { return FindClassPtr(classPtr); }

HRESULT KWeatherService::Download(const std::u16string& address, std::u16string_view searchText,
                                  std::u16string& text) {
    SKYVANE_LOG("kweather", "download %s", skyvane::ToUtf8(address).c_str());
    skyvane::net::DownloadResult result;
    HRESULT hr = skyvane::net::DownloadXml(address, searchText, lastRequestInfo_, result, CLSID_KWeatherService,
                                           IID_IKWeatherService);
    if (SUCCEEDED(hr)) text = std::move(result.text);
    SKYVANE_LOG("kweather", "download result 0x%08X", unsigned(hr));
    return hr;
}

// ---------------------------------------------------------------------------
// Request settings

HRESULT KWeatherService::get_RequestDayCount(LONG* pVal) { return GetValue(kService, pVal, dayCount_); }

HRESULT KWeatherService::put_RequestDayCount(LONG newVal) {
    // Smaller and negative counts are stored: the relays judge them.
    if (newVal > kMaxDayCount)
        return Fail(kService, E_INVALIDARG, u"The day count must not be greater than 10");
    dayCount_ = newVal;
    return S_OK;
}

HRESULT KWeatherService::get_RequestCityCode(BSTR* pVal) { return GetText(kService, pVal, cityCode_); }
HRESULT KWeatherService::put_RequestCityCode(BSTR newVal) { return SetText(kService, cityCode_, newVal); }

HRESULT KWeatherService::get_RequestUnitType(KWeatherUnitType* pVal) { return GetValue(kService, pVal, unitType_); }

HRESULT KWeatherService::put_RequestUnitType(KWeatherUnitType newVal) {
    unitType_ = newVal;  // any value: all but metric ask for the standard units
    return S_OK;
}

HRESULT KWeatherService::get_LastRequestInfo(BSTR* pVal) { return GetText(kServiceInfo, pVal, lastRequestInfo_); }

// ---------------------------------------------------------------------------
// Weather

HRESULT KWeatherService::get_WeatherAsXML(BSTR* pVal) {
    if (!pVal) return NullPointer(kService);
    *pVal = nullptr;
    return Guard(kService, [&]() -> HRESULT {
        if (!IsSendableCityCode(cityCode_))
            return Fail(kService, E_INVALIDARG, u"The city code holds characters that cannot be sent");
        WeatherRequest request{cityCode_, dayCount_, unitType_};
        RequestChain chain = BuildRequestChain(ReadServiceHosts(), request);
        std::u16string text;
        HRESULT hr = RunRequestChain(
            chain, [&](const std::u16string& address, std::u16string& out) { return Download(address, {}, out); },
            [](DWORD ms) { Sleep(ms); }, text);
        if (FAILED(hr)) return hr;  // the download described the failure
        if (!text.empty()) {
            *pVal = skyvane::AllocBstr(text);
            if (!*pVal) throw std::bad_alloc();
        }
        return S_OK;
    });
}

HRESULT KWeatherService::get_WeatherAsDocument(BSTR newVal, IUnknown** pVal) {
    if (!pVal) return NullPointer(kService);
    *pVal = nullptr;
    ComPtr<IXMLDOMDocument> document;
    HRESULT hr = LoadWeatherDocument(newVal, &document);
    if (FAILED(hr)) return hr;
    *pVal = document.Detach();
    return S_OK;
}

HRESULT KWeatherService::get_WeatherAsArray(IUnknown* pDoc, IUnknown** pVal) {
    if (!pDoc) return Fail(kService, E_INVALIDARG, u"No XML document was given");
    if (!pVal) return NullPointer(kService);
    *pVal = nullptr;
    ComPtr<IEnumUnknown> records;
    HRESULT hr = BuildWeatherRecords(pDoc, &records);
    if (FAILED(hr)) return hr;
    *pVal = records.Detach();
    return S_OK;
}

HRESULT KWeatherService::get_Weather(IUnknown** pWeatherCollection) {
    if (!pWeatherCollection) return NullPointer(kService);
    *pWeatherCollection = nullptr;
    Bstr xml;
    HRESULT hr = get_WeatherAsXML(xml.Out());
    if (FAILED(hr)) return hr;
    if (!xml) {
        std::u16string reason = u"the answer is empty";
        return Fail(kService, E_FAIL, skyvane::FormatW(kStringWrongXml, reason.c_str()));
    }
    ComPtr<IUnknown> document;
    hr = get_WeatherAsDocument(xml, &document);
    if (FAILED(hr)) return hr;
    if (!document) return Fail(kService, E_FAIL, u"Unknown error");
    xml = Bstr();
    return get_WeatherAsArray(document.Get(), pWeatherCollection);
}

HRESULT KWeatherService::get_HBHWeatherAsXML(LONG, BSTR, BSTR* pVal) {
    if (!pVal) return NullPointer(kService);
    *pVal = nullptr;
    return S_FALSE;  // hour-by-hour answers are not requested separately
}

// ---------------------------------------------------------------------------
// City search

HRESULT KWeatherService::get_FindCityCode(BSTR bstrCityName, IUnknown** pMatchCityCollection) {
    if (!pMatchCityCollection) return NullPointer(kService);
    *pMatchCityCollection = nullptr;
    return Guard(kService, [&]() -> HRESULT {
        std::u16string url = skyvane::cities::CitySearchUrl(ReadServiceHosts().searchHost);
        std::u16string text;
        HRESULT hr = Download(url, skyvane::BstrView(bstrCityName), text);
        // The download refuses a name whose escaped form is too long without
        // describing it.
        if (hr == E_INVALIDARG) return Fail(kService, hr, u"The city name is too long");
        if (FAILED(hr)) return hr;
        Bstr xml(text);
        if (!xml) throw std::bad_alloc();
        ComPtr<IXMLDOMDocument> document;
        hr = LoadWeatherDocument(xml, &document);
        if (FAILED(hr)) return hr;

        std::vector<skyvane::cities::FoundCity> found;
        hr = skyvane::cities::ReadCitySearchAnswer(document.Get(), found);
        if (hr == skyvane::cities::kNoCityFoundResult)
            return Fail(kService, hr, u"No city was found by that name");
        if (FAILED(hr)) return Fail(kService, hr, u"Unknown error");

        std::vector<ComPtr<IUnknown>> cities;
        cities.reserve(found.size());
        for (const auto& city : found) {
            auto object = skyvane::MakeComObject<KWeatherCity>();
            Bstr name(city.name), code(city.code);
            skyvane::ThrowIfFailed(object->put_Name(name));
            skyvane::ThrowIfFailed(object->put_Code(code));
            cities.emplace_back(static_cast<IKWeatherCity*>(object.Get()));
        }
        *pMatchCityCollection = skyvane::MakeEnumUnknown(std::move(cities)).Detach();
        return S_OK;
    });
}

HRESULT KWeatherService::DoFindCityDialog(BSTR, BSTR*, BSTR*) {
    return Fail(kService, E_NOTIMPL, u"Not implemented");
}

HRESULT KWeatherService::DoFindCountryDlg(BSTR*) { return Fail(kService, E_NOTIMPL, u"Not implemented"); }

// ---------------------------------------------------------------------------
// City directory

HRESULT KWeatherService::get_DatabasePath(BSTR* pVal) {
    return GetText(kService, pVal, directory_.DatabasePath());
}

HRESULT KWeatherService::put_DatabasePath(BSTR newVal) {
    return Guard(kService, [&] {
        directory_.SetDatabasePath(skyvane::BstrView(newVal));
        return S_OK;
    });
}

HRESULT KWeatherService::BeginCountry(BSTR Letter) {
    return Guard(kService, [&] { return Report(directory_.BeginCountry(skyvane::BstrView(Letter))); });
}

HRESULT KWeatherService::get_Country(BSTR* pVal) { return DirectoryText(&CityDirectory::Country, pVal); }

HRESULT KWeatherService::get_CountryIsLetter(LONG* pVal) {
    if (!pVal) return NullPointer(kService);
    LONG isLetter = 0;
    HRESULT hr = directory_.CountryIsLetter(isLetter);
    *pVal = isLetter;
    return hr;
}

HRESULT KWeatherService::CountryNext(LONG* Last) { return DirectoryStep(&CityDirectory::CountryNext, Last); }

HRESULT KWeatherService::get_CountryIndex(LONG* pVal) { return GetValue(kService, pVal, directory_.CountryIndex()); }

HRESULT KWeatherService::put_CountryIndex(LONG newVal) {
    return DirectoryIndex(&CityDirectory::SetCountryIndex, newVal);
}

HRESULT KWeatherService::BeginCityByCountry(BSTR Country, BSTR Letter) {
    return Guard(kService, [&] {
        return Report(directory_.BeginCityByCountry(skyvane::BstrView(Country), skyvane::BstrView(Letter)));
    });
}

HRESULT KWeatherService::get_City(BSTR* pVal) { return DirectoryText(&CityDirectory::City, pVal); }

HRESULT KWeatherService::get_CityCode(BSTR* pVal) { return DirectoryText(&CityDirectory::CityCode, pVal); }

// A text of the directory's current entry: S_FALSE and a null text when there
// is none.
HRESULT KWeatherService::DirectoryText(HRESULT (CityDirectory::*read)(std::u16string&) const, BSTR* pVal) {
    if (!pVal) return NullPointer(kService);
    *pVal = nullptr;
    return Guard(kService, [&] {
        std::u16string text;
        HRESULT hr = (directory_.*read)(text);
        if (hr != S_OK) return hr;
        return GetText(kService, pVal, text);
    });
}

HRESULT KWeatherService::CityNext(LONG* Last) { return DirectoryStep(&CityDirectory::CityNext, Last); }

HRESULT KWeatherService::get_CityIndex(LONG* pVal) { return GetValue(kService, pVal, directory_.CityIndex()); }

HRESULT KWeatherService::put_CityIndex(LONG newVal) { return DirectoryIndex(&CityDirectory::SetCityIndex, newVal); }

// A step to the next country or city; Last tells whether it was the last.
HRESULT KWeatherService::DirectoryStep(HRESULT (CityDirectory::*next)(LONG&), LONG* Last) {
    if (!Last) return NullPointer(kService);
    return (directory_.*next)(*Last);
}

// Chooses the current country or city by its index.
HRESULT KWeatherService::DirectoryIndex(DirectoryResult (CityDirectory::*choose)(LONG), LONG index) {
    return Guard(kService, [&] { return Report((directory_.*choose)(index)); });
}

HRESULT KWeatherService::get_CountryCount(LONG* pVal) { return GetValue(kService, pVal, directory_.CountryCount()); }

HRESULT KWeatherService::get_ClassPtr(LONG* pVal) { return GetValue(kService, pVal, classPtr_); }

}  // namespace skyvane::weather
