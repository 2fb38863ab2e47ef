// The weather service library's string-table texts used by the response
// reader, by their numbers in the library's string table.
#pragma once

namespace skyvane::weather {
// 5: the answer is not well-formed XML; %s is the parser's reason.
constexpr const char16_t kStringWrongXml[] = u"Weather service returned wrong XML response. Error is %s";
// 102: the answer is an "err" document; %s is its text and type.
constexpr const char16_t kStringServiceError[] = u"Weather service returned error. Error is %s";

// The text of a string-table entry by number; nullptr for numbers this part
// of the library does not own.
const char16_t* LoadWeatherString(unsigned id);
}  // namespace skyvane::weather
