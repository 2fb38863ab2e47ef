// The platform's XML DOM (MSXML): the document, node, node list, element and
// parse error interfaces with the members the system calls, in the platform's
// slot order among themselves (members the system never calls are left out).
// The document is created with CoCreateInstance(CLSID_DOMDocument, ...) or
// skyvane::CreateDOMDocument and is built over pugixml.
//
// Behaviour callers rely on:
// - loadXML parses a UTF-16 text; an encoding declaration inside it is ignored,
//   as the text is already decoded. A text that is not well-formed leaves an
//   empty document, *isSuccessful VARIANT_FALSE, S_FALSE, and the reason in
//   get_parseError.
// - White space is not preserved: text nodes holding only white space are not
//   children, and get_text drops the white space at both ends of the result.
// - Element and attribute names compare case-sensitively.
// - get_text of an element is the concatenated text of all its descendants.
// - getAttribute gives VT_BSTR when the attribute exists, else VT_NULL and
//   S_FALSE.
// - Nodes keep their document's tree alive; loading again gives the document a
//   new tree and leaves nodes of the old one valid. The same holds for the
//   direct views below.
// - The objects are driven through these interfaces only: their IDispatch
//   knows no names (GetIDsOfNames answers DISP_E_UNKNOWNNAME).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"

extern const CLSID CLSID_DOMDocument;        // {2933BF90-7B36-11D2-B20E-00C04F983E60}
extern const IID IID_IXMLDOMNode;            // {2933BF80-7B36-11D2-B20E-00C04F983E60}
extern const IID IID_IXMLDOMDocument;        // {2933BF81-7B36-11D2-B20E-00C04F983E60}
extern const IID IID_IXMLDOMNodeList;        // {2933BF82-7B36-11D2-B20E-00C04F983E60}
extern const IID IID_IXMLDOMElement;         // {2933BF86-7B36-11D2-B20E-00C04F983E60}
extern const IID IID_IXMLDOMParseError;      // {3EFAA426-272F-11D2-836F-0000F87A7782}

enum DOMNodeType : LONG {
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_ENTITY_REFERENCE = 5,
    NODE_ENTITY = 6,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
    NODE_DOCUMENT_TYPE = 10,
    NODE_DOCUMENT_FRAGMENT = 11,
    NODE_NOTATION = 12,
};

struct IXMLDOMNodeList;
struct IXMLDOMDocument;

