// The device description lines sent with every download: operating system,
// processor, screen, time zone and device identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::net {

// What the platform says about the device; an absent value is a call that failed.
struct DeviceFacts {
    struct Version {
        DWORD major = 0, minor = 0, build = 0, platformId = 0;
        std::u16string servicePack;
    };
    std::optional<Version> version;
    WORD architecture = 0;
    DWORD processorType = 0;
    WORD processorLevel = 0;
    WORD processorRevision = 0;
    int screenWidth = 0, screenHeight = 0;
    std::optional<LONG> timeZoneBias;  // absent when the time zone is unknown
    std::u16string deviceId;           // empty when it cannot be read
};

// Asks the platform.
DeviceFacts ReadDeviceFacts();
// The lines "UA-OS", "UA-CPU", "UA-DISP", "UA-TZ" (only with a known time
// zone), "UA-ID" and "UA-Z", each ending in CR LF.
std::u16string FormatDeviceHeaders(const DeviceFacts& facts);
inline std::u16string DeviceHeaders() { return FormatDeviceHeaders(ReadDeviceFacts()); }

// The device identifier in an IOCTL_HAL_GET_DEVICEID answer: the answer's
// bytes as upper-case hexadecimal pairs, then 16 characters from position 40,
// 4 from 56 and 12 from 64 of that text. Empty when the text is too short.
std::u16string DeviceIdFromAnswer(std::string_view answer);

}  // namespace skyvane::net
