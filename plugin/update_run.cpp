#include "plugin/update_run.h"

#include <exception>
#include <iterator>

#include "platform/com/com_object.h"
#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/process.h"
#include "platform/kernel/win_time.h"
#include "platform/oleaut/bstr.h"
#include "plugin/exchange.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "plugin/update_lease.h"
#include "plugin/weather_merge.h"
#include "plugin/weather_store.h"
#include "ui/text_ids.h"
#include "ui/time_format.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

constexpr DWORD kRetryPauseMs = 1000;
constexpr LONG kRequestDays = 10;

// The retries after a failed first attempt, in order. The texts end the run
// when the installer started before or during the pause.
struct Retry {
    bool needsAnotherConnection;
    const char* stoppedBefore;
    const char* stoppedAfter;
    int32_t iteration;
};
constexpr Retry kRetries[] = {
    {true, "Install in progress. UpdateAndSave 1 closed.", "Install in progress. UpdateAndSave 6 closed.", 2},
    {false, "Install in progress. UpdateAndSave 2 closed.", "Install in progress. UpdateAndSave 5 closed.", 1},
    {true, "Install in progress. UpdateAndSave 3 closed.", "Install in progress. UpdateAndSave 4 closed.", 2},
};

std::u16string Numbered(const char16_t* prefix, size_t i) {
    return std::u16string(prefix) + skyvane::FromUtf8(std::to_string(i));
}

std::u16string Text(int32_t id) { return ui::TranslateStringId(id); }

// The description a failed COM call left on this thread, if any.
std::string ErrorInfoText() {
    skyvane::ComPtr<IErrorInfo> info;
    skyvane::Bstr text;
    if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(text.Out())))
        return skyvane::ToUtf8(text.View());
    return {};
}

}  // namespace

std::u16string RequestCode(std::u16string_view code) {
    std::u16string requested;
    for (char16_t c : code)
        if (c != u'\r' && c != u'\n') requested += c;
    return requested;
}

UpdateRun::UpdateRun(std::shared_ptr<SettingsKey> key, ConnectionPolicy& connection)
    : key_(key), settings_(key), connection_(connection) {}

UpdateRun::~UpdateRun() { EndAttempt(); }

UpdateOutcome UpdateRun::UpdateAndSave(std::u16string_view code) {
    SettingsKey& key = *key_;
    UpdateOutcome outcome;
    if (InstallInProgress(key)) {
        PLUGIN_LOG_ERROR("Install in progress. UpdateAndSave closed.");
        outcome.result = S_FALSE;
        return outcome;
    }
    runStart_ = LocalNow();
    if (UpdateInProgress(key, runStart_)) {
        PLUGIN_LOG_ERROR("Update stopped because other update in progress yet! (Updated at %s)",
                         LogDate(key.ReadDate(u"IsUpdateInProgressTime", 0)).c_str());
        outcome.result = S_FALSE;
        return outcome;
    }
    resultText_.clear();
    MarkUpdateInProgress(key);
    // The plugin is never on the sliding panel here: there are no panel
    // pages to refresh between the two marks.
    MarkUpdateInProgress(key);
    key.WriteNumber(u"ConnectionIteration", 1);
    std::optional<DWORD> startStamp;
    Attempt attempt = UpdateAllOrOne(code, startStamp);
    for (const Retry& retry : kRetries) {
        if (attempt != Attempt::Failed) break;
        if (retry.needsAnotherConnection && !connection_.CanTryAnother()) continue;
        MarkUpdateInProgress(key);
        if (InstallInProgress(key)) {
            PLUGIN_LOG_ERROR("%s", retry.stoppedBefore);
            attempt = Attempt::Stopped;
            break;
        }
        Sleep(kRetryPauseMs);
        MarkUpdateInProgress(key);
        if (InstallInProgress(key)) {
            PLUGIN_LOG_ERROR("%s", retry.stoppedAfter);
            attempt = Attempt::Stopped;
            break;
        }
        key.WriteNumber(u"ConnectionIteration", retry.iteration);
        attempt = UpdateAllOrOne(code, startStamp);
    }
    if (attempt == Attempt::Failed) key.WriteDate(u"LastFailedUpdateDate", LocalNow());
    ClearUpdateInProgress(key);
    service_.Reset();
    outcome.result = attempt == Attempt::Succeeded ? S_OK : attempt == Attempt::Failed ? E_FAIL : S_FALSE;
    outcome.text = resultText_;
    return outcome;
}

