// Inflating deflate streams, raw, zlib-wrapped or as gzip members, into an
// output buffer that doubles while it is too small.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace skyvane::net {

enum class InflateFormat {
    Raw,   // a bare deflate stream
    Zlib,  // RFC 1950
    Gzip,  // RFC 1952, every member of a multi-member body in turn
};

enum class InflateStatus {
    Ok,
    BufferTooSmall,  // still too small after the last doubling
    TooLarge,        // the output would pass the cap
    Corrupt,         // not such a stream, or cut short
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

// Inflates into a buffer of initialSize bytes, doubled while it is too small,
// at most `attempts` sizes in all. No output grows past maxOutput; a stream
// that needs more is TooLarge. After the last gzip member, bytes that start no
// further member are ignored, as gzip itself does.
InflateResult Inflate(std::string_view input, InflateFormat format, size_t initialSize, int attempts,
                      size_t maxOutput);

// Tells a zlib-wrapped stream from a raw one by its two header bytes.
bool LooksLikeZlib(std::string_view input);

}  // namespace skyvane::net
