// Builds city weather files byte by byte, independently of the code that
// reads and writes them: little-endian numbers, texts as (characters + 1) × 2
// followed by the characters and a 0 when over 2.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace skyvane::test {

class StoreBytes {
public:
    StoreBytes& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    StoreBytes& F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        for (int i = 0; i < 8; ++i) bytes.push_back(uint8_t(bits >> (8 * i)));
        return *this;
    }
    StoreBytes& Str(std::u16string_view s) {
        U32(uint32_t((s.size() + 1) * 2));
        if (s.empty()) return *this;
        for (char16_t c : s) {
            bytes.push_back(uint8_t(c));
            bytes.push_back(uint8_t(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
        return *this;
    }
    // A text whose byte count says n, followed by n bytes of 'x' characters.
    StoreBytes& RawStr(uint32_t n) {
        U32(n);
        for (uint32_t i = 0; i < n; ++i) bytes.push_back(i % 2 ? 0 : 'x');
        return *this;
    }
    StoreBytes& Header(uint32_t version, uint32_t records, double lastUpdate = 40838.5) {
        return Str(u"CityCode stream").U32(version).Str(u"Moscow").Str(u"RSXX0091").F64(lastUpdate).U32(records);
    }
    std::vector<uint8_t> bytes;
};

}  // namespace skyvane::test
