// SkyvaneWeatherHomeScreen: the plugin object that every host creates (the
// home screen, the Today item adapter, the UI program). It owns one
// process's settings, city list and stored weather. Its update runs and the
// background update loop ask nobody: they run in processes nobody watches.
#pragma once

#include <memory>
#include <span>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "plugin/install_keys.h"
#include "plugin/plugin_settings.h"
#include "plugin/prompt.h"
#include "plugin/skyvane_interfaces.h"

namespace skyvane::plugin {

class SkyvaneWeatherHomeScreen final
    : public skyvane::ComObject<SkyvaneWeatherHomeScreen,
                                skyvane::DispatchImpl<SkyvaneWeatherHomeScreen, ISkyvaneWeatherHomeScreen3>,
                                ISupportErrorInfo> {
public:
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    SkyvaneWeatherHomeScreen();

    // ISkyvaneWeatherHomeScreen
    HRESULT STDMETHODCALLTYPE Test(LONG testLong, BSTR testBSTR) override;
    HRESULT STDMETHODCALLTYPE UpdateAndSave(BSTR bstrCode, LONG lUnit, LONG lDaysNumber) override;
    HRESULT STDMETHODCALLTYPE DoDetails(ULONG pMainWnd, LONG iType, LONG* lRet) override;
    HRESULT STDMETHODCALLTYPE QueryRefresh(ULONG pTODAYLISTITEM, LONG* lIsRefresh) override;
    HRESULT STDMETHODCALLTYPE GetTimerPeriod(LONG lParam, LONG* lNextTimerInterrval) override;
    // ISkyvaneWeatherHomeScreen2
    HRESULT STDMETHODCALLTYPE UpdateFocus(ULONG isFocus) override;
    HRESULT STDMETHODCALLTYPE SetDesktopWindow(ULONG hDesktopWindow) override;
    HRESULT STDMETHODCALLTYPE DestroyWindow() override;
    // ISkyvaneWeatherHomeScreen3
    HRESULT STDMETHODCALLTYPE OnMouseClick(LONG x, LONG y, LONG lAction, LONG* lResult) override;
    HRESULT STDMETHODCALLTYPE SetTodayColor(ULONG dwColorINDEX, ULONG dwColorColor) override;

    // The settings, loaded with the city list on first use.
    PluginSettings& Settings();

private:
    HRESULT NotYet(std::u16string method);
    void ChangePoll();

    std::shared_ptr<SettingsKey> key_;
    InstallKeys install_;
    NonInteractivePrompt prompt_;
    std::unique_ptr<PluginSettings> settings_;
    ULONG hostWindow_ = 0;
    bool focused_ = false;
    ULONG highlightColor_ = 0;
    // Until the first change poll chooses a period.
    LONG timerPeriod_ = 5000;
};

}  // namespace skyvane::plugin
