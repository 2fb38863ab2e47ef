#include "cities/city_search.h"

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

namespace skyvane::cities {

std::u16string CitySearchUrl(std::u16string_view host) {
    return u"http://" + std::u16string(host) + u"/search/search?where=";
}

HRESULT ReadCitySearchAnswer(IXMLDOMDocument* document, std::vector<FoundCity>& cities) {
    cities.clear();
    if (!document) return E_POINTER;
    ComPtr<IXMLDOMElement> root;
    HRESULT hr = document->get_documentElement(&root);
    if (FAILED(hr)) return hr;
    if (!root) return kNoCityFoundResult;

    ComPtr<IXMLDOMNode> node;
    hr = root->get_firstChild(&node);
    if (FAILED(hr)) return hr;
    const Bstr idName(u"id");
    while (node) {
        ComPtr<IXMLDOMElement> element;
        if (SUCCEEDED(node.As(element)) && element) {
            FoundCity city;
            Variant id;
            hr = element->getAttribute(idName, &id);
            if (FAILED(hr)) return hr;
            if (id.vt == VT_BSTR) city.code.assign(BstrView(id.bstrVal));
            Bstr text;
            hr = element->get_text(text.Out());
            if (FAILED(hr)) return hr;
            city.name = text.Str();
            cities.push_back(std::move(city));
        }
        ComPtr<IXMLDOMNode> next;
        hr = node->get_nextSibling(&next);
        if (FAILED(hr)) return hr;
        node = std::move(next);
    }
    return cities.empty() ? kNoCityFoundResult : S_OK;
}

}  // namespace skyvane::cities