UpdateRun::Attempt UpdateRun::UpdateAllOrOne(std::u16string_view code, std::optional<DWORD>& startStamp) {
    SettingsKey& key = *key_;
    Attempt result = Attempt::Failed;
    try {
        MarkUpdateInProgress(key);
        settings_.LoadMainSettings();
        const bool all = code == kUpdateAllCode;
        if (all) {
            RecordFullUpdateStart(key, ReadNetworkState(), LocalNow());
            if (startStamp) {
                if (key.ReadStamp(u"UpdateStart", 0) != *startStamp) {
                    PLUGIN_LOG("update stopped because other update started");
                    EndAttempt();
                    return Attempt::Stopped;
                }
            } else {
                startStamp = GetTickCount();
                key.WriteStamp(u"UpdateStart", *startStamp);
            }
        }
        int successes = 0, failures = 0;
        for (size_t i = 0; i < kMaxCities; ++i) {
            MarkUpdateInProgress(key);
            if (InstallInProgress(key)) {
                PLUGIN_LOG_ERROR("Install in progress. UpdateAndSaveWithIteration closed.");
                EndAttempt();
                return Attempt::Stopped;
            }
            if (all && key.ReadStamp(u"UpdateStart", 0) != *startStamp) {
                PLUGIN_LOG("Update stopped because other update started");
                RecordFullUpdateStart(key, ReadNetworkState(), LocalNow());
                EndAttempt();
                return Attempt::Stopped;
            }
            std::u16string cityCode = key.ReadText(Numbered(u"CityCode", i), u"");
            if (cityCode.empty()) break;
            if (!all && cityCode != code) continue;
            std::u16string name = key.ReadText(Numbered(u"CityName", i), u"");
            HRESULT hr = UpdateCity(cityCode, name, int32_t(i));
            if (hr == S_OK) ++successes;
            else if (FAILED(hr)) ++failures;
        }
        if (successes == 0) {
            LogTableText(true, ui::text::kNoneUpdated);
            result = failures > 0 ? Attempt::Failed : Attempt::Succeeded;
        } else {
            LogTableText(false, ui::text::kUpdatedCities, successes);
            if (all) {
                key.WriteDate(u"LastSuccessUpdateDate", LocalNow());
                key.WriteNumber(u"LastSuccessUpdateState", ReadNetworkState());
                key.WriteStamp(u"LastSuccessUpdateWeatherTime", GetTickCount());
            }
            result = Attempt::Succeeded;
        }
    } catch (const skyvane::ComError& e) {
        PLUGIN_LOG_ERROR("%s (error 0x%08X)", LogText(e.Description()).c_str(), unsigned(e.Result()));
        PLUGIN_LOG_ERROR("update weather failed");
        key.WriteStamp(u"LastInvalidateTime", GetTickCount());
        result = Attempt::Failed;
    } catch (const std::exception& e) {
        PLUGIN_LOG_ERROR("%s", e.what());
        PLUGIN_LOG_ERROR("update weather failed");
        key.WriteStamp(u"LastInvalidateTime", GetTickCount());
        result = Attempt::Failed;
    }
    EndAttempt();
    return result;
}

HRESULT UpdateRun::UpdateCity(std::u16string_view code, std::u16string_view name, int32_t index) {
    if (code.empty()) return S_FALSE;
    CityEntry city(key_);
    city.SetCode(std::u16string(code));
    city.SetName(std::u16string(name));
    LoadWeather(city);
    city.SetStatus(Text(ui::text::kGettingWeatherNow));
    resultText_ += city.Name() + u" ";

    HRESULT hr = FetchAndMerge(city);
    if (SUCCEEDED(hr) && index == settings_.currentCity)
        WriteExchange(city, settings_.GetUnitType(), settings_.CityLocalTime(city));
    if (SUCCEEDED(hr) && !SaveWeather(city)) {
        // The new weather is not stored: the city was not updated.
        city.SetStatus(Text(ui::text::kUnknownError));
        hr = E_FAIL;
    }
    if (FAILED(hr)) {
        resultText_ += city.Status() + u" ";
        return hr;
    }
    city.SetStatus(Text(ui::text::kUpdatedSuccessfully));
    resultText_ += ui::FormatUpdatedAgo(city.Weather().LastUpdate(), LocalNow()) + u" ";
    return S_OK;
}

bool UpdateRun::Connected(CityEntry& city) {
    if (!link_) {
        link_ = connection_.EstablishConnection(connection_.CurrentDestination(), false);
        resultText_ += link_->text + u" ";
    }
    if (link_->connected) return true;
    city.SetStatus(ConnectionStatusText(link_->status));
    return false;
}

void UpdateRun::EndAttempt() {
    connection_.ReleaseConnection();
    link_.reset();
}

void UpdateRun::CreateService() {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(kServiceProgId, &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&service_));
    if (FAILED(hr)) throw skyvane::ComError(hr, u"The weather service KWeather.KWeatherService cannot be created");
}

HRESULT UpdateRun::FetchAndMerge(CityEntry& city) {
    if (!Connected(city)) return E_FAIL;
    if (!service_) {
        try {
            CreateService();
        } catch (const skyvane::ComError& e) {
            PLUGIN_LOG_ERROR("%s (error 0x%08X)", LogText(e.Description()).c_str(), unsigned(e.Result()));
            city.SetStatus(Text(ui::text::kUnknownError));
            return E_FAIL;
        }
    }
    service_->put_RequestDayCount(kRequestDays);
    service_->put_RequestUnitType(KWMetric);
    skyvane::Bstr code(RequestCode(city.Code()));
    service_->put_RequestCityCode(code.get());

    PLUGIN_LOG("Begin get XML");
    skyvane::Bstr xml;
    HRESULT hr = service_->get_WeatherAsXML(xml.Out());
    PLUGIN_LOG("End get XML");
    if (FAILED(hr))
        PLUGIN_LOG_ERROR("%s: %s (error 0x%08X)", LogText(city.Name()).c_str(), ErrorInfoText().c_str(), unsigned(hr));
    if (xml.Empty()) {
        city.SetStatus(Text(ui::text::kUnknownError));
        return E_FAIL;
    }

    PLUGIN_LOG("Begin UpdateFromXML");
    hr = MergeFromService(city, service_.Get(), xml.View(), runStart_);
    PLUGIN_LOG("End UpdateFromXML");
    if (FAILED(hr)) {
        // The service's description says what was wrong with the answer.
        PLUGIN_LOG_ERROR("%s: %s (error 0x%08X)", LogText(city.Name()).c_str(), ErrorInfoText().c_str(), unsigned(hr));
        return hr;
    }
    skyvane::Bstr info;
    service_->get_LastRequestInfo(info.Out());
    std::u16string requestInfo = info.Empty() ? u"none" : info.Str();
    LogTableText(false, ui::text::kRenewalFinished, city.Name().c_str(), int(city.Weather().Count()),
                 requestInfo.c_str());
    return S_OK;
}

}  // namespace skyvane::plugin
