#include "plugin/home_screen.h"

#include <string>

#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "plugin/connection_policy.h"
#include "plugin/main_settings.h"
#include "plugin/plugin_log.h"
#include "plugin/update_run.h"
#include "plugin/update_service.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

using Self = SkyvaneWeatherHomeScreen;
using Dual = skyvane::DispatchImpl<Self, ISkyvaneWeatherHomeScreen3>;
// The period of the change poll when nothing moves.
constexpr LONG kIdlePeriod = 1000;

HRESULT Fail(HRESULT hr, const std::u16string& description) {
    return skyvane::ReportError(hr, CLSID_SkyvaneWeatherHomeScreen, IID_ISkyvaneWeatherHomeScreen3, description);
}

}  // namespace

std::span<const skyvane::InterfaceEntry> Self::Interfaces() noexcept {
    static constexpr skyvane::InterfaceEntry table[] = {
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_ISkyvaneWeatherHomeScreen3),
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_ISkyvaneWeatherHomeScreen2),
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_ISkyvaneWeatherHomeScreen),
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_IDispatch),
        skyvane::InterfaceEntry::Of<Self, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return table;
}

std::span<const skyvane::DispMember> Self::DispatchMembers() noexcept {
    using I = ISkyvaneWeatherHomeScreen3;
    static constexpr skyvane::DispMember table[] = {
        skyvane::DispMethod<&I::Test>(u"Test", 1),
        skyvane::DispMethod<&I::UpdateAndSave>(u"UpdateAndSave", 2),
        skyvane::DispMethod<&I::DoDetails>(u"DoDetails", 3),
        skyvane::DispMethod<&I::QueryRefresh>(u"QueryRefresh", 4),
        skyvane::DispMethod<&I::GetTimerPeriod>(u"GetTimerPeriod", 5),
        skyvane::DispMethod<&I::UpdateFocus>(u"UpdateFocus", 6),
        skyvane::DispMethod<&I::SetDesktopWindow>(u"SetDesktopWindow", 7),
        skyvane::DispMethod<&I::DestroyWindow>(u"DestroyWindow", 8),
        skyvane::DispMethod<&I::OnMouseClick>(u"OnMouseClick", 9),
        skyvane::DispMethod<&I::SetTodayColor>(u"SetTodayColor", 10),
    };
    return table;
}

Self::SkyvaneWeatherHomeScreen() : key_(std::make_shared<SettingsKey>(kSettingsProduct, kSettingsCompany)) {}

PluginSettings& Self::Settings() {
    if (!settings_) {
        settings_ = std::make_unique<PluginSettings>(key_);
        settings_->LoadCityList();
    }
    return *settings_;
}

HRESULT Self::NotYet(std::u16string method) {
    method += u" is not available in this version of Skyvane Weather";
    return Fail(E_NOTIMPL, method);
}

void Self::ChangePoll() {
    Settings().PollChanges();
    WatchService(*key_, install_);
    timerPeriod_ = kIdlePeriod;
}

HRESULT Self::Test(LONG testLong, BSTR) {
    return skyvane::ComGuard(CLSID_SkyvaneWeatherHomeScreen, IID_ISkyvaneWeatherHomeScreen3, [&]() -> HRESULT {
        switch (testLong) {
        case 3:
        case 4:
            ChangePoll();
            return S_OK;
        case 0: case 1: case 2: case 5: case 6: case 7:
            return NotYet(u"Test " + skyvane::FromUtf8(std::to_string(testLong)));
        default:
            return S_OK;  // developer entries above 7 do nothing
        }
    });
}

HRESULT Self::UpdateAndSave(BSTR bstrCode, LONG, LONG) {
    return skyvane::ComGuard(CLSID_SkyvaneWeatherHomeScreen, IID_ISkyvaneWeatherHomeScreen3, [&]() -> HRESULT {
        const std::u16string code(bstrCode ? std::u16string_view(bstrCode, SysStringLen(bstrCode)) : u"");
        ConnectionPolicy connection(*key_, prompt_);
        // Exactly this spelling: "Service" is a city code like any other.
        if (code == u"service") return UpdateService(key_, install_, connection).Run();
        UpdateOutcome outcome = UpdateRun(key_, connection).UpdateAndSave(code);
        if (FAILED(outcome.result))
            return Fail(outcome.result, ui::TranslateStringId(ui::text::kUpdateFailed) + u" " + outcome.text);
        return outcome.result;
    });
}

HRESULT Self::DoDetails(ULONG, LONG, LONG* lRet) {
    if (lRet) *lRet = 0;
    return NotYet(u"DoDetails");
}

HRESULT Self::QueryRefresh(ULONG, LONG* lIsRefresh) {
    if (!lIsRefresh) return Fail(E_POINTER, u"Invalid pointer");
    *lIsRefresh = 0;
    return S_OK;
}

HRESULT Self::GetTimerPeriod(LONG, LONG* lNextTimerInterrval) {
    if (!lNextTimerInterrval) return Fail(E_POINTER, u"Invalid pointer");
    *lNextTimerInterrval = timerPeriod_;
    return S_OK;
}

HRESULT Self::UpdateFocus(ULONG isFocus) {
    focused_ = isFocus != 0;
    return S_OK;
}

HRESULT Self::SetDesktopWindow(ULONG hDesktopWindow) {
    hostWindow_ = hDesktopWindow;
    PLUGIN_LOG("Initialize");
    return S_OK;
}

HRESULT Self::DestroyWindow() { return S_OK; }

HRESULT Self::OnMouseClick(LONG, LONG, LONG, LONG* lResult) {
    if (lResult) *lResult = 0;
    return NotYet(u"OnMouseClick");
}

HRESULT Self::SetTodayColor(ULONG, ULONG dwColorColor) {
    highlightColor_ = dwColorColor;
    return S_OK;
}

}  // namespace skyvane::plugin
