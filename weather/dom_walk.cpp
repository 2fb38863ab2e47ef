#include "weather/dom_walk.h"

#include "platform/oleaut/variant.h"

namespace skyvane::weather {

std::optional<std::u16string> NodeText(IXMLDOMNode* node) {
    skyvane::Bstr text;
    if (FAILED(node->get_text(text.Out())) || !text.get()) return std::nullopt;
    return text.Str();
}

bool NodeText(IXMLDOMNode* node, skyvane::Bstr& text) {
    if (SUCCEEDED(node->get_text(text.Out())) && text.get()) return true;
    text = skyvane::Bstr();
    return false;
}

std::u16string TagName(IXMLDOMElement* element) {
    skyvane::Bstr name;
    if (FAILED(element->get_tagName(name.Out()))) return {};
    return name.Str();
}

std::optional<std::u16string> AttributeText(IXMLDOMElement* element, std::u16string_view name) {
    skyvane::Bstr key(name);
    skyvane::Variant value;
    if (FAILED(element->getAttribute(key, &value)) || value.vt != VT_BSTR) return std::nullopt;
    return std::u16string(skyvane::BstrView(value.bstrVal));
}

}  // namespace skyvane::weather