struct IXMLDOMNode : IDispatch {
    // "#text", "#comment", "#cdata-section", "#document" or the element's name.
    virtual HRESULT STDMETHODCALLTYPE get_nodeName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_nodeType(DOMNodeType* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_childNodes(IXMLDOMNodeList** childList) = 0;
    // S_FALSE and NULL when there is none.
    virtual HRESULT STDMETHODCALLTYPE get_firstChild(IXMLDOMNode** firstChild) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_nextSibling(IXMLDOMNode** nextSibling) = 0;
    virtual HRESULT STDMETHODCALLTYPE hasChildNodes(VARIANT_BOOL* hasChild) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_text(BSTR* text) = 0;
};

struct IXMLDOMNodeList : IDispatch {
    // S_FALSE and NULL for an index outside 0 .. length-1.
    virtual HRESULT STDMETHODCALLTYPE get_item(LONG index, IXMLDOMNode** listItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_length(LONG* listLength) = 0;
    // The list's own cursor: S_FALSE and NULL past the end; reset rewinds.
    virtual HRESULT STDMETHODCALLTYPE nextNode(IXMLDOMNode** nextItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE reset() = 0;
};

struct IXMLDOMParseError : IDispatch {
    // S_FALSE and 0 / NULL when the last load succeeded.
    virtual HRESULT STDMETHODCALLTYPE get_errorCode(LONG* errorCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_reason(BSTR* reasonString) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_line(LONG* lineNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_linepos(LONG* linePosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_filepos(LONG* filePosition) = 0;
};

struct IXMLDOMElement : IXMLDOMNode {
    virtual HRESULT STDMETHODCALLTYPE get_tagName(BSTR* tagName) = 0;
    virtual HRESULT STDMETHODCALLTYPE getAttribute(BSTR name, VARIANT* value) = 0;
};

struct IXMLDOMDocument : IXMLDOMNode {
    // S_FALSE and NULL when the document has no root element.
    virtual HRESULT STDMETHODCALLTYPE get_documentElement(IXMLDOMElement** DOMElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_parseError(IXMLDOMParseError** errorObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_async(VARIANT_BOOL* isAsync) = 0;
    // Loading is always synchronous here; the flag is kept and reported.
    virtual HRESULT STDMETHODCALLTYPE put_async(VARIANT_BOOL isAsync) = 0;
    virtual HRESULT STDMETHODCALLTYPE loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) = 0;
};

SKYVANE_DECLARE_IID(IXMLDOMNode, IID_IXMLDOMNode);
SKYVANE_DECLARE_IID(IXMLDOMDocument, IID_IXMLDOMDocument);
SKYVANE_DECLARE_IID(IXMLDOMNodeList, IID_IXMLDOMNodeList);
SKYVANE_DECLARE_IID(IXMLDOMElement, IID_IXMLDOMElement);
SKYVANE_DECLARE_IID(IXMLDOMParseError, IID_IXMLDOMParseError);

namespace skyvane {

// Direct reading of this platform's DOM, for readers that walk large answers:
// no object and no BSTR per step. Names, texts and attribute values are UTF-8
// and follow the interfaces' rules (get_text's trimming, case-sensitive
// names). A view is valid while the document view it came from lives.

// One child element as XmlElementView::AppendChildren lists it.
struct XmlChild;

class XmlElementView {
public:
    XmlElementView() noexcept = default;

    explicit operator bool() const noexcept { return node_ != nullptr; }
    // NUL-terminated.
    const char* NameData() const noexcept;
    // The text as get_text gives it; scratch may hold it.
    std::string_view Text(std::string& scratch) const;
    // The attribute's value; false when there is none.
    bool Attribute(std::string_view name, std::string_view& value) const noexcept;
    // Appends the child elements, in document order, in one call.
    void AppendChildren(std::vector<XmlChild>& out) const;

private:
    friend class XmlDocumentView;
    explicit XmlElementView(void* node) noexcept : node_(node) {}
    void* node_ = nullptr;
};

struct XmlChild {
    XmlElementView element;
    const char* name;  // NUL-terminated
    // The text the element holds, as parsed, when it has no children of its
    // own (the common case); NULL when it has some.
    const char* heldText;

    // The text as get_text gives it; scratch may hold it.
    std::string_view Text(std::string& scratch) const {
        if (!heldText) return element.Text(scratch);
        std::string_view text(heldText);
        auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!text.empty() && blank(text.front())) text.remove_prefix(1);
        while (!text.empty() && blank(text.back())) text.remove_suffix(1);
        return text;
    }
};

// The root element of a document of this DOM, holding the parsed tree: the
// views taken from it stay valid while it lives, even when the document loads
// another text or is released meanwhile.
class XmlDocumentView {
public:
    XmlDocumentView() noexcept = default;
    // Empty for anything that is not a document of this DOM with a root element.
    static XmlDocumentView Of(IUnknown* document) noexcept;

    explicit operator bool() const noexcept { return bool(root_); }
    const XmlElementView& Root() const noexcept { return root_; }

private:
    std::shared_ptr<const void> tree_;
    XmlElementView root_;
};

// A UTF-8 text of the DOM as the interfaces would hand it out (the second form
// reuses the string's storage).
std::u16string XmlTextToUtf16(std::string_view utf8);
void XmlTextToUtf16(std::string_view utf8, std::u16string& out);

// A new, empty DOM document (what the DOMDocument class factory makes).
HRESULT CreateDOMDocument(IUnknown* outer, REFIID riid, void** ppv);
// DOM objects alive in this process; tests use it to find leaks.
long LiveDomObjectCount();
}  // namespace skyvane
