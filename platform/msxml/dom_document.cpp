// The XML DOM over pugixml. A document owns one parsed tree; node, node list
// and parse error objects are small wrappers made on demand, each holding the
// tree it came from.
#include "platform/msxml/msxml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/com/com_object.h"
#include "platform/msxml/internal.h"

using skyvane::MakeGuid;

const CLSID CLSID_DOMDocument = MakeGuid("{2933BF90-7B36-11D2-B20E-00C04F983E60}");
const IID IID_IXMLDOMNode = MakeGuid("{2933BF80-7B36-11D2-B20E-00C04F983E60}");
const IID IID_IXMLDOMDocument = MakeGuid("{2933BF81-7B36-11D2-B20E-00C04F983E60}");
const IID IID_IXMLDOMNodeList = MakeGuid("{2933BF82-7B36-11D2-B20E-00C04F983E60}");
const IID IID_IXMLDOMElement = MakeGuid("{2933BF86-7B36-11D2-B20E-00C04F983E60}");
const IID IID_IXMLDOMParseError = MakeGuid("{3EFAA426-272F-11D2-836F-0000F87A7782}");

namespace skyvane {
namespace {

using namespace msxml;

std::atomic<long> g_liveDomObjects{0};

// Counts the DOM objects of this process.
struct LiveCount {
    LiveCount() noexcept { g_liveDomObjects.fetch_add(1, std::memory_order_relaxed); }
    ~LiveCount() { g_liveDomObjects.fetch_sub(1, std::memory_order_relaxed); }
    LiveCount(const LiveCount&) = delete;
    LiveCount& operator=(const LiveCount&) = delete;
};

HRESULT HandOut(std::string_view utf8, BSTR* out) {
    *out = Utf8ToBstr(utf8);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------------------
// Objects.

HRESULT WrapNode(const TreePtr& tree, DomPos pos, IXMLDOMNode** out);

// IDispatch of the DOM objects: they are driven through their interfaces, so
// late binding knows no names.
template <class Derived, class... Itfs>
class DomObject : public ComObject<Derived, Itfs...> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) *ppTInfo = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override {
        if (rgDispId)
            for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    LiveCount live_;
};

// The IXMLDOMNode members, over Derived's Tree() and Pos().
template <class Derived, class... Itfs>
class DomNodeBase : public DomObject<Derived, Itfs...> {
public:
    HRESULT STDMETHODCALLTYPE get_nodeName(BSTR* name) override {
        if (!name) return E_INVALIDARG;
        *name = nullptr;
        const DomPos pos = Self().Pos();
        switch (pos.Type()) {
            case pugi::node_element:
            case pugi::node_pi:
            case pugi::node_declaration:
                return HandOut(pos.node.name(), name);
            case pugi::node_pcdata:
                return HandOut("#text", name);
            case pugi::node_cdata:
                return HandOut("#cdata-section", name);
            case pugi::node_comment:
                return HandOut("#comment", name);
            case pugi::node_document:
                return HandOut("#document", name);
            default:
                return HandOut("", name);
        }
    }
    HRESULT STDMETHODCALLTYPE get_nodeType(DOMNodeType* type) override {
        if (!type) return E_INVALIDARG;
        switch (Self().Pos().Type()) {
            case pugi::node_element: *type = NODE_ELEMENT; break;
            case pugi::node_pcdata: *type = NODE_TEXT; break;
            case pugi::node_cdata: *type = NODE_CDATA_SECTION; break;
            case pugi::node_comment: *type = NODE_COMMENT; break;
            case pugi::node_pi:
            case pugi::node_declaration: *type = NODE_PROCESSING_INSTRUCTION; break;
            case pugi::node_doctype: *type = NODE_DOCUMENT_TYPE; break;
            case pugi::node_document: *type = NODE_DOCUMENT; break;
            default: *type = NODE_INVALID; break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_childNodes(IXMLDOMNodeList** childList) override;
    HRESULT STDMETHODCALLTYPE get_firstChild(IXMLDOMNode** firstChild) override {
        if (!firstChild) return E_INVALIDARG;
        *firstChild = nullptr;
        DomPos c = FirstChildOf(Self().Pos());
        return c ? WrapNode(Self().Tree(), c, firstChild) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_nextSibling(IXMLDOMNode** nextSibling) override {
        if (!nextSibling) return E_INVALIDARG;
        *nextSibling = nullptr;
        DomPos s = NextSiblingOf(Self().Pos());
        return s ? WrapNode(Self().Tree(), s, nextSibling) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE hasChildNodes(VARIANT_BOOL* hasChild) override {
        bool has = bool(FirstChildOf(Self().Pos()));
        if (hasChild) *hasChild = has ? VARIANT_TRUE : VARIANT_FALSE;
        return has ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_text(BSTR* text) override {
        if (!text) return E_INVALIDARG;
        *text = nullptr;
        std::string scratch;
        return HandOut(NodeText(Self().Pos(), scratch), text);
    }

private:
    Derived& Self() { return static_cast<Derived&>(*this); }
};

class DomNodeList final : public DomObject<DomNodeList, IXMLDOMNodeList> {
public:
    DomNodeList(TreePtr tree, DomPos parent) : tree_(std::move(tree)), parent_(parent) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<DomNodeList, IXMLDOMNodeList>(IID_IXMLDOMNodeList),
            InterfaceEntry::Of<DomNodeList, IXMLDOMNodeList>(IID_IDispatch),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE get_item(LONG index, IXMLDOMNode** listItem) override {
        if (!listItem) return E_INVALIDARG;
        *listItem = nullptr;
        DomPos n = At(index);
        return n ? WrapNode(tree_, n, listItem) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_length(LONG* listLength) override {
        if (!listLength) return E_INVALIDARG;
        if (length_ < 0) {
            LONG count = 0;
            for (DomPos c = FirstChildOf(parent_); c; c = NextSiblingOf(c)) ++count;
            length_ = count;
        }
        *listLength = length_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE nextNode(IXMLDOMNode** nextItem) override {
        if (!nextItem) return E_INVALIDARG;
        *nextItem = nullptr;
        DomPos n = At(next_);
        if (!n) return S_FALSE;
        ++next_;
        return WrapNode(tree_, n, nextItem);
    }
    HRESULT STDMETHODCALLTYPE reset() override {
        next_ = 0;
        return S_OK;
    }

private:
    // The child at an index. Callers walk a list front to back, so the last
    // position is remembered and a step forward costs one sibling hop.
    DomPos At(LONG index) {
        if (index < 0) return {};
        if (!cursor_ || index < cursorIndex_) {
            cursor_ = FirstChildOf(parent_);
            cursorIndex_ = 0;
        }
        while (cursor_ && cursorIndex_ < index) {
            cursor_ = NextSiblingOf(cursor_);
            ++cursorIndex_;
        }
        return cursor_;
    }

    TreePtr tree_;
    DomPos parent_;
    DomPos cursor_;
    LONG cursorIndex_ = 0;
    LONG length_ = -1;
    LONG next_ = 0;
};

template <class Derived, class... Itfs>
HRESULT DomNodeBase<Derived, Itfs...>::get_childNodes(IXMLDOMNodeList** childList) {
    if (!childList) return E_INVALIDARG;
    *childList = nullptr;
    ComPtr<DomNodeList> list;
    HRESULT hr = DomNodeList::CreateObject(list, Self().Tree(), Self().Pos());
    if (FAILED(hr)) return hr;
    *childList = list.Detach();
    return S_OK;
}

// A node that is not an element: text, CDATA, comment, processing instruction.
class DomNode final : public DomNodeBase<DomNode, IXMLDOMNode> {
public:
    DomNode(TreePtr tree, DomPos pos) : tree_(std::move(tree)), pos_(pos) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<DomNode, IXMLDOMNode>(IID_IXMLDOMNode),
            InterfaceEntry::Of<DomNode, IXMLDOMNode>(IID_IDispatch),
        };
        return table;
    }
    const TreePtr& Tree() const { return tree_; }
    DomPos Pos() const { return pos_; }

private:
    TreePtr tree_;
    DomPos pos_;
};

class DomElement final : public DomNodeBase<DomElement, IXMLDOMElement> {
public:
    DomElement(TreePtr tree, pugi::xml_node node) : tree_(std::move(tree)), node_(node) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<DomElement, IXMLDOMElement>(IID_IXMLDOMElement),
            InterfaceEntry::Of<DomElement, IXMLDOMElement>(IID_IXMLDOMNode),
            InterfaceEntry::Of<DomElement, IXMLDOMElement>(IID_IDispatch),
        };
        return table;
    }
    const TreePtr& Tree() const { return tree_; }
    DomPos Pos() const { return {node_}; }

    HRESULT STDMETHODCALLTYPE get_tagName(BSTR* tagName) override {
        if (!tagName) return E_INVALIDARG;
        *tagName = nullptr;
        return HandOut(node_.name(), tagName);
    }
    HRESULT STDMETHODCALLTYPE getAttribute(BSTR name, VARIANT* value) override {
        if (!name || !value) return E_INVALIDARG;
        VariantInit(value);
        value->vt = VT_NULL;
        std::u16string_view wide(name, SysStringLen(name));
        // A name holding a NUL can name no attribute.
        if (wide.find(u'\0') != std::u16string_view::npos) return S_FALSE;
        std::string key = ToUtf8(wide);
        for (pugi::xml_attribute a = node_.first_attribute(); a; a = a.next_attribute()) {
            if (std::strcmp(a.name(), key.c_str()) == 0) {
                BSTR text = Utf8ToBstr(a.value());
                if (!text) return E_OUTOFMEMORY;
                value->vt = VT_BSTR;
                value->bstrVal = text;
                return S_OK;
            }
        }
        return S_FALSE;
    }

private:
    TreePtr tree_;
    pugi::xml_node node_;
};

HRESULT WrapNode(const TreePtr& tree, DomPos pos, IXMLDOMNode** out) {
    HRESULT hr;
    if (pos.Type() == pugi::node_element) {
        ComPtr<DomElement> e;
        hr = DomElement::CreateObject(e, tree, pos.node);
        *out = e.Detach();
    } else {
        ComPtr<DomNode> n;
        hr = DomNode::CreateObject(n, tree, pos);
        *out = n.Detach();
    }
    return hr;
}

// What went wrong in the last load; zero and empty after a good one.
struct ParseFailure {
    LONG code = 0;
    std::string reason;
    LONG line = 0;
    LONG linepos = 0;
    LONG filepos = 0;
};

class DomParseError final : public DomObject<DomParseError, IXMLDOMParseError> {
public:
    explicit DomParseError(ParseFailure failure) : failure_(std::move(failure)) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<DomParseError, IXMLDOMParseError>(IID_IXMLDOMParseError),
            InterfaceEntry::Of<DomParseError, IXMLDOMParseError>(IID_IDispatch),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE get_errorCode(LONG* errorCode) override { return Number(failure_.code, errorCode); }
    HRESULT STDMETHODCALLTYPE get_reason(BSTR* reasonString) override {
        if (!reasonString) return E_INVALIDARG;
        *reasonString = nullptr;
        if (failure_.code == 0) return S_FALSE;
        return HandOut(failure_.reason, reasonString);
    }
    HRESULT STDMETHODCALLTYPE get_line(LONG* lineNumber) override { return Number(failure_.line, lineNumber); }
    HRESULT STDMETHODCALLTYPE get_linepos(LONG* linePosition) override {
        return Number(failure_.linepos, linePosition);
    }
    HRESULT STDMETHODCALLTYPE get_filepos(LONG* filePosition) override {
        return Number(failure_.filepos, filePosition);
    }

private:
    HRESULT Number(LONG v, LONG* out) const {
        if (!out) return E_INVALIDARG;
        *out = v;
        return failure_.code == 0 ? S_FALSE : S_OK;
    }

    ParseFailure failure_;
};

// Comments are kept as nodes; the text that opens an element is held by the
// element (see DomPos); the text is parsed as a fragment, so that text or a
// second element beside the root is seen and refused instead of silently
// dropped.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_fragment | pugi::parse_embed_pcdata;

// Error codes of the load, one per kind of fault (the parser's status in the
// low bits of the platform's XML error range).
constexpr LONG kXmlErrorBase = LONG(0xC00CE500u);
constexpr LONG kXmlErrorNoRoot = kXmlErrorBase + 0x40;
constexpr LONG kXmlErrorManyRoots = kXmlErrorBase + 0x41;
constexpr LONG kXmlErrorTopLevelText = kXmlErrorBase + 0x42;

// Copies sixteen UTF-16 units as bytes when all of them are ASCII.
bool CopyAsciiBlock(const char16_t* from, char* to) {
#if defined(__SSE2__)
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8));
    __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(short(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF) return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(a, b));
    return true;
#else
    for (int k = 0; k < 16; ++k)
        if (from[k] >= 0x80) return false;
    for (int k = 0; k < 16; ++k) to[k] = char(from[k]);
    return true;
#endif
}

class DomDocument final : public DomNodeBase<DomDocument, IXMLDOMDocument, IXmlNativeDocument> {
public:
    DomDocument() : tree_(std::make_shared<DomTree>()) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<DomDocument, IXMLDOMDocument>(IID_IXMLDOMDocument),
            InterfaceEntry::Of<DomDocument, IXMLDOMDocument>(IID_IXMLDOMNode),
            InterfaceEntry::Of<DomDocument, IXMLDOMDocument>(IID_IDispatch),
            InterfaceEntry::Of<DomDocument, IXmlNativeDocument>(IID_IXmlNativeDocument),
        };
        return table;
    }
    const TreePtr& Tree() const { return tree_; }
    DomPos Pos() const { return {tree_->doc}; }

