// The COM object plumbing inside one module: ComPtr, table-driven
// QueryInterface, aggregation, the module lock, factories, error reporting,
// the table-driven IDispatch and the IEnumUnknown implementation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "platform/com/enum_unknown.h"
#include "platform/com/server_exports.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/outer_object.h"
#include "test_util/test_util.h"

using skyvane::Bstr;
using skyvane::ComPtr;
using skyvane::InterfaceEntry;
using skyvane::Variant;

namespace {

enum ProbeColor { ProbeRed = 1, ProbeGreen = 2 };

struct IProbe : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Number(LONG* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Number(LONG v) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Ratio(double* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Ratio(double v) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_When(DATE* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Color(ProbeColor* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Color(ProbeColor v) = 0;
    virtual HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR* out) = 0;
    virtual HRESULT STDMETHODCALLTYPE Scale(LONG* value, LONG factor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Describe(IUnknown* object, VARIANT value, BSTR* out) = 0;
    virtual HRESULT STDMETHODCALLTYPE Throw(LONG kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Flag(VARIANT_BOOL* p) = 0;
};
struct IProbe2 : IProbe {
    virtual HRESULT STDMETHODCALLTYPE get_Level(LONG* p) = 0;
};
constexpr GUID IID_IProbe = skyvane::MakeGuid("{A1B2C3D4-0001-4000-8000-00000000AA01}");
constexpr GUID IID_IProbe2 = skyvane::MakeGuid("{A1B2C3D4-0002-4000-8000-00000000AA02}");
constexpr GUID CLSID_Probe = skyvane::MakeGuid("{A1B2C3D4-0003-4000-8000-00000000AA03}");
constexpr GUID IID_IUnrelated = skyvane::MakeGuid("{A1B2C3D4-0004-4000-8000-00000000AA04}");
struct IPlain : IUnknown {};
constexpr GUID IID_IPlain = skyvane::MakeGuid("{A1B2C3D4-0005-4000-8000-00000000AA05}");

}  // namespace

SKYVANE_DECLARE_IID(IProbe, IID_IProbe);
SKYVANE_DECLARE_IID(IProbe2, IID_IProbe2);
SKYVANE_DECLARE_IID(IPlain, IID_IPlain);

namespace {

std::atomic<int> g_probes{0};

class Probe final : public skyvane::ComObject<Probe, skyvane::DispatchImpl<Probe, IProbe2>, ISupportErrorInfo> {
public:
    static constexpr bool kAggregatable = true;
    Probe() { ++g_probes; }
    ~Probe() override { --g_probes; }

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<Probe, IProbe2>(IID_IProbe2),
            InterfaceEntry::Of<Probe, IProbe2>(IID_IProbe),
            InterfaceEntry::Of<Probe, IProbe2>(IID_IDispatch),
            InterfaceEntry::Of<Probe, ISupportErrorInfo>(IID_ISupportErrorInfo),
        };
        return table;
    }
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept {
        using namespace skyvane;
        static constexpr DispMember table[] = {
            DispGet<&IProbe::get_Number>(u"Number", 1),   DispPut<&IProbe::put_Number>(u"Number", 1),
            DispGet<&IProbe::get_Ratio>(u"Ratio", 2),     DispPut<&IProbe::put_Ratio>(u"Ratio", 2),
            DispGet<&IProbe::get_When>(u"When", 3, VT_DATE),
            DispGet<&IProbe::get_Color>(u"Color", 4),     DispPut<&IProbe::put_Color>(u"Color", 4),
            DispMethod<&IProbe::Concat>(u"Concat", 5),    DispMethod<&IProbe::Scale>(u"Scale", 6),
            DispMethod<&IProbe::Describe>(u"Describe", 7), DispMethod<&IProbe::Throw>(u"Throw", 8),
            DispGet<&IProbe::get_Flag>(u"Flag", 9, VT_BOOL),
            DispGet<&IProbe2::get_Level>(u"Level", 10),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE get_Number(LONG* p) override { return *p = number_, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Number(LONG v) override { return number_ = v, S_OK; }
    HRESULT STDMETHODCALLTYPE get_Ratio(double* p) override { return *p = ratio_, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Ratio(double v) override { return ratio_ = v, S_OK; }
    HRESULT STDMETHODCALLTYPE get_When(DATE* p) override { return *p = 40000.5, S_OK; }
    HRESULT STDMETHODCALLTYPE get_Color(ProbeColor* p) override { return *p = color_, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Color(ProbeColor v) override { return color_ = v, S_OK; }
    HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR* out) override {
        *out = skyvane::AllocBstr(std::u16string(skyvane::BstrView(a)) + std::u16string(skyvane::BstrView(b)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scale(LONG* value, LONG factor) override {
        if (factor == 0) return E_INVALIDARG;  // fails without an error object
        *value *= factor;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Describe(IUnknown* object, VARIANT value, BSTR* out) override {
        std::u16string text = object ? u"object" : u"nothing";
        text += u"/" + std::u16string(1, char16_t(u'0' + value.vt % 10));
        *out = skyvane::AllocBstr(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Throw(LONG kind) override {
        return skyvane::ComGuard(CLSID_Probe, IID_IProbe, [&]() -> HRESULT {
            if (kind == 0) throw std::runtime_error("boom");
            if (kind == 1) throw std::bad_alloc();
            if (kind == 2) throw skyvane::ComError(E_ACCESSDENIED, u"Denied");
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Flag(VARIANT_BOOL* p) override { return *p = VARIANT_TRUE, S_OK; }
    HRESULT STDMETHODCALLTYPE get_Level(LONG* p) override { return *p = 2, S_OK; }

private:
    LONG number_ = 0;
    double ratio_ = 0;
    ProbeColor color_ = ProbeRed;
};

// Not aggregatable, and fails in FinalConstruct when asked to.
std::atomic<int> g_plain{0};
class Plain final : public skyvane::ComObject<Plain, IPlain> {
public:
    explicit Plain(bool failLater = false) : failLater_(failLater) { ++g_plain; }
    ~Plain() override { --g_plain; }
    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {InterfaceEntry::Of<Plain, IPlain>(IID_IPlain)};
        return table;
    }
    HRESULT FinalConstruct() { return failLater_ ? E_ABORT : S_OK; }

private:
    bool failLater_;
};

class ComObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorInfo(0, nullptr);
        locksBefore_ = skyvane::ThisModule().Count();
    }
    void TearDown() override {
        EXPECT_EQ(g_probes, 0) << "leaked objects";
        EXPECT_EQ(g_plain, 0) << "leaked objects";
        EXPECT_EQ(skyvane::ThisModule().Count(), locksBefore_);
    }
    static ComPtr<IProbe> NewProbe() {
        ComPtr<IProbe> p;
        EXPECT_EQ(Probe::Create(nullptr, IID_PPV_ARGS(&p)), S_OK);
        return p;
    }
    long locksBefore_ = 0;
};

// ---------------------------------------------------------------------------
// ComPtr and QueryInterface.

TEST_F(ComObjectTest, ComPtrBalancesEveryReference) {
    ComPtr<IProbe> a = NewProbe();
    ComPtr<IProbe> b = NewProbe();
    EXPECT_EQ(g_probes, 2);
    ComPtr<IProbe> copy = a;
    EXPECT_EQ(copy, a);
    EXPECT_NE(copy, b);
    a.Reset();
    EXPECT_EQ(g_probes, 2);  // still held by copy
    copy = b;                // the first probe goes
    EXPECT_EQ(g_probes, 1);

    // The out slot releases what it held before the callee fills it.
    ComPtr<IProbe> slot = NewProbe();
    EXPECT_EQ(g_probes, 2);
    ASSERT_EQ(Probe::Create(nullptr, IID_PPV_ARGS(&slot)), S_OK);
    EXPECT_EQ(g_probes, 2);

    IProbe* raw = slot.Detach();
    EXPECT_FALSE(slot);
    slot.Attach(raw);  // adopts without a new reference
    ComPtr<IProbe> moved = std::move(slot);
    EXPECT_FALSE(slot);
    EXPECT_EQ(moved.Get(), raw);

    ComPtr<IUnknown> unrelated;
    EXPECT_EQ(moved.As(IID_IUnrelated, unrelated), E_NOINTERFACE);
    EXPECT_FALSE(unrelated);
    EXPECT_FALSE(ComPtr<IProbe>().As<IProbe2>());
}

TEST_F(ComObjectTest, EveryNumberedLevelIsOnePointerAndIdentityIsStable) {
    ComPtr<IProbe> probe = NewProbe();
    ComPtr<IProbe2> second;
    ComPtr<IDispatch> dispatch;
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(probe.As(second), S_OK);
    ASSERT_EQ(probe.As(dispatch), S_OK);
    ASSERT_EQ(probe.As(errors), S_OK);
    EXPECT_EQ(static_cast<void*>(second.Get()), static_cast<void*>(probe.Get()));
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(probe.Get()));
    EXPECT_NE(static_cast<void*>(errors.Get()), static_cast<void*>(probe.Get()));

    ComPtr<IUnknown> u1, u2;
    ASSERT_EQ(probe->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1)), S_OK);
    ASSERT_EQ(errors->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2)), S_OK);
    EXPECT_EQ(u1, u2);

    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(probe->QueryInterface(IID_IUnrelated, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IProbe, nullptr), E_POINTER);

    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IProbe), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IUnrelated), S_FALSE);
}

TEST_F(ComObjectTest, ObjectsAndServerLocksHoldTheModule) {
    EXPECT_EQ(skyvane::ModuleCanUnloadNow(), locksBefore_ ? S_FALSE : S_OK);
    ComPtr<IProbe> probe = NewProbe();
    EXPECT_EQ(skyvane::ThisModule().Count(), locksBefore_ + 1);
    EXPECT_EQ(skyvane::ModuleCanUnloadNow(), S_FALSE);

    static constexpr skyvane::ClassEntry classes[] = {
        skyvane::ClassEntry::Of<Probe>(CLSID_Probe),
        skyvane::ClassEntry::Of<Plain>(IID_IPlain),
    };
    ComPtr<IClassFactory> factory;
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(skyvane::GetClassObjectFromTable(classes, IID_IUnrelated, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(skyvane::GetClassObjectFromTable(classes, CLSID_Probe, IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    probe.Reset();
    factory.Reset();
    EXPECT_EQ(skyvane::ThisModule().Count(), locksBefore_ + 1);  // the server lock alone
    ASSERT_EQ(skyvane::GetClassObjectFromTable(classes, CLSID_Probe, IID_PPV_ARGS(&factory)), S_OK);
    factory->LockServer(FALSE);

    ComPtr<IProbe2> made;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&made)), S_OK);
    LONG level = 0;
    EXPECT_EQ(made->get_Level(&level), S_OK);
    EXPECT_EQ(level, 2);

    // A class that cannot be aggregated says so through its factory.
    ComPtr<IClassFactory> plainFactory;
    ASSERT_EQ(skyvane::GetClassObjectFromTable(classes, IID_IPlain, IID_PPV_ARGS(&plainFactory)), S_OK);
    ComPtr<IUnknown> inner;
    EXPECT_EQ(plainFactory->CreateInstance(made.Get(), IID_IUnknown, reinterpret_cast<void**>(&inner)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(g_plain, 0);
}

TEST_F(ComObjectTest, AggregatedObjectDelegatesToItsOuterObject) {
    using skyvane::test::OuterObject;
    // The outer object passes IProbe on, and nothing else.
    OuterObject* outer = OuterObject::New({IID_IProbe});
    ASSERT_EQ(outer->Aggregate([](IUnknown* o, void** inner) { return Probe::Create(o, IID_IUnknown, inner); }), S_OK);
    EXPECT_EQ(outer->Refs(), 1u);  // creating the inner object does not count on the outer one
    {
        ComPtr<IProbe> probe;
        ASSERT_EQ(outer->QueryInterface(IID_PPV_ARGS(&probe)), S_OK);
        EXPECT_EQ(outer->Refs(), 2u);  // the inner object's references are the outer one's
        ComPtr<IUnknown> identity;
        ASSERT_EQ(probe->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(outer));
        // The non-delegating unknown is distinct from the outer identity, and
        // what the outer object does not pass on cannot be reached inside.
        EXPECT_NE(outer->Inner(), static_cast<IUnknown*>(outer));
        ComPtr<ISupportErrorInfo> errors;
        EXPECT_EQ(probe->QueryInterface(IID_PPV_ARGS(&errors)), E_NOINTERFACE);
    }
    EXPECT_EQ(outer->Refs(), 1u);

    // Aggregation only for IUnknown, and only for classes that allow it.
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(Probe::Create(outer, IID_IProbe, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Plain::Create(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    outer->Release();
    EXPECT_EQ(OuterObject::live, 0);
    EXPECT_EQ(g_probes + g_plain, 0);
}

TEST_F(ComObjectTest, FailedConstructionLeavesNothingBehind) {
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(Plain::Create(nullptr, IID_IPlain, &out, true), E_ABORT);
    EXPECT_EQ(out, nullptr);
    ComPtr<Plain> plain;
    EXPECT_EQ(Plain::CreateObject(plain, true), E_ABORT);
    EXPECT_FALSE(plain);
    EXPECT_THROW(skyvane::MakeComObject<Plain>(true), skyvane::ComError);
    EXPECT_EQ(g_plain, 0);
    auto made = skyvane::MakeComObject<Plain>();
    EXPECT_EQ(g_plain, 1);
}

// ---------------------------------------------------------------------------
// Errors and the exception guard.

std::u16string TakeErrorDescription(GUID* guid = nullptr) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK) return u"<none>";
    Bstr text;
    info->GetDescription(text.Out());
    if (guid) info->GetGUID(guid);
    return text.Str();
}

TEST_F(ComObjectTest, GuardTurnsExceptionsIntoResultsWithErrorObjects) {
    ComPtr<IProbe> probe = NewProbe();
    GUID guid{};
    EXPECT_EQ(probe->Throw(0), E_FAIL);
    EXPECT_EQ(TakeErrorDescription(&guid), u"Unknown error");
    EXPECT_EQ(guid, IID_IProbe);
    EXPECT_EQ(probe->Throw(1), E_OUTOFMEMORY);
    EXPECT_EQ(probe->Throw(2), E_ACCESSDENIED);
    EXPECT_EQ(TakeErrorDescription(), u"Denied");

    // A ComError without a description passes on the callee's error object.
    skyvane::ReportError(E_INVALIDARG, CLSID_NULL, IID_IProbe, u"From the callee");
    EXPECT_EQ(skyvane::ComGuard(CLSID_NULL, IID_IProbe, []() -> HRESULT { throw skyvane::ComError(E_INVALIDARG); }),
              E_INVALIDARG);
    EXPECT_EQ(TakeErrorDescription(), u"From the callee");
}

// What the user sees is "Unknown error"; the developer log says what it was.
TEST_F(ComObjectTest, CaughtExceptionsAreLoggedWithTheirTypeAndText) {
    skyvane::test::ScopedEnv log("SKYVANE_LOG", "com");
    testing::internal::CaptureStderr();
    EXPECT_EQ(NewProbe()->Throw(0), E_FAIL);
    const std::string guardLog = testing::internal::GetCapturedStderr();
    EXPECT_NE(guardLog.find("COM method: caught std::runtime_error: boom"), std::string::npos) << guardLog;

    struct Case {
        void (*raise)();
        HRESULT result;
        const char* logged;
    } cases[] = {
        {[] { throw std::runtime_error("no script"); }, E_FAIL,
         "DllRegisterServer: caught std::runtime_error: no script"},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, "DllRegisterServer: caught std::bad_alloc"},
        {[] { throw skyvane::ComError(E_ACCESSDENIED); }, E_ACCESSDENIED, "DllRegisterServer: caught skyvane::ComError"},
        {[] { throw 42; }, E_FAIL, "DllRegisterServer: caught int"},  // not a std::exception: its type only
    };
    static const char anchor = 0;
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        HRESULT hr = skyvane::RunServerRegistration("DllRegisterServer", &anchor, [&](std::u16string_view) {
            c.raise();
            return S_OK;
        });
        const std::string text = testing::internal::GetCapturedStderr();
        EXPECT_EQ(hr, c.result) << c.logged;
        EXPECT_NE(text.find(c.logged), std::string::npos) << text;
    }
    // The server's function is given the file that holds the export.
    std::u16string module;
    EXPECT_EQ(skyvane::RunServerRegistration("DllRegisterServer", &anchor,
                                             [&](std::u16string_view path) {
                                                 module = path;
                                                 return S_OK;
                                             }),
              S_OK);
    EXPECT_EQ(skyvane::ToUtf8(module), std::filesystem::canonical("/proc/self/exe").string());
}

TEST_F(ComObjectTest, ReportErrorNamesItsSource) {
    EXPECT_EQ(skyvane::ReportError(E_ABORT, CLSID_Probe, IID_IProbe2, u"Stopped"), E_ABORT);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    Bstr source;
    ASSERT_EQ(info->GetSource(source.Out()), S_OK);
    // Not registered here: the class's braced text stands in for its ProgID.
    EXPECT_EQ(source.View(), skyvane::GuidToString(CLSID_Probe));
}

// ---------------------------------------------------------------------------
// IDispatch.

HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
             EXCEPINFO* excep = nullptr, UINT* argErr = nullptr, bool named = true) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    bool isPut = (flags & DISPATCH_PROPERTYPUT) && named;
    DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, UINT(reversed.size()), isPut ? 1u : 0u};
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, excep, argErr);
}

class DispatchTest : public ComObjectTest {
protected:
    void SetUp() override {
        ComObjectTest::SetUp();
        probe_ = NewProbe();
        ASSERT_EQ(probe_.As(dispatch_), S_OK);
    }
    void TearDown() override {
        probe_.Reset();
        dispatch_.Reset();
        ComObjectTest::TearDown();
    }
    ComPtr<IProbe> probe_;
    ComPtr<IDispatch> dispatch_;
};

TEST_F(DispatchTest, NamesMapToDispidsWithoutRegardToCase) {
    OLECHAR n1[] = u"rAtIo", n2[] = u"level", n3[] = u"Nope", n4[] = u"factor";
    LPOLESTR names[] = {n1};
    DISPID id = 0;
    ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 2);
    names[0] = n2;
    ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 10);
    names[0] = n3;
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    // Parameter names are not known.
    OLECHAR scale[] = u"Scale";
    LPOLESTR withParam[] = {scale, n4};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, withParam, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 6);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_IProbe, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

