#include "net/document_body.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "net/inflate.h"
#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"

namespace skyvane::net {
namespace {

bool CanUndo(std::u16string_view coding) { return coding == u"gzip" || coding == u"x-gzip" || coding == u"deflate"; }

InflateResult InflateCoding(std::u16string_view coding, std::string_view bytes, size_t initialSize) {
    auto inflate = [&](InflateFormat format) {
        return Inflate(bytes, format, initialSize, kInflateAttempts, kMaxDocumentBytes);
    };
    if (coding != u"deflate") return inflate(InflateFormat::Gzip);
    // "deflate" is meant zlib-wrapped; some servers send the bare stream.
    InflateResult result;
    if (LooksLikeZlib(bytes)) result = inflate(InflateFormat::Zlib);
    if (result.status == InflateStatus::Corrupt) result = inflate(InflateFormat::Raw);
    return result;
}

// Undoes one content coding: the inflated bytes replace `bytes`; a corrupt
// stream leaves them empty.
DocumentFailure Undo(std::u16string_view coding, size_t initialSize, std::string& bytes, size_t* unpacked) {
    InflateResult inflated = InflateCoding(coding, bytes, initialSize);
    *unpacked = initialSize;
    switch (inflated.status) {
        case InflateStatus::Ok:
            *unpacked = inflated.bufferSize;
            bytes.assign(inflated.output());
            return DocumentFailure::None;
        case InflateStatus::BufferTooSmall: return DocumentFailure::BufferTooSmall;
        case InflateStatus::TooLarge: return DocumentFailure::TooLarge;
        case InflateStatus::Corrupt: break;
    }
    SKYVANE_LOG("kweather", "the %s body is corrupt", ToUtf8(coding).c_str());
    bytes.clear();
    return DocumentFailure::None;
}

}  // namespace

void CleanXmlText(std::string& text) {
    static constexpr std::string_view kLatin1 = "encoding=\"ISO-8859-1\"";
    for (size_t at; (at = text.find(kLatin1)) != std::string::npos;) text.erase(at, kLatin1.size());
    size_t first = text.find('<');
    if (first != std::string::npos && first > 0) text.erase(0, first);
}

DocumentResult DecodeDocument(const HttpResponse& response, unsigned codePage) {
    DocumentResult result;
    result.unpacked = response.buffer.size();
    std::vector<std::u16string> codings;
    if (const std::u16string* value = response.headers.Find(u"Content-Encoding")) {
        codings = SplitCodings(*value);
        std::erase(codings, u"identity");
        for (const std::u16string& coding : codings) {
            if (CanUndo(coding)) continue;
            result.failure = DocumentFailure::UnknownCoding;
            result.coding = *value;
            return result;
        }
    }
    std::string bytes(response.Body());
    // Codings are listed in the order they were applied: undo from the last.
    for (auto coding = codings.rbegin(); coding != codings.rend() && !bytes.empty(); ++coding) {
        result.failure = Undo(*coding, response.buffer.size() * kInflateGrowth, bytes, &result.unpacked);
        if (result.failure != DocumentFailure::None) return result;
    }
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));  // the text ends at the first NUL byte
    CleanXmlText(bytes);
    result.text = FromAnsi(bytes, codePage ? codePage : GetACP());
    return result;
}

}  // namespace skyvane::net
