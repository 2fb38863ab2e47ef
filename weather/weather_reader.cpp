#include "weather/weather_reader.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/com/enum_unknown.h"
#include "platform/oleaut/variant.h"
#include "platform/base/wide_format.h"
#include "weather/com_helpers.h"
#include "weather/dom_access.h"
#include "weather/record_loader.h"
#include "weather/strings.h"
#include "weather/weather_info.h"

using skyvane::Bstr;
using skyvane::ComError;
using skyvane::ComPtr;

namespace skyvane::weather {
namespace {

using Name = std::u16string_view;

const ComSite kReader{CLSID_KWeatherService, IID_IKWeatherService};

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

// Makes a record and loads it from an element; a record that fails to load
// (its failure already described by the record) aborts the build.
ComPtr<KWeatherInfo> LoadRecord(ComDom::Element e, KWeatherType type, ComPtr<KWeatherInfo> record) {
    skyvane::ThrowIfFailed(record->LoadFromXMLNode(static_cast<IXMLDOMNode*>(e), type));
    return record;
}
// A record of this platform's DOM is filled directly; it cannot fail but for
// lack of memory.
ComPtr<KWeatherInfo> LoadRecord(const NativeDom::Element& e, KWeatherType type, ComPtr<KWeatherInfo> record,
                                ReadingTime& time) {
    record->Fields().type = type;
    skyvane::ThrowIfFailed(LoadFields(record->Fields(), e, type, time));
    return record;
}

// The description of an "err" element: string 102.
template <class Dom>
HRESULT ErrFailure(const typename Dom::Element& e) {
    if constexpr (std::is_same_v<Dom, ComDom>) {
        return ErrElementFailure(e);
    } else {
        typename Dom::Text text, type;
        Dom::GetText(e, text);
        std::u16string detail = text.Wide();
        if (Dom::GetAttribute(e, "type", type)) detail += type.Wide();
        return AnswerError(kStringServiceError, detail);
    }
}

// One run of Build records over the root element.
template <class Dom>
class RecordBuilder {
public:
    using Element = const typename Dom::Element&;

    // A full answer has about eighty records.
    RecordBuilder() { records_.reserve(128); }

