// A stand-in for "some other DOM": wraps the platform's DOM objects and
// offers only the public DOM interfaces, so that the reader has to take its
// path through the interfaces. Tests and the fuzz target compare that path
// with the direct one.
#pragma once

#include <span>

#include "platform/com/com_object.h"
#include "platform/msxml/msxml.h"

namespace skyvane::weather::test {

HRESULT WrapForeign(IXMLDOMNode* inner, IXMLDOMNode** out);

// The IDispatch half of the wrappers: not used by the reader.
template <class Derived, class Itf>
class ForeignBase : public skyvane::ComObject<Derived, Itf> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* p) override {
        if (p) *p = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// The node members, forwarded; nodes handed out are wrapped in turn.
template <class Derived, class Itf>
class ForeignNodeBase : public ForeignBase<Derived, Itf> {
public:
    explicit ForeignNodeBase(skyvane::ComPtr<IXMLDOMNode> inner) : node_(std::move(inner)) {}

    HRESULT STDMETHODCALLTYPE get_nodeName(BSTR* name) override { return node_->get_nodeName(name); }
    HRESULT STDMETHODCALLTYPE get_nodeType(DOMNodeType* type) override { return node_->get_nodeType(type); }
    HRESULT STDMETHODCALLTYPE get_childNodes(IXMLDOMNodeList** childList) override;
    HRESULT STDMETHODCALLTYPE get_firstChild(IXMLDOMNode** child) override { return Wrapped(&IXMLDOMNode::get_firstChild, child); }
    HRESULT STDMETHODCALLTYPE get_nextSibling(IXMLDOMNode** next) override { return Wrapped(&IXMLDOMNode::get_nextSibling, next); }
    HRESULT STDMETHODCALLTYPE hasChildNodes(VARIANT_BOOL* has) override { return node_->hasChildNodes(has); }
    HRESULT STDMETHODCALLTYPE get_text(BSTR* text) override { return node_->get_text(text); }

protected:
    HRESULT Wrapped(HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*get)(IXMLDOMNode**), IXMLDOMNode** out) {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        skyvane::ComPtr<IXMLDOMNode> inner;
        HRESULT hr = ((*node_).*get)(&inner);
        if (hr != S_OK || !inner) return hr;
        return WrapForeign(inner.Get(), out);
    }

    skyvane::ComPtr<IXMLDOMNode> node_;
};

class ForeignNodeList final : public ForeignBase<ForeignNodeList, IXMLDOMNodeList> {
public:
    explicit ForeignNodeList(skyvane::ComPtr<IXMLDOMNodeList> inner) : list_(std::move(inner)) {}
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept {
        static constexpr skyvane::InterfaceEntry table[] = {
            skyvane::InterfaceEntry::Of<ForeignNodeList, IXMLDOMNodeList>(IID_IXMLDOMNodeList),
            skyvane::InterfaceEntry::Of<ForeignNodeList, IXMLDOMNodeList>(IID_IDispatch),
        };
        return table;
    }
    HRESULT STDMETHODCALLTYPE get_item(LONG index, IXMLDOMNode** item) override {
        if (!item) return E_INVALIDARG;
        *item = nullptr;
        skyvane::ComPtr<IXMLDOMNode> inner;
        HRESULT hr = list_->get_item(index, &inner);
        if (hr != S_OK || !inner) return hr;
        return WrapForeign(inner.Get(), item);
    }
    HRESULT STDMETHODCALLTYPE get_length(LONG* length) override { return list_->get_length(length); }
    HRESULT STDMETHODCALLTYPE nextNode(IXMLDOMNode** next) override {
        if (!next) return E_INVALIDARG;
        *next = nullptr;
        skyvane::ComPtr<IXMLDOMNode> inner;
        HRESULT hr = list_->nextNode(&inner);
        if (hr != S_OK || !inner) return hr;
        return WrapForeign(inner.Get(), next);
    }
    HRESULT STDMETHODCALLTYPE reset() override { return list_->reset(); }

private:
    skyvane::ComPtr<IXMLDOMNodeList> list_;
};

template <class Derived, class Itf>
HRESULT ForeignNodeBase<Derived, Itf>::get_childNodes(IXMLDOMNodeList** childList) {
    if (!childList) return E_INVALIDARG;
    *childList = nullptr;
    skyvane::ComPtr<IXMLDOMNodeList> inner;
    HRESULT hr = node_->get_childNodes(&inner);
    if (FAILED(hr) || !inner) return hr;
    skyvane::ComPtr<ForeignNodeList> list;
    hr = ForeignNodeList::CreateObject(list, inner);
    *childList = list.Detach();
    return hr;
}

class ForeignNode final : public ForeignNodeBase<ForeignNode, IXMLDOMNode> {
public:
    using ForeignNodeBase::ForeignNodeBase;
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept {
        static constexpr skyvane::InterfaceEntry table[] = {
            skyvane::InterfaceEntry::Of<ForeignNode, IXMLDOMNode>(IID_IXMLDOMNode),
            skyvane::InterfaceEntry::Of<ForeignNode, IXMLDOMNode>(IID_IDispatch),
        };
        return table;
    }
};

