// What the XML download makes of a response body: the content codings undone,
// the text cut at its first NUL byte, cleaned up for the XML reader and
// converted from the code page.
#pragma once

#include <cstddef>
#include <string>

#include "net/http_response.h"

namespace skyvane::net {

enum class DocumentFailure {
    None,
    BufferTooSmall,   // the inflated text outgrew the last doubling of its buffer
    TooLarge,         // the inflated text passed the cap on documents
    UnknownCoding,    // a content coding the client cannot undo
};

struct DocumentResult {
    DocumentFailure failure = DocumentFailure::None;
    std::u16string text;
    // The output buffer size of the inflate that succeeded, or the response
    // size (head plus body) when nothing was inflated.
    size_t unpacked = 0;
    std::u16string coding;  // with UnknownCoding: the Content-Encoding value
};

// The first inflate buffer is this many times the response, doubled at most
// to the fifth size; no document inflates beyond kMaxDocumentBytes.
constexpr size_t kInflateGrowth = 10;
constexpr int kInflateAttempts = 5;
constexpr size_t kMaxDocumentBytes = 64u << 20;

// Content codings are compared without case: "gzip" and "x-gzip" (every
// member), "deflate" (zlib-wrapped or raw) and "identity". A corrupt coded
// body gives an empty text, which the XML reader then rejects. codePage 0 is
// the device's ANSI code page.
DocumentResult DecodeDocument(const HttpResponse& response, unsigned codePage = 0);

// The clean-up of a downloaded text: every encoding="ISO-8859-1" is removed,
// and anything before the first "<" (a byte-order mark, blank lines).
void CleanXmlText(std::string& text);

}  // namespace skyvane::net
