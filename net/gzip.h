// Gzip bodies: the member header of RFC 1952 and a raw inflate into an output
// buffer that doubles when it is too small.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace skyvane::net {

// The length of the gzip member header at the start of data, optional fields
// (FEXTRA, FNAME, FCOMMENT, FHCRC) included; nothing when data does not start
// with a complete deflate-method gzip header.
std::optional<size_t> GzipHeaderLength(std::string_view data);

enum class InflateStatus {
    Ok,
    BufferTooSmall,  // still too small after the last doubling
    Corrupt,         // not a deflate stream, or cut short
};

struct InflateResult {
    InflateStatus status = InflateStatus::Corrupt;
    size_t bufferSize = 0;  // the output buffer size of the attempt that succeeded
    std::string_view output() const { return std::string_view(data.get(), size); }  // the inflated bytes

    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, Free> data;
    size_t size = 0;
};

// Inflates a raw deflate stream (no zlib header) into a buffer of initialSize
// bytes, doubled while it is too small, at most `attempts` sizes in all. No
// buffer grows past maxOutput; a stream that needs more counts as too large.
InflateResult InflateRaw(std::string_view deflated, size_t initialSize, int attempts, size_t maxOutput);

}  // namespace skyvane::net
