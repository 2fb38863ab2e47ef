// Feeds arbitrary bytes through the response reader as a socket would hand
// them over (cut into pieces chosen by the first input byte), then through the
// XML download's own body handling: the content codings, the inflate buffer
// growth, the NUL cut, the clean-up and the code page conversion.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/document_body.h"
#include "net/http_response.h"
#include "net/memory_source.h"

namespace {

constexpr unsigned kCodePages[] = {1252, 1251, 1250, 65001};

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned seed = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    skyvane::test::MemorySource source = seed == 0 ? skyvane::test::MemorySource({bytes})
                                                   : skyvane::test::MemorySource::RandomlySplit(bytes, seed);
    skyvane::net::HttpResponse response;
    skyvane::net::ReadOptions options;
    options.readBlockSize = 1 + seed % 64;
    options.maxResponseBytes = 1 << 20;
    options.codePage = 1252;
    if (skyvane::net::ReadResponse(response, source, options) != skyvane::net::ReadResult::Ok) return 0;
    Check(response.headLength + response.bodyLength == response.buffer.size());
    Check(response.buffer.size() <= options.maxResponseBytes);

    const skyvane::net::DocumentResult document =
        skyvane::net::DecodeDocument(response, kCodePages[(seed >> 6) & 3]);
    if (document.failure != skyvane::net::DocumentFailure::None) return 0;
    // The text stops before any NUL byte and, when it holds a "<", starts there.
    Check(document.text.find(u'\0') == std::u16string::npos);
    Check(document.text.find(u'<') == std::u16string::npos || document.text[0] == u'<');
    Check(document.unpacked >= response.buffer.size());
    return 0;
}