class ForeignElement final : public ForeignNodeBase<ForeignElement, IXMLDOMElement> {
public:
    ForeignElement(skyvane::ComPtr<IXMLDOMNode> node, skyvane::ComPtr<IXMLDOMElement> element)
        : ForeignNodeBase(std::move(node)), element_(std::move(element)) {}
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept {
        static constexpr skyvane::InterfaceEntry table[] = {
            skyvane::InterfaceEntry::Of<ForeignElement, IXMLDOMElement>(IID_IXMLDOMElement),
            skyvane::InterfaceEntry::Of<ForeignElement, IXMLDOMElement>(IID_IXMLDOMNode),
            skyvane::InterfaceEntry::Of<ForeignElement, IXMLDOMElement>(IID_IDispatch),
        };
        return table;
    }
    HRESULT STDMETHODCALLTYPE get_tagName(BSTR* name) override { return element_->get_tagName(name); }
    HRESULT STDMETHODCALLTYPE getAttribute(BSTR name, VARIANT* value) override {
        return element_->getAttribute(name, value);
    }

private:
    skyvane::ComPtr<IXMLDOMElement> element_;
};

class ForeignDocument final : public ForeignNodeBase<ForeignDocument, IXMLDOMDocument> {
public:
    ForeignDocument(skyvane::ComPtr<IXMLDOMNode> node, skyvane::ComPtr<IXMLDOMDocument> doc, HRESULT rootResult)
        : ForeignNodeBase(std::move(node)), doc_(std::move(doc)), rootResult_(rootResult) {}
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept {
        static constexpr skyvane::InterfaceEntry table[] = {
            skyvane::InterfaceEntry::Of<ForeignDocument, IXMLDOMDocument>(IID_IXMLDOMDocument),
            skyvane::InterfaceEntry::Of<ForeignDocument, IXMLDOMDocument>(IID_IXMLDOMNode),
            skyvane::InterfaceEntry::Of<ForeignDocument, IXMLDOMDocument>(IID_IDispatch),
        };
        return table;
    }
    HRESULT STDMETHODCALLTYPE get_documentElement(IXMLDOMElement** root) override {
        if (!root) return E_INVALIDARG;
        *root = nullptr;
        if (rootResult_ != S_OK) return rootResult_;
        skyvane::ComPtr<IXMLDOMElement> inner;
        HRESULT hr = doc_->get_documentElement(&inner);
        if (hr != S_OK || !inner) return hr;
        skyvane::ComPtr<IXMLDOMNode> wrapped;
        hr = WrapForeign(inner.Get(), &wrapped);
        if (FAILED(hr)) return hr;
        return wrapped->QueryInterface(IID_PPV_ARGS(root));
    }
    HRESULT STDMETHODCALLTYPE get_parseError(IXMLDOMParseError** error) override { return doc_->get_parseError(error); }
    HRESULT STDMETHODCALLTYPE get_async(VARIANT_BOOL* a) override { return doc_->get_async(a); }
    HRESULT STDMETHODCALLTYPE put_async(VARIANT_BOOL a) override { return doc_->put_async(a); }
    HRESULT STDMETHODCALLTYPE loadXML(BSTR xml, VARIANT_BOOL* ok) override { return doc_->loadXML(xml, ok); }

private:
    skyvane::ComPtr<IXMLDOMDocument> doc_;
    HRESULT rootResult_;
};

inline HRESULT WrapForeign(IXMLDOMNode* inner, IXMLDOMNode** out) {
    *out = nullptr;
    skyvane::ComPtr<IXMLDOMNode> node(inner);
    skyvane::ComPtr<IXMLDOMElement> element;
    if (SUCCEEDED(node.As(element)) && element) {
        skyvane::ComPtr<ForeignElement> e;
        HRESULT hr = ForeignElement::CreateObject(e, node, element);
        *out = e.Detach();
        return hr;
    }
    skyvane::ComPtr<ForeignNode> n;
    HRESULT hr = ForeignNode::CreateObject(n, node);
    *out = n.Detach();
    return hr;
}

// The same document behind wrappers that offer only the public interfaces.
// With a rootResult other than S_OK, the document cannot give its root
// element: get_documentElement answers rootResult (S_FALSE: no element).
inline skyvane::ComPtr<IXMLDOMDocument> ForeignDocumentOf(const skyvane::ComPtr<IXMLDOMDocument>& doc,
                                                          HRESULT rootResult = S_OK) {
    skyvane::ComPtr<IXMLDOMNode> node;
    doc.As(node);
    skyvane::ComPtr<ForeignDocument> foreign;
    ForeignDocument::CreateObject(foreign, node, doc, rootResult);
    return skyvane::ComPtr<IXMLDOMDocument>(foreign.Get());
}

}  // namespace skyvane::weather::test
