// The "CityCode stream": the binary file that keeps one city's weather.
// Little-endian; texts as a byte count (characters + 1) × 2 followed, when
// over 2, by the UTF-16 characters and a terminating 0; version 20 is the
// only one written, versions 2 to 14, 19 and 20 are read (each record stops
// after the field groups its version has).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "plugin/city_weather.h"

namespace skyvane::plugin {

inline constexpr uint32_t kStoreVersion = 20;
// Files above this size are refused unread.
inline constexpr size_t kMaxStoreFileSize = 0x80000;

enum class StoreError {
    None,
    BadMarker,     // not a city weather file
    BadVersion,    // a version that is not read
    Truncated,     // a field runs past the end of the file
};

struct StoreContents {
    std::u16string name;
    std::u16string code;
    double lastUpdate = 0;
    CityWeather::Records records;
};

struct StoreParse {
    StoreError error = StoreError::None;
    uint32_t version = 0;
    StoreContents contents;
    bool ok() const { return error == StoreError::None; }
};

// Reads a whole file's bytes. Texts of over 49999 bytes or a byte count below
// 3 read as empty; an archive of over 100000 bytes is skipped and left empty.
StoreParse ParseStore(std::span<const uint8_t> bytes);

// The version-20 file of a city.
std::vector<uint8_t> SerializeStore(std::u16string_view name, std::u16string_view code, double lastUpdate,
                                    const CityWeather::Records& records);

const char* StoreErrorText(StoreError error);

}  // namespace skyvane::plugin
