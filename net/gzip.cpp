#include "net/gzip.h"

#include <zlib.h>

#include <algorithm>

namespace skyvane::net {
namespace {
constexpr unsigned char kFlagHcrc = 0x02;
constexpr unsigned char kFlagExtra = 0x04;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kFlagComment = 0x10;
}  // namespace

std::optional<size_t> GzipHeaderLength(std::string_view data) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(data[i]); };
    if (data.size() < 10 || byte(0) != 0x1f || byte(1) != 0x8b || byte(2) != 8) return std::nullopt;
    const unsigned char flags = byte(3);
    size_t pos = 10;
    if (flags & kFlagExtra) {
        if (data.size() < pos + 2) return std::nullopt;
        size_t extra = byte(pos) | (byte(pos + 1) << 8);
        pos += 2 + extra;
        if (pos > data.size()) return std::nullopt;
    }
    for (unsigned char field : {kFlagName, kFlagComment}) {
        if (!(flags & field)) continue;
        size_t end = data.find('\0', pos);
        if (end == std::string_view::npos) return std::nullopt;
        pos = end + 1;
    }
    if (flags & kFlagHcrc) {
        pos += 2;
        if (pos > data.size()) return std::nullopt;
    }
    return pos;
}

InflateResult InflateRaw(std::string_view deflated, size_t initialSize, int attempts, size_t maxOutput) {
    InflateResult result;
    result.bufferSize = std::max<size_t>(initialSize, 1);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return result;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = static_cast<uInt>(std::min<size_t>(deflated.size(), UINT32_MAX));

    // Growing the buffer and carrying on gives the same bytes as starting over
    // with the doubled buffer, without inflating the start again. The memory
    // grows with the stream (realloc moves large blocks without copying) up to
    // the attempt's buffer size.
    size_t bufferSize = std::max<size_t>(initialSize, 1);
    int attempt = 1;
    size_t capacity = 0;
    for (;;) {
        const size_t have = z.total_out;
        if (have >= maxOutput) {
            result.status = InflateStatus::BufferTooSmall;
            break;
        }
        if (have == capacity) {
            size_t grown = std::min({bufferSize, maxOutput, std::max<size_t>(capacity * 2, 256u << 10)});
            char* p = static_cast<char*>(std::realloc(result.data.get(), grown));
            if (!p) {
                result.status = InflateStatus::Corrupt;
                break;
            }
            result.data.release();
            result.data.reset(p);
            capacity = grown;
        }
        z.next_out = reinterpret_cast<Bytef*>(result.data.get() + have);
        z.avail_out = static_cast<uInt>(std::min<size_t>(capacity - have, UINT32_MAX));
        int rc = inflate(&z, Z_NO_FLUSH);
        result.size = z.total_out;
        if (rc == Z_STREAM_END) {
            result.status = InflateStatus::Ok;
            result.bufferSize = bufferSize;
            break;
        }
        if ((rc == Z_OK || rc == Z_BUF_ERROR) && z.avail_out == 0) {
            if (z.total_out < bufferSize) continue;  // this attempt's buffer still has room
            if (++attempt > attempts) {
                result.status = InflateStatus::BufferTooSmall;
                break;
            }
            bufferSize *= 2;
            continue;
        }
        // Room left but no end: the input stopped before the stream did, or
        // the data is not deflate.
        result.status = InflateStatus::Corrupt;
        break;
    }
    inflateEnd(&z);
    if (result.status != InflateStatus::Ok) {
        result.data.reset();
        result.size = 0;
    }
    return result;
}

}  // namespace skyvane::net
