// The online city search: its address and the reading of its answer, an XML
// document whose root element holds one child per city found, the city code
// in the child's "id" attribute and the name as the child's text:
//
//   <search ver="3.0"><loc id="RSXX0091" type="1">Moscow, Russia</loc></search>
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/msxml/msxml.h"

namespace skyvane::cities {

// The search endpoint on a host ("host" or "host:port"); the escaped city
// name is appended directly.
std::u16string CitySearchUrl(std::u16string_view host);

struct FoundCity {
    std::u16string name;
    std::u16string code;  // empty when the element has no "id"
};

// 0x80070002: the search found no city.
inline constexpr HRESULT kNoCityFoundResult = static_cast<HRESULT>(0x80070002u);

// Reads every child element of the document element in document order
// (their names are not checked; comments and other non-element children are
// passed over). S_OK with at least one city, kNoCityFoundResult when there is
// none, or the failure of a DOM call.
HRESULT ReadCitySearchAnswer(IXMLDOMDocument* document, std::vector<FoundCity>& cities);

}  // namespace skyvane::cities
