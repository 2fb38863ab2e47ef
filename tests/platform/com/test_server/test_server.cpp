// The test server: an aggregatable widget answering ITestWidget and
// ITestWidget2 with one pointer, late-bound through its member table.
#include "test_server.h"

#include <atomic>
#include <string>

#include "platform/com/enum_unknown.h"
#include "platform/com/server_exports.h"
#include "platform/oleaut/dispatch.h"

namespace {

using skyvane::ComPtr;
using skyvane::DispatchImpl;
using skyvane::DispMember;
using skyvane::InterfaceEntry;

std::atomic<long> g_liveWidgets{0};

class Widget final : public skyvane::ComObject<Widget, DispatchImpl<Widget, ITestWidget2>, ISupportErrorInfo> {
public:
    static constexpr bool kAggregatable = true;

    Widget() { ++g_liveWidgets; }
    ~Widget() override { --g_liveWidgets; }

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<Widget, ITestWidget2>(IID_ITestWidget2),
            InterfaceEntry::Of<Widget, ITestWidget2>(IID_ITestWidget),
            InterfaceEntry::Of<Widget, ITestWidget2>(IID_IDispatch),
            InterfaceEntry::Of<Widget, ISupportErrorInfo>(IID_ISupportErrorInfo),
        };
        return table;
    }
    static std::span<const DispMember> DispatchMembers() noexcept {
        static constexpr DispMember table[] = {
            skyvane::DispGet<&ITestWidget::get_Name>(u"Name", 1),
            skyvane::DispPut<&ITestWidget::put_Name>(u"Name", 1),
            skyvane::DispMethod<&ITestWidget::Add>(u"Add", 2),
            skyvane::DispMethod<&ITestWidget::Fail>(u"Fail", 3),
            skyvane::DispGet<&ITestWidget2::get_Children>(u"Children", 4),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) override {
        if (!pVal) return E_POINTER;
        return skyvane::ComGuard(CLSID_TestWidget, IID_ITestWidget, [&] {
            *pVal = skyvane::AllocBstr(name_);
            return *pVal ? S_OK : E_OUTOFMEMORY;
        });
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) override {
        return skyvane::ComGuard(CLSID_TestWidget, IID_ITestWidget, [&] {
            name_ = skyvane::BstrView(newVal);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* pSum) override {
        if (!pSum) return E_POINTER;
        *pSum = a + b;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(BSTR description) override {
        return skyvane::ReportError(E_INVALIDARG, CLSID_TestWidget, IID_ITestWidget, skyvane::BstrView(description));
    }
    HRESULT STDMETHODCALLTYPE get_Children(LONG count, IUnknown** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        return skyvane::ComGuard(CLSID_TestWidget, IID_ITestWidget2, [&] {
            if (count < 0) throw skyvane::ComError(E_INVALIDARG, u"Negative count");
            std::vector<ComPtr<IUnknown>> children;
            for (LONG i = 0; i < count; ++i) {
                auto child = skyvane::MakeComObject<Widget>();
                child->name_ = u"child " + std::u16string(1, char16_t(u'0' + i % 10));
                children.emplace_back(static_cast<ITestWidget*>(child.Get()));
            }
            *ppEnum = skyvane::MakeEnumUnknown(std::move(children)).Detach();
            return S_OK;
        });
    }

private:
    std::u16string name_;
};

constexpr skyvane::ClassEntry kClasses[] = {
    skyvane::ClassEntry::Of<Widget>(CLSID_TestWidget),
};

constexpr char kScript[] = R"(
HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'SkyvaneTestServer'
        'comserver.so'
        {
            val AppID = s '%APPID%'
        }
    }
    SkyvaneTest.Widget.1 = s 'Widget Class'
    {
        CLSID = s '%CLSID%'
    }
    SkyvaneTest.Widget = s 'Widget Class'
    {
        CLSID = s '%CLSID%'
        CurVer = s 'SkyvaneTest.Widget.1'
    }
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'Widget Class'
        {
            ProgID = s 'SkyvaneTest.Widget.1'
            VersionIndependentProgID = s 'SkyvaneTest.Widget'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Free'
            }
            val AppID = s '%APPID%'
            'Programmable'
        }
    }
}
)";

skyvane::Registrar ServerRegistrar(std::u16string_view modulePath) {
    skyvane::Registrar registrar;
    registrar.AddReplacement(u"MODULE", modulePath);
    registrar.AddReplacement(u"APPID", skyvane::GuidToString(APPID_TestServer));
    registrar.AddReplacement(u"CLSID", skyvane::GuidToString(CLSID_TestWidget));
    return registrar;
}

HRESULT RegisterTestServer(std::u16string_view modulePath) {
    return ServerRegistrar(modulePath).Register(std::string_view(kScript)).ok() ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterTestServer(std::u16string_view modulePath) {
    return ServerRegistrar(modulePath).Unregister(std::string_view(kScript)).ok() ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

SKYVANE_SERVER_EXPORTS(kClasses, RegisterTestServer, UnregisterTestServer)

extern "C" {

SKYVANE_EXPORT long ComServerLiveObjects() { return g_liveWidgets.load(); }

SKYVANE_EXPORT long ComServerModuleLocks() { return skyvane::ThisModule().Count(); }

}  // extern "C"
