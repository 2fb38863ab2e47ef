// Small helpers for reading the weather answer through the DOM interfaces.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/oleaut/bstr.h"
#include "platform/com/com_object.h"
#include "platform/msxml/msxml.h"

namespace skyvane::weather {

// Calls f(IXMLDOMElement*, std::u16string_view name) for each child element
// of a node in document order; other child nodes are skipped. Stops at the
// first failure of f or of the DOM and returns it.
template <class F>
HRESULT ForEachChildElement(IXMLDOMNode* node, F&& f) {
    skyvane::ComPtr<IXMLDOMNodeList> children;
    HRESULT hr = node->get_childNodes(&children);
    if (FAILED(hr)) return hr;
    if (!children) return S_OK;
    LONG count = 0;
    hr = children->get_length(&count);
    if (FAILED(hr)) return hr;
    for (LONG i = 0; i < count; ++i) {
        skyvane::ComPtr<IXMLDOMNode> child;
        hr = children->get_item(i, &child);
        if (FAILED(hr)) return hr;
        skyvane::ComPtr<IXMLDOMElement> element;
        if (!child || FAILED(child.As(element))) continue;
        skyvane::Bstr name;
        hr = element->get_tagName(name.Out());
        if (FAILED(hr)) return hr;
        hr = f(element.Get(), name.View());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// The node's text as get_text gives it; nothing when the DOM gives none.
std::optional<std::u16string> NodeText(IXMLDOMNode* node);
// The same into a BSTR; false (and an empty text) when the DOM gives none.
bool NodeText(IXMLDOMNode* node, skyvane::Bstr& text);
// The element's tag name (empty when the DOM gives none).
std::u16string TagName(IXMLDOMElement* element);
// The attribute's text; nothing when it is absent or not a string.
std::optional<std::u16string> AttributeText(IXMLDOMElement* element, std::u16string_view name);

}  // namespace skyvane::weather
