// The weather service library's string-table texts used by the download code,
// by their numbers in the library's string table.
#pragma once

namespace skyvane::net {
// 3: a download that ended with an HTTP status other than 200.
constexpr const char16_t kStringHttpError[] = u"Weather server HTTP error %d ocurred. Please try later.";
// 4: a download that failed on the way.
constexpr const char16_t kStringUpdateFailed[] = u"Weather update failed.";
// 12: the statistics of a successful download.
constexpr const char16_t kStringRequestInfo[] = u"time=%d ms, download size=%d bytes unpacked=%d bytes";
// 13-15: why a download failed when no socket error says it; they follow
// text 4 and a space, and a period follows them.
constexpr const char16_t kStringTransferCoding[] = u"The server sent the transfer coding \"%s\", which cannot be read";
constexpr const char16_t kStringContentCoding[] =
    u"The server sent the document in the content coding \"%s\", which cannot be unpacked";
constexpr const char16_t kStringDocumentTooLarge[] = u"The unpacked document is larger than %d MiB";

// The text of a string-table entry by number; nullptr for numbers this part
// of the library does not own.
const char16_t* LoadNetString(unsigned id);
}  // namespace skyvane::net
