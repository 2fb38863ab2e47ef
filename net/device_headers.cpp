#include "net/device_headers.h"

#include <cstring>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/kernel/system_info.h"
#include "platform/base/wide_format.h"
#include "platform/kernel/win_time.h"

namespace skyvane::net {
namespace {

constexpr DWORD kFirstAnswerSize = 256;

std::u16string PlatformWord(DWORD id) {
    switch (id) {
        case 0: return u"32S";
        case 1: return u"32";
        case 2: return u"NT";
        case 3: return u"CE";
        default: return FormatW(u"%u", id);
    }
}

const char16_t* ArchitectureWord(WORD architecture) {
    switch (architecture) {
        case 0: return u"INTEL";
        case 1: return u"MIPS";
        case 4: return u"SHX";
        case 5: return u"ARM";
        default: return u"unk";
    }
}

std::u16string ReadDeviceId() {
    std::vector<BYTE> answer(kFirstAnswerSize);
    DWORD returned = 0;
    BOOL ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, answer.data(), static_cast<DWORD>(answer.size()),
                              &returned);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        // The first word of the answer tells the size needed; one more try.
        DWORD needed = 0;
        std::memcpy(&needed, answer.data(), sizeof(needed));
        if (needed < sizeof(DEVICE_ID) || needed > (1u << 16)) return {};
        answer.assign(needed, 0);
        ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, answer.data(), needed, &returned);
    }
    if (!ok) return {};
    // All returned bytes; DEVICE_ID's own size when the call did not say.
    size_t size = returned ? std::min<size_t>(returned, answer.size()) : answer.size();
    if (!returned) {
        DWORD declared = 0;
        std::memcpy(&declared, answer.data(), sizeof(declared));
        if (declared >= sizeof(DEVICE_ID) && declared <= answer.size()) size = declared;
    }
    return DeviceIdFromAnswer(std::string_view(reinterpret_cast<const char*>(answer.data()), size));
}

}  // namespace

std::u16string DeviceIdFromAnswer(std::string_view answer) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string hex;
    hex.reserve(answer.size() * 2);
    for (unsigned char b : answer) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    if (hex.size() < 76) return {};
    return hex.substr(40, 16) + hex.substr(56, 4) + hex.substr(64, 12);
}

DeviceFacts ReadDeviceFacts() {
    DeviceFacts facts;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (GetVersionExW(&info)) {
        DeviceFacts::Version v;
        v.major = info.dwMajorVersion;
        v.minor = info.dwMinorVersion;
        v.build = info.dwBuildNumber;
        v.platformId = info.dwPlatformId;
        size_t len = 0;
        while (len < std::size(info.szCSDVersion) && info.szCSDVersion[len]) ++len;
        v.servicePack.assign(info.szCSDVersion, len);
        facts.version = v;
    }
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    facts.architecture = system.wProcessorArchitecture;
    facts.processorType = system.dwProcessorType;
    facts.processorLevel = system.wProcessorLevel;
    facts.processorRevision = system.wProcessorRevision;
    facts.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    facts.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    TIME_ZONE_INFORMATION tz{};
    DWORD zone = GetTimeZoneInformation(&tz);
    if (zone != TIME_ZONE_ID_UNKNOWN && zone != TIME_ZONE_ID_INVALID) facts.timeZoneBias = tz.Bias;
    facts.deviceId = ReadDeviceId();
    return facts;
}

std::u16string FormatDeviceHeaders(const DeviceFacts& facts) {
    std::u16string text;
    if (facts.version) {
        const DeviceFacts::Version& v = *facts.version;
        text += u"UA-OS: " + PlatformWord(v.platformId) + u"/" +
                FormatW(u"%d.%d-%d", static_cast<int>(v.major), static_cast<int>(v.minor), static_cast<int>(v.build)) +
                u"/" + v.servicePack + u"\r\n";
    } else {
        text += u"UA-OS: unk\r\n";
    }
    text += FormatW(u"UA-CPU: %s-/type-%d.%d.%d\r\n", ArchitectureWord(facts.architecture),
                    static_cast<int>(facts.processorType), static_cast<int>(facts.processorLevel),
                    static_cast<int>(facts.processorRevision));
    text += FormatW(u"UA-DISP: %d-%d\r\n", facts.screenWidth, facts.screenHeight);
    if (facts.timeZoneBias) text += FormatW(u"UA-TZ: %d\r\n", static_cast<int>(*facts.timeZoneBias));
    text += u"UA-ID: " + facts.deviceId + u"\r\n";
    text += u"UA-Z: 1\r\n";
    return text;
}

}  // namespace skyvane::net
