#include "net/base64.h"

namespace skyvane::net {
namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;
}  // namespace

size_t Base64EncodedLength(size_t size, unsigned flags) {
    size_t chars = (flags & Base64NoPadding) ? (size * 4 + 2) / 3 : (size + 2) / 3 * 4;
    if (!(flags & Base64NoLineBreaks) && chars > 0) chars += (chars - 1) / kLineLength * 2;
    return chars;
}

bool Base64Encode(std::string_view bytes, unsigned flags, char* out, size_t outSize, size_t* written) {
    const size_t need = Base64EncodedLength(bytes.size(), flags);
    if (written) *written = 0;
    if (outSize < need) return false;
    size_t o = 0;
    size_t column = 0;
    auto put = [&](char c) {
        if (!(flags & Base64NoLineBreaks) && column == kLineLength) {
            out[o++] = '\r';
            out[o++] = '\n';
            column = 0;
        }
        out[o++] = c;
        ++column;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = p[i] << 16;
        if (rest == 2) v |= p[i + 1] << 8;
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        if (rest == 2) put(kAlphabet[(v >> 6) & 63]);
        if (!(flags & Base64NoPadding)) {
            if (rest == 1) put('=');
            put('=');
        }
    }
    if (written) *written = o;
    return true;
}

std::string Base64Encode(std::string_view bytes, unsigned flags) {
    std::string out(Base64EncodedLength(bytes.size(), flags), '\0');
    size_t written = 0;
    Base64Encode(bytes, flags, out.data(), out.size(), &written);
    out.resize(written);
    return out;
}

}  // namespace skyvane::net
