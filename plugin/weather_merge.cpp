#include "plugin/weather_merge.h"

#include "platform/com/com_object.h"
#include "platform/oleaut/bstr.h"
#include "plugin/plugin_log.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

// Records beyond this many are not taken from one answer.
constexpr size_t kMaxRecords = 400;

bool UsesRunTime(int32_t type) {
    return type == KWCurrent || type == KWPressureArchive || type == KWTempArchive || type == KWWindchillArchive;
}

// Objects that carry nothing worth keeping.
bool Skipped(int32_t type, double date, double high, double low) {
    if (type == KWDay && high == kNoValue) return true;
    if (type == KWCurrent && high == kNoValue && low == kNoValue) return true;
    if (type == KWNight && low == kNoValue) return true;
    return date < 100.0;
}

}  // namespace

HRESULT MergeFromService(CityEntry& city, IKWeatherService* service, std::u16string_view xml, double now) {
    if (!service || xml.empty()) {
        city.SetStatus(ui::TranslateStringId(ui::text::kUnknownError));
        return E_INVALIDARG;
    }
    skyvane::ComPtr<IUnknown> document, collection;
    skyvane::Bstr text(xml);
    HRESULT hr = service->get_WeatherAsDocument(text.get(), &document);
    if (SUCCEEDED(hr)) hr = service->get_WeatherAsArray(document.Get(), &collection);
    skyvane::ComPtr<IEnumUnknown> records;
    if (SUCCEEDED(hr) && collection) hr = collection->QueryInterface(IID_PPV_ARGS(&records));
    if (FAILED(hr) || !records) {
        PLUGIN_LOG_ERROR("No weather records for %s: 0x%08X", LogText(city.Code()).c_str(), unsigned(hr));
        city.SetStatus(ui::TranslateStringId(ui::text::kNoWeather));
        return FAILED(hr) ? hr : E_FAIL;
    }

    CityWeather& weather = city.Weather();
    weather.DropBefore(WholeDay(now));
    bool hoursReplaced = false, mapsReplaced = false;
    for (;;) {
        if (weather.Count() > kMaxRecords) break;
        skyvane::ComPtr<IUnknown> object;
        ULONG fetched = 0;
        if (records->Next(1, &object, &fetched) != S_OK || fetched != 1) break;
        skyvane::ComPtr<IKWeatherInfo8> info;
        if (FAILED(object->QueryInterface(IID_PPV_ARGS(&info)))) continue;
        KWeatherType type = KWUnknown;
        double date = -1, high = kNoValue, low = kNoValue;
        info->get_Type(&type);
        info->get_Date(&date);
        info->get_TempHigh(&high);
        info->get_TempLow(&low);
        if (UsesRunTime(type)) date = now;
        if (type == KWCurrent) {
            INT gmt = kGmtUnknown;
            if (SUCCEEDED(info->get_GMT(&gmt))) city.SetGmtOffset(gmt);
        }
        if (Skipped(type, date, high, low)) continue;
        if (type == KWHBH && !hoursReplaced) {
            weather.RemoveType(KWHBH);
            weather.RemoveType(KWAlert);
            hoursReplaced = true;
        }
        if (type == KWMap && !mapsReplaced) {
            weather.RemoveType(KWMap);
            mapsReplaced = true;
        }
        WeatherRecord* record = weather.FindOrAddRecord(date, type);
        if (!record) continue;
        try {
            CopyFromServiceRecord(*record, info.Get(), now);
        } catch (const skyvane::ComError& e) {
            PLUGIN_LOG_ERROR("A weather record of %s could not be read: 0x%08X", LogText(city.Code()).c_str(),
                             unsigned(e.Result()));
        }
    }
    weather.SetLastUpdate(LocalNow());
    return S_OK;
}

}  // namespace skyvane::plugin