    TreePtr STDMETHODCALLTYPE NativeTree() override { return tree_; }

    HRESULT STDMETHODCALLTYPE get_documentElement(IXMLDOMElement** DOMElement) override {
        if (!DOMElement) return E_INVALIDARG;
        *DOMElement = nullptr;
        pugi::xml_node root = tree_->doc.document_element();
        if (!root) return S_FALSE;
        ComPtr<DomElement> e;
        HRESULT hr = DomElement::CreateObject(e, tree_, root);
        *DOMElement = e.Detach();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_parseError(IXMLDOMParseError** errorObj) override {
        if (!errorObj) return E_INVALIDARG;
        *errorObj = nullptr;
        ComPtr<DomParseError> e;
        HRESULT hr = DomParseError::CreateObject(e, failure_);
        *errorObj = e.Detach();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_async(VARIANT_BOOL* isAsync) override {
        if (!isAsync) return E_INVALIDARG;
        *isAsync = async_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_async(VARIANT_BOOL isAsync) override {
        async_ = isAsync ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) override {
        if (isSuccessful) *isSuccessful = VARIANT_FALSE;
        try {
            bool ok = Load(std::u16string_view(bstrXML, SysStringLen(bstrXML)));
            if (isSuccessful) *isSuccessful = ok ? VARIANT_TRUE : VARIANT_FALSE;
            return ok ? S_OK : S_FALSE;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

private:
    bool Load(std::u16string_view text) {
        // A byte order mark is not part of the text.
        if (!text.empty() && text.front() == u'\xFEFF') text.remove_prefix(1);
        auto tree = std::make_shared<DomTree>();
        // The parser works in place on a buffer it owns and frees; three bytes
        // per unit hold any text.
        size_t capacity = text.size() * 3 + 1;
        char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(capacity));
        if (!buffer) throw std::bad_alloc();
        size_t bytes = 0;
        const char16_t* p = text.data();
        const size_t n = text.size();
        for (size_t i = 0; i < n;) {
            // Runs of ASCII, the bulk of any answer, go sixteen units at a time.
            if (i + 16 <= n && CopyAsciiBlock(p + i, buffer + bytes)) {
                bytes += 16;
                i += 16;
                continue;
            }
            for (const size_t stop = std::min(n, i + 16); i < stop;) {
                if (p[i] < 0x80) {
                    buffer[bytes++] = char(p[i++]);
                    continue;
                }
                size_t end = i + 1;
                while (end < n && p[end] >= 0x80) ++end;
                EncodeUtf8(text.substr(i, end - i), [&](char c) { buffer[bytes++] = c; });
                i = end;
            }
        }

        pugi::xml_parse_result result = tree->doc.load_buffer_inplace_own(
            buffer, bytes, kParseOptions, pugi::encoding_utf8);
        ParseFailure failure;
        if (!result) {
            failure.code = kXmlErrorBase + LONG(result.status);
            failure.reason = result.description();
            Locate(text, size_t(result.offset), failure);
        } else {
            CheckTopLevel(tree->doc, failure);
            if (failure.code) Locate(text, bytes, failure);
        }
        if (failure.code) {
            tree_ = std::make_shared<DomTree>();
            failure_ = std::move(failure);
            return false;
        }
        tree_ = std::move(tree);
        failure_ = {};
        return true;
    }

    // A document has exactly one root element and no text beside it.
    static void CheckTopLevel(const pugi::xml_document& doc, ParseFailure& failure) {
        int elements = 0;
        for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) {
                ++elements;
            } else if (IsText(c)) {
                failure.code = kXmlErrorTopLevelText;
                failure.reason = "Invalid at the top level of the document.";
                return;
            }
        }
        if (elements == 0) {
            failure.code = kXmlErrorNoRoot;
            failure.reason = "XML document must have a top level element.";
        } else if (elements > 1) {
            failure.code = kXmlErrorManyRoots;
            failure.reason = "Only one top level element is allowed.";
        }
    }

    // Line, position in the line (both from 1) and position in the text of a
    // byte offset into the UTF-8 form of the text.
    static void Locate(std::u16string_view text, size_t offset, ParseFailure& failure) {
        size_t bytes = 0;
        LONG line = 1, column = 1, units = 0;
        for (size_t i = 0; i < text.size() && bytes < offset; ++i) {
            char16_t c = text[i];
            bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                        text[i + 1] <= 0xDFFF;
            bytes += pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            units += pair ? 2 : 1;
            if (pair) ++i;
            if (c == u'\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        failure.line = line;
        failure.linepos = column;
        failure.filepos = units;
    }

    TreePtr tree_;
    ParseFailure failure_;
    VARIANT_BOOL async_ = VARIANT_TRUE;
};

}  // namespace

HRESULT CreateDOMDocument(IUnknown* outer, REFIID riid, void** ppv) {
    return DomDocument::Create(outer, riid, ppv);
}

long LiveDomObjectCount() { return g_liveDomObjects.load(std::memory_order_relaxed); }

}  // namespace skyvane