    void Run(Element root) {
        Check(Dom::ForEachChild(root, [&](Element e, auto name) {
            if (NameIs(name, "err")) throw ComError(ErrFailure<Dom>(e));
            if (NameIs(name, "dayf") || NameIs(name, "hh")) ForecastBlock(e);
            else if (NameIs(name, "cc")) Append(Located(Load(e, KWCurrent)));
            else if (NameIs(name, "pa")) Append(Located(Load(e, KWPressureArchive)));
            else if (NameIs(name, "ta")) Append(Located(Load(e, KWTempArchive)));
            else if (NameIs(name, "wa")) Append(Located(Load(e, KWWindchillArchive)));
            else if (NameIs(name, "loc")) Append(Load(e, KWLocal));
            else if (NameIs(name, "alerts")) Children(e, "WatchesWarnings", [&](Element c) { Append(Load(c, KWAlert)); });
            else if (NameIs(name, "MAPS")) Children(e, "MAP", [&](Element c) { maps_.push_back(Load(c, KWMap)); });
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

    static ComPtr<KWeatherInfo> New() { return skyvane::MakeComObject<KWeatherInfo>(); }
    ComPtr<KWeatherInfo> Load(Element e, KWeatherType type, ComPtr<KWeatherInfo> record = nullptr) {
        if constexpr (std::is_same_v<Dom, NativeDom>)
            return LoadRecord(e, type, record ? std::move(record) : New(), time_);
        else
            return LoadRecord(e, type, record ? std::move(record) : New());
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
    static void Children(Element parent, std::string_view wanted, F&& f) {
        Check(Dom::ForEachChild(parent, [&](Element c, auto name) {
            if (NameIs(name, wanted)) f(c);
            return S_OK;
        }));
    }

    // "dayf" or "hh": day, night and hour records.
    void ForecastBlock(Element block) {
        DATE base = kNaDate;
        bool supplied = false;
        std::u16string suppliedText;
        auto fresh = [&] {
            ComPtr<KWeatherInfo> record = New();
            if (supplied) record->Fields().suppliedString = suppliedText;
            return record;
        };
        Check(Dom::ForEachChild(block, [&](Element e, auto name) {
            if (NameIs(name, "lsup")) {
                typename Dom::Text text;
                supplied = Dom::GetText(e, text);
                suppliedText = supplied ? text.Wide() : std::u16string();
                base = supplied ? ParseStampDate(text.View()) : kNaDate;
            } else if (NameIs(name, "us")) {
                typename Dom::Text text;
                if (Dom::GetText(e, text)) usLoc_ = text.Wide();
            } else if (NameIs(name, "day")) {
                typename Dom::Text d;
                int offset = Dom::GetAttribute(e, "d", d) ? ParseInteger(d.View()) : kNaInt;
                ComPtr<KWeatherInfo> day = fresh(), night = fresh();
                if constexpr (std::is_same_v<Dom, NativeDom>) {
                    Check(LoadDayAndNight(day->Fields(), night->Fields(), e));
                } else {
                    Load(e, KWDay, day);
                    Load(e, KWNight, night);
                }
                for (ComPtr<KWeatherInfo>& record : {std::ref(day), std::ref(night)}) {
                    WeatherFields& f = record->Fields();
                    f.date = std::trunc(base + offset);
                    f.forecastDate = base;
                    f.usLoc = usLoc_;
                    Append(std::move(record));
                }
            } else if (NameIs(name, "hday")) {
                ComPtr<KWeatherInfo> record = Load(e, KWHBH, fresh());
                WeatherFields& f = record->Fields();
                typename Dom::Text dt;
                if (Dom::GetAttribute(e, "dt", dt)) f.date = ParseStampDate(dt.View());
                f.forecastDate = base;
                Append(std::move(record));
            }
            return S_OK;
        }));
    }

    ReadingTime time_;      // one reading of the clock for the whole answer
    std::u16string usLoc_;  // the update-location text; kept across blocks
    std::vector<ComPtr<IUnknown>> records_;
    std::vector<ComPtr<KWeatherInfo>> maps_;
};

}  // namespace

HRESULT LoadWeatherDocument(BSTR xml, IXMLDOMDocument** document) noexcept {
    if (!document) return ServiceError(E_POINTER, IID_IKWeatherService, u"Invalid pointer");
    *document = nullptr;
    if (!xml) return ServiceError(E_INVALIDARG, IID_IKWeatherService, u"No XML text was given");
    // The DOM is part of the platform library: made directly, not looked up
    // by class.
    ComPtr<IXMLDOMDocument> doc;
    if (FAILED(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&doc))) || !doc)
        return ServiceError(E_FAIL, IID_IKWeatherService, u"Unknown error");
    HRESULT hr = LoadAnswerInto(doc.Get(), xml);
    if (FAILED(hr)) return hr;
    *document = doc.Detach();
    return S_OK;
}

HRESULT LoadAnswerInto(IXMLDOMDocument* doc, BSTR xml) noexcept {
    return Guard(kReader, [&]() -> HRESULT {
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
        // An "err" child of the root fails the load. This platform's own
        // document is read directly; any other through its interfaces.
        if (skyvane::XmlDocumentView view = skyvane::XmlDocumentView::Of(doc)) {
            std::vector<skyvane::XmlChild> children;
            return NativeDom::ForEachChild(NativeDom::Of(view.Root(), children), [](const NativeDom::Element& e, CName name) {
                return NameIs(name, "err") ? ErrFailure<NativeDom>(e) : S_OK;
            });
        }
        // A document that loaded but cannot give its root element is no
        // answer: it must not be handed on as one.
        ComPtr<IXMLDOMElement> root;
        hr = doc->get_documentElement(&root);
        if (FAILED(hr)) return ServiceError(hr, IID_IKWeatherService, u"Unknown error");
        if (!root) return AnswerError(kStringWrongXml, u"The answer has no root element");
        ComPtr<IXMLDOMElement> err;
        hr = FindErr(root.Get(), err);
        if (FAILED(hr)) return ServiceError(hr, IID_IKWeatherService, u"Unknown error");
        return err ? ErrElementFailure(err.Get()) : S_OK;
    });
}

HRESULT BuildWeatherRecords(IUnknown* document, IEnumUnknown** records) noexcept {
    if (!records) return ServiceError(E_POINTER, IID_IKWeatherService, u"Invalid pointer");
    *records = nullptr;
    ComPtr<IXMLDOMDocument> doc;
    if (!document || FAILED(document->QueryInterface(IID_PPV_ARGS(&doc))) || !doc)
        return ServiceError(E_INVALIDARG, IID_IKWeatherService, u"The object is not an XML document");
    return Guard(kReader, [&] {
        // This platform's own DOM is read directly (the view keeps the tree
        // for the whole walk); any other through its interfaces. A document
        // without a root element has no records.
        ComPtr<IEnumUnknown> result;
        if (skyvane::XmlDocumentView view = skyvane::XmlDocumentView::Of(doc.Get())) {
            std::vector<skyvane::XmlChild> children;
            children.reserve(64);
            RecordBuilder<NativeDom> builder;
            builder.Run(NativeDom::Of(view.Root(), children));
            result = builder.TakeEnumerator();
        } else {
            ComPtr<IXMLDOMElement> element;
            skyvane::ThrowIfFailed(doc->get_documentElement(&element));
            RecordBuilder<ComDom> builder;
            if (element) builder.Run(element.Get());
            result = builder.TakeEnumerator();
        }
        *records = result.Detach();
        return S_OK;
    });
}

}  // namespace skyvane::weather
