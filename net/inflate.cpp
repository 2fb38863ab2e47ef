#include "net/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace skyvane::net {
namespace {

constexpr size_t kFirstAllocation = 256u << 10;

int WindowBits(InflateFormat format) {
    switch (format) {
        case InflateFormat::Raw: return -MAX_WBITS;
        case InflateFormat::Zlib: return MAX_WBITS;
        case InflateFormat::Gzip: return MAX_WBITS + 16;
    }
    return MAX_WBITS;
}

bool StartsGzipMember(const z_stream& z) {
    return z.avail_in >= 2 && z.next_in[0] == 0x1f && z.next_in[1] == 0x8b;
}

}  // namespace

bool LooksLikeZlib(std::string_view input) {
    if (input.size() < 2) return false;
    const unsigned cmf = static_cast<unsigned char>(input[0]);
    const unsigned flg = static_cast<unsigned char>(input[1]);
    return (cmf & 0x0F) == Z_DEFLATED && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

InflateResult Inflate(std::string_view input, InflateFormat format, size_t initialSize, int attempts,
                      size_t maxOutput) {
    InflateResult result;
    z_stream z{};
    if (inflateInit2(&z, WindowBits(format)) != Z_OK) return result;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(std::min<size_t>(input.size(), UINT_MAX));

    // Growing the buffer and carrying on gives the same bytes as starting over
    // with the doubled buffer, without inflating the start again. The memory
    // grows with the stream (realloc moves large blocks without copying) up to
    // the attempt's buffer size.
    size_t attemptSize = std::max<size_t>(initialSize, 1);
    int attempt = 1;
    size_t capacity = 0;
    size_t have = 0;
    for (;;) {
        if (have >= attemptSize) {
            // This attempt's buffer is full and the stream goes on.
            if (attempt >= attempts) {
                result.status = InflateStatus::BufferTooSmall;
                break;
            }
            ++attempt;
            attemptSize *= 2;
            continue;
        }
        if (have >= maxOutput) {
            result.status = InflateStatus::TooLarge;
            break;
        }
        if (have == capacity) {
            const size_t grown = std::min({attemptSize, maxOutput, std::max(capacity * 2, kFirstAllocation)});
            char* p = static_cast<char*>(std::realloc(result.data.get(), grown));
            if (!p) break;  // Corrupt: no room to say more
            result.data.release();
            result.data.reset(p);
            capacity = grown;
        }
        z.next_out = reinterpret_cast<Bytef*>(result.data.get() + have);
        z.avail_out = static_cast<uInt>(std::min<size_t>(capacity - have, UINT_MAX));
        const int rc = inflate(&z, Z_NO_FLUSH);
        have = static_cast<size_t>(reinterpret_cast<char*>(z.next_out) - result.data.get());
        if (rc == Z_STREAM_END) {
            if (format == InflateFormat::Gzip && StartsGzipMember(z) && inflateReset(&z) == Z_OK) continue;
            result.status = InflateStatus::Ok;
            result.bufferSize = attemptSize;
            break;
        }
        if ((rc == Z_OK || rc == Z_BUF_ERROR) && z.avail_out == 0) continue;  // more room needed
        // Room left but no end: the input stopped before the stream did, or
        // the data is not such a stream.
        break;
    }
    inflateEnd(&z);
    result.size = have;
    if (result.status != InflateStatus::Ok) {
        result.data.reset();
        result.size = 0;
    }
    return result;
}

}  // namespace skyvane::net
