// The reader of the weather service's XML answer: loads the text into a DOM
// document, refusing texts that are not well-formed and "err" documents, and
// turns a loaded document into the ordered list of weather records.
//
// Failures carry an error object whose source is the KWeatherService class:
// a text that is not well-formed (string 5) and an "err" document (string 102)
// with CLSID_KWeatherService as the interface identifier, other failures with
// IID_IKWeatherService.
#pragma once

#include "platform/msxml/msxml.h"
#include "platform/com/unknwn.h"

namespace skyvane::weather {

// Load document: a new DOM document holding the text. E_INVALIDARG for a NULL
// text; E_FAIL for a text that is not well-formed or an "err" document; the
// DOM's own result when it cannot be created or refuses to load.
HRESULT LoadWeatherDocument(BSTR xml, IXMLDOMDocument** document) noexcept;
// The same steps on a document made by the caller (any DOM): loads the text
// and refuses what Load document refuses, a document that cannot give its
// root element included.
HRESULT LoadAnswerInto(IXMLDOMDocument* document, BSTR xml) noexcept;

// Build records: a record enumerator over the records of a loaded document,
// in the order current, forecast, archive, local and alert records appear in
// the document, followed by the map records, largest map number first.
// E_INVALIDARG when the object is not a DOM document; E_FAIL for an "err"
// document; a record that fails to load aborts the whole build with its error.
HRESULT BuildWeatherRecords(IUnknown* document, IEnumUnknown** records) noexcept;

}  // namespace skyvane::weather