    UINT count = 99;
    EXPECT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(DispatchTest, PropertiesConvertTheirArgumentsAndTypeTheirResults) {
    Variant result;
    ASSERT_EQ(Call(dispatch_.Get(), 1, DISPATCH_PROPERTYPUT, {Variant::Str(u"17")}, nullptr), S_OK);
    LONG number = 0;
    probe_->get_Number(&number);
    EXPECT_EQ(number, 17);
    ASSERT_EQ(Call(dispatch_.Get(), 1, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 17);

    ASSERT_EQ(Call(dispatch_.Get(), 2, DISPATCH_PROPERTYPUT, {Variant::I4(3)}, nullptr), S_OK);
    ASSERT_EQ(Call(dispatch_.Get(), 2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_EQ(result.dblVal, 3.0);

    ASSERT_EQ(Call(dispatch_.Get(), 3, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_DATE);
    EXPECT_EQ(result.date, 40000.5);
    ASSERT_EQ(Call(dispatch_.Get(), 9, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);

    ASSERT_EQ(Call(dispatch_.Get(), 4, DISPATCH_PROPERTYPUT, {Variant::R8(2.0)}, nullptr), S_OK);
    ASSERT_EQ(Call(dispatch_.Get(), 4, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, ProbeGreen);

    // A later level's member through the same table.
    ASSERT_EQ(Call(dispatch_.Get(), 10, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.lVal, 2);
}

TEST_F(DispatchTest, CallErrorsNameTheirArgument) {
    Variant result;
    UINT argErr = 99;
    // Concat(a, b): rgvarg[0] is b.
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_UNKNOWN;
    object.punkVal = probe_.Get();
    EXPECT_EQ(Call(dispatch_.Get(), 5, DISPATCH_METHOD, {Variant::Str(u"a"), object}, &result, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    argErr = 99;
    EXPECT_EQ(Call(dispatch_.Get(), 1, DISPATCH_PROPERTYPUT, {Variant::Str(u"seven")}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);

    EXPECT_EQ(Call(dispatch_.Get(), 5, DISPATCH_METHOD, {Variant::Str(u"a")}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(dispatch_.Get(), 1, DISPATCH_PROPERTYGET, {Variant::I4(1)}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(dispatch_.Get(), 1, DISPATCH_PROPERTYPUT, {Variant::I4(1)}, nullptr, nullptr, nullptr, false),
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(Call(dispatch_.Get(), 77, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(dispatch_.Get(), 3, DISPATCH_PROPERTYPUT, {Variant::R8(1)}, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(dispatch_.Get(), 1, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch_->Invoke(1, IID_IProbe, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchTest, ByReferenceArgumentsAreWrittenBack) {
    LONG value = 6;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &value;
    ASSERT_EQ(Call(dispatch_.Get(), 6, DISPATCH_METHOD, {ref, Variant::I4(7)}, nullptr), S_OK);
    EXPECT_EQ(value, 42);

    Variant inner = Variant::Str(u"5");
    VARIANT viaVariant;
    VariantInit(&viaVariant);
    viaVariant.vt = VT_BYREF | VT_VARIANT;
    viaVariant.pvarVal = &inner;
    ASSERT_EQ(Call(dispatch_.Get(), 6, DISPATCH_METHOD, {viaVariant, Variant::I4(2)}, nullptr), S_OK);
    EXPECT_EQ(inner.vt, VT_I4);
    EXPECT_EQ(inner.lVal, 10);

    // A failing call leaves the caller's variable alone.
    inner = Variant::Str(u"5");
    EXPECT_EQ(Call(dispatch_.Get(), 6, DISPATCH_METHOD, {viaVariant, Variant::I4(0)}, nullptr), DISP_E_EXCEPTION);
    ASSERT_EQ(inner.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(inner.bstrVal), u"5");

    // A value where a reference is needed.
    UINT argErr = 99;
    EXPECT_EQ(Call(dispatch_.Get(), 6, DISPATCH_METHOD, {Variant::I4(1), Variant::I4(2)}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
}

TEST_F(DispatchTest, ObjectAndVariantArguments) {
    Variant result;
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = dispatch_.Get();
    ASSERT_EQ(Call(dispatch_.Get(), 7, DISPATCH_METHOD, {object, Variant::R8(1)}, &result), S_OK);
    EXPECT_EQ(skyvane::BstrView(result.bstrVal), u"object/5");
    Variant second;
    ASSERT_EQ(Call(dispatch_.Get(), 7, DISPATCH_METHOD, {Variant(), Variant::Str(u"x")}, &second), S_OK);
    EXPECT_EQ(skyvane::BstrView(second.bstrVal), u"nothing/8");
}

TEST_F(DispatchTest, FailingMembersReportThroughExcepInfo) {
    Variant result;
    EXCEPINFO excep;
    std::memset(&excep, 0xAB, sizeof excep);
    ASSERT_EQ(Call(dispatch_.Get(), 8, DISPATCH_METHOD, {Variant::I4(0)}, &result, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(skyvane::BstrView(excep.bstrDescription), u"Unknown error");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);

    // A stale error object from earlier is not mistaken for the member's.
    skyvane::ReportError(E_FAIL, CLSID_NULL, IID_IProbe, u"Old news");
    LONG value = 1;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &value;
    ASSERT_EQ(Call(dispatch_.Get(), 6, DISPATCH_METHOD, {ref, Variant::I4(0)}, nullptr, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    EXPECT_EQ(excep.bstrDescription, nullptr);
}

TEST_F(DispatchTest, TextsAreNotLeaked) {
    long before = skyvane::LiveBstrCount();
    {
        Variant result;
        ASSERT_EQ(Call(dispatch_.Get(), 5, DISPATCH_METHOD, {Variant::Str(u"ab"), Variant::Str(u"cd")}, &result), S_OK);
        EXPECT_EQ(skyvane::BstrView(result.bstrVal), u"abcd");
        // Result not wanted: the member's text is freed by the dispatcher.
        ASSERT_EQ(Call(dispatch_.Get(), 5, DISPATCH_METHOD, {Variant::Str(u"ab"), Variant::I4(5)}, nullptr), S_OK);
    }
    EXPECT_EQ(skyvane::LiveBstrCount(), before);
}

// ---------------------------------------------------------------------------
// IEnumUnknown.

TEST_F(ComObjectTest, EnumeratorHandsOutItsItemsAndHoldsThem) {
    std::vector<ComPtr<IUnknown>> items;
    for (int i = 0; i < 3; ++i) items.emplace_back(NewProbe().Get());
    ComPtr<IEnumUnknown> e;
    ASSERT_EQ(skyvane::CreateEnumUnknown(items, &e), S_OK);
    items.clear();
    EXPECT_EQ(g_probes, 3);

    IUnknown* got[4] = {};
    ULONG fetched = 99;
    ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();

    ComPtr<IEnumUnknown> clone;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    ASSERT_EQ(e->Next(4, got, &fetched), S_FALSE);  // one left
    EXPECT_EQ(fetched, 1u);
    got[0]->Release();
    EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);

    // The clone kept its own position over the same items.
    ASSERT_EQ(clone->Next(1, got, nullptr), S_OK);
    got[0]->Release();
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    EXPECT_EQ(clone->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    ASSERT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Skip(3), S_OK);
    EXPECT_EQ(clone->Next(2, got, nullptr), E_INVALIDARG);  // a count is needed for more than one

    e.Reset();
    EXPECT_EQ(g_probes, 3);  // the clone still holds them
    clone.Reset();
    EXPECT_EQ(g_probes, 0);
}

}  // namespace
