// Feeds arbitrary bytes through the response reader as a socket would hand
// them over (cut into pieces chosen by the first input byte), then through the
// gzip decoding and clean-up the download applies to a body.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/download_xml.h"
#include "net/gzip.h"
#include "net/http_response.h"
#include "net/memory_source.h"

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
    if (response.headLength + response.bodyLength != response.buffer.size()) __builtin_trap();

    std::string_view body = response.Body();
    std::string text;
    if (response.Head().find("Content-Encoding: gzip") != std::string_view::npos) {
        if (auto header = skyvane::net::GzipHeaderLength(body)) {
            auto inflated = skyvane::net::InflateRaw(body.substr(*header), response.buffer.size() * 10, 5, 4 << 20);
            text = inflated.output();
        }
    } else {
        text.assign(body);
    }
    skyvane::net::CleanXmlText(text);
    return 0;
}
