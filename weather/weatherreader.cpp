#include "weather/weatherreader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/enumunknown.h"
#include "platform/variant.h"
#include "platform/wformat.h"
#include "weather/domwalk.h"
#include "weather/strings.h"
#include "weather/weatherinfo.h"

using skyvane::Bstr;
using skyvane::ComError;
using skyvane::ComPtr;

namespace kweather {
namespace {

using Name = std::u16string_view;

HRESULT ServiceError(HRESULT hr, REFIID iid, std::u16string_view description) {
    return skyvane::ReportError(hr, CLSID_KWeatherService, iid, description);
}

// The two failures about the answer itself name the service class as their
// interface.
HRESULT AnswerError(const char16_t* format, const std::u16string& detail) {
    return ServiceError(E_FAIL, CLSID_KWeatherService, skyvane::FormatW(format, detail.c_str()));
}

// String 102 for an "err" element: its text immediately followed by its
// "type" attribute; "Unknown" for either that the DOM fails to give.
HRESULT ErrElementFailure(IXMLDOMElement* err) {
    std::u16string detail;
    Bstr text;
    if (FAILED(err->get_text(text.Out())))
        detail += u"Unknown";
    else
        detail += text.View();
    skyvane::Variant type;
    HRESULT hr = err->getAttribute(Bstr(u"type"), &type);
    if (FAILED(hr))
        detail += u"Unknown";
    else if (type.vt == VT_BSTR)
        detail += skyvane::BstrView(type.bstrVal);
    return AnswerError(kStringServiceError, detail);
}

// The first "err" child of the root, if any.
HRESULT FindErr(IXMLDOMElement* root, ComPtr<IXMLDOMElement>& err) {
    return ForEachChildElement(root, [&](IXMLDOMElement* e, Name name) {
        if (!err && name == u"err") err = e;
        return S_OK;
    });
}

// One run of Build records.
class RecordBuilder {
public:
    void Run(IXMLDOMDocument* doc) {
        ComPtr<IXMLDOMElement> root;
        skyvane::ThrowIfFailed(doc->get_documentElement(&root));
        if (!root) return;  // an empty document has no records
        Check(ForEachChildElement(root.Get(), [&](IXMLDOMElement* e, Name name) {
            if (name == u"err") throw ComError(ErrElementFailure(e));
            if (name == u"dayf" || name == u"hh") ForecastBlock(e);
            else if (name == u"cc") Append(Located(Load(e, KWCurrent)));
            else if (name == u"pa") Append(Located(Load(e, KWPressureArchive)));
            else if (name == u"ta") Append(Located(Load(e, KWTempArchive)));
            else if (name == u"wa") Append(Located(Load(e, KWWindchillArchive)));
            else if (name == u"loc") Append(Load(e, KWLocal));
            else if (name == u"alerts") Children(e, u"WatchesWarnings", [&](IXMLDOMElement* c) { Append(Load(c, KWAlert)); });
            else if (name == u"MAPS") Children(e, u"MAP", [&](IXMLDOMElement* c) { maps_.push_back(Load(c, KWMap)); });
            return S_OK;
        }));
        // Maps come last, largest number first.
        std::stable_sort(maps_.begin(), maps_.end(), [](const ComPtr<KWeatherInfo>& a, const ComPtr<KWeatherInfo>& b) {
            return a->Fields().mapIdx > b->Fields().mapIdx;
        });
        for (auto& map : maps_) Append(std::move(map));
    }

    ComPtr<IEnumUnknown> TakeEnumerator() { return skyvane::MakeEnumUnknown(std::move(records_)); }

private:
    static void Check(HRESULT hr) {
        if (FAILED(hr)) throw ComError(hr);
    }

    // A new record loaded from the element; its own failure (already
    // described by the record) aborts the build.
    static ComPtr<KWeatherInfo> New() { return skyvane::MakeComObject<KWeatherInfo>(); }
    static ComPtr<KWeatherInfo> Load(IXMLDOMElement* e, KWeatherType type, ComPtr<KWeatherInfo> record = nullptr) {
        if (!record) record = New();
        Check(record->LoadFromXMLNode(static_cast<IXMLDOMNode*>(e), type));
        return record;
    }

    // Current and archive records carry the update-location text seen so far.
    ComPtr<KWeatherInfo> Located(ComPtr<KWeatherInfo> record) {
        record->Fields().usLoc = usLoc_;
        return record;
    }

    void Append(ComPtr<KWeatherInfo> record) {
        records_.emplace_back(static_cast<IKWeatherInfo8*>(record.Get()));
    }

