// Base64 as RFC 4648 defines it (standard alphabet, "=" padding).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace skyvane::net {

enum Base64Flags : unsigned {
    Base64NoPadding = 1,     // no "=" at the end
    Base64NoLineBreaks = 2,  // otherwise CR LF after every 76 characters but the last line
};

// The length of the encoding of size bytes under flags.
size_t Base64EncodedLength(size_t size, unsigned flags);
// Encodes into out (outSize characters of room); false when out is too small.
// *written receives the number of characters.
bool Base64Encode(std::string_view bytes, unsigned flags, char* out, size_t outSize, size_t* written);
std::string Base64Encode(std::string_view bytes, unsigned flags);

}  // namespace skyvane::net