    template <class F>
    static void Children(IXMLDOMElement* parent, Name wanted, F&& f) {
        Check(ForEachChildElement(parent, [&](IXMLDOMElement* c, Name name) {
            if (name == wanted) f(c);
            return S_OK;
        }));
    }

    // "dayf" or "hh": day, night and hour records.
    void ForecastBlock(IXMLDOMElement* block) {
        DATE base = kNaDate;
        std::optional<std::u16string> supplied;
        auto fresh = [&] {
            ComPtr<KWeatherInfo> record = New();
            if (supplied) record->Fields().suppliedString = *supplied;
            return record;
        };
        Check(ForEachChildElement(block, [&](IXMLDOMElement* e, Name name) {
            if (name == u"lsup") {
                supplied = NodeText(e);
                base = ParseStampDate(supplied.value_or(std::u16string()));
            } else if (name == u"us") {
                if (auto text = NodeText(e)) usLoc_ = std::move(*text);
            } else if (name == u"day") {
                int d = ParseInteger(AttributeText(e, u"d").value_or(std::u16string()));
                for (KWeatherType type : {KWDay, KWNight}) {
                    ComPtr<KWeatherInfo> record = Load(e, type, fresh());
                    WeatherFields& f = record->Fields();
                    f.date = std::trunc(base + d);
                    f.forecastDate = base;
                    f.usLoc = usLoc_;
                    Append(std::move(record));
                }
            } else if (name == u"hday") {
                ComPtr<KWeatherInfo> record = Load(e, KWHBH, fresh());
                WeatherFields& f = record->Fields();
                if (auto dt = AttributeText(e, u"dt")) f.date = ParseStampDate(*dt);
                f.forecastDate = base;
                Append(std::move(record));
            }
            return S_OK;
        }));
    }

    std::u16string usLoc_;  // the update-location text; kept across blocks
    std::vector<ComPtr<IUnknown>> records_;
    std::vector<ComPtr<KWeatherInfo>> maps_;
};

}  // namespace

HRESULT LoadWeatherDocument(BSTR xml, IXMLDOMDocument** document) noexcept {
    if (!document) return ServiceError(E_POINTER, IID_IKWeatherService, u"Invalid pointer");
    *document = nullptr;
    if (!xml) return ServiceError(E_INVALIDARG, IID_IKWeatherService, u"No XML text was given");
    return skyvane::ComGuard(CLSID_KWeatherService, IID_IKWeatherService, [&]() -> HRESULT {
        // The DOM is part of the platform library: made directly, not looked
        // up by class.
        ComPtr<IXMLDOMDocument> doc;
        if (FAILED(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&doc))) || !doc)
            return ServiceError(E_FAIL, IID_IKWeatherService, u"Unknown error");
        doc->put_async(VARIANT_FALSE);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT hr = doc->loadXML(xml, &loaded);
        if (FAILED(hr)) return ServiceError(hr, IID_IKWeatherService, u"Unknown error");
        if (loaded != VARIANT_TRUE) {
            std::u16string reason;
            ComPtr<IXMLDOMParseError> error;
            if (SUCCEEDED(doc->get_parseError(&error)) && error) {
                Bstr text;
                if (SUCCEEDED(error->get_reason(text.Out()))) reason = text.Str();
            }
            return AnswerError(kStringWrongXml, reason);
        }
        ComPtr<IXMLDOMElement> root;
        if (SUCCEEDED(doc->get_documentElement(&root)) && root) {
            ComPtr<IXMLDOMElement> err;
            hr = FindErr(root.Get(), err);
            if (FAILED(hr)) return ServiceError(hr, IID_IKWeatherService, u"Unknown error");
            if (err) return ErrElementFailure(err.Get());
        }
        *document = doc.Detach();
        return S_OK;
    });
}

HRESULT BuildWeatherRecords(IUnknown* document, IEnumUnknown** records) noexcept {
    if (!records) return ServiceError(E_POINTER, IID_IKWeatherService, u"Invalid pointer");
    *records = nullptr;
    ComPtr<IXMLDOMDocument> doc;
    if (!document || FAILED(document->QueryInterface(IID_PPV_ARGS(&doc))) || !doc)
        return ServiceError(E_INVALIDARG, IID_IKWeatherService, u"The object is not an XML document");
    return skyvane::ComGuard(CLSID_KWeatherService, IID_IKWeatherService, [&] {
        RecordBuilder builder;
        builder.Run(doc.Get());
        *records = builder.TakeEnumerator().Detach();
        return S_OK;
    });
}

}  // namespace kweather
