// Version, processor, screen, platform type and device identifier.

#include "platform/kernel/system_info.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "platform/kernel/device_profile.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/handles.h"
#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace {

// The handheld platform this system was made for: Windows CE 5.2, the
// generation of Windows Mobile 6.5.
constexpr DWORD kMajorVersion = 5;
constexpr DWORD kMinorVersion = 2;
constexpr DWORD kBuildNumber = 21234;
constexpr char16_t kOemInfo[] = u"Skyvane Linux Handheld";

// The DEVICE_ID answer: a 20-byte header, a 10-byte preset identifier and an
// 8-byte platform identifier. Readers of the answer take the identifier from
// bytes 20-29 and 32-37, so the device id's 16 bytes go there and bytes 30-31
// carry two further hash bytes.
constexpr DWORD kPresetOffset = sizeof(DEVICE_ID);
constexpr DWORD kPresetBytes = 10;
constexpr DWORD kPlatformOffset = kPresetOffset + kPresetBytes;
constexpr DWORD kPlatformBytes = 8;
constexpr DWORD kDeviceIdAnswerSize = kPlatformOffset + kPlatformBytes;

// ---------------------------------------------------------------------------
// SHA-256 (FIPS 180-4).
class Sha256Hasher {
public:
    void update(std::string_view data) {
        for (unsigned char c : data) {
            block_[used_++] = c;
            if (used_ == 64) {
                compress();
                used_ = 0;
            }
        }
        length_ += data.size();
    }
    std::array<unsigned char, 32> finish() {
        const uint64_t bits = length_ * 8;
        block_[used_++] = 0x80;
        if (used_ > 56) {
            while (used_ < 64) block_[used_++] = 0;
            compress();
            used_ = 0;
        }
        while (used_ < 56) block_[used_++] = 0;
        for (int i = 7; i >= 0; --i) block_[used_++] = static_cast<unsigned char>(bits >> (i * 8));
        compress();
        std::array<unsigned char, 32> digest;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<unsigned char>(h_[i] >> (24 - j * 8));
        return digest;
    }

private:
    static uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void compress() {
        static constexpr uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(block_[i * 4]) << 24 | uint32_t(block_[i * 4 + 1]) << 16 |
                   uint32_t(block_[i * 4 + 2]) << 8 | uint32_t(block_[i * 4 + 3]);
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
        }
        h_[0] += a, h_[1] += b, h_[2] += c, h_[3] += d, h_[4] += e, h_[5] += f, h_[6] += g, h_[7] += h;
    }

    uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    unsigned char block_[64] = {};
    size_t used_ = 0;
    uint64_t length_ = 0;
};

bool IsHex32(const std::string& s) {
    if (s.size() != 32) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::optional<std::string> ReadIdFile(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    if (!IsHex32(line)) return std::nullopt;
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return line;
}

// A random identifier kept in the device root, for machines without a
// machine id. Two processes that create it at once agree: the file appears
// whole (link of a finished temporary file) and the loser reads the winner's.
std::optional<std::string> StoredRandomId() {
    const std::string path = skyvane::DeviceRoot() + "/Windows/DeviceId.dat";
    if (auto id = ReadIdFile(path)) return id;
    unsigned char bytes[16];
    if (getrandom(bytes, sizeof bytes, 0) != sizeof bytes) return std::nullopt;
    char text[34];
    for (int i = 0; i < 16; ++i) std::snprintf(text + i * 2, 3, "%02x", bytes[i]);
    text[32] = '\n';
    std::string temp = path + ".tmp" + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::nullopt;
    bool written = write(fd, text, 33) == 33;
    close(fd);
    if (written) link(temp.c_str(), path.c_str());  // fails harmlessly when another process was first
    unlink(temp.c_str());
    return ReadIdFile(path);
}

// The 32 bytes of the device's hash: the first 16 are the device id.
std::array<unsigned char, 32> DeviceHash() {
    std::optional<std::string> machine;
    if (const char* file = std::getenv("SKYVANE_MACHINE_ID_FILE"); file && *file) {
        machine = ReadIdFile(file);
    } else {
        machine = ReadIdFile("/etc/machine-id");
        if (!machine) machine = ReadIdFile("/var/lib/dbus/machine-id");
    }
    if (!machine) machine = StoredRandomId();
    if (!machine) {
        SKYVANE_LOG("platform", "no machine id and no stored device id; using a fixed one");
        machine = std::string(32, '0');
    }
    Sha256Hasher hasher;
    hasher.update("Skyvane device identifier\n");
    hasher.update(*machine);
    return hasher.finish();
}

// uname's machine names and what the platform calls them, first match wins;
// a name ending in '*' matches every name that starts with the rest.
struct MachineEntry {
    const char* machine;
    WORD architecture;
    DWORD processorType;
};
constexpr MachineEntry kMachines[] = {
    {"x86_64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664},
    {"amd64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664},
    {"i386", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"i486", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"i586", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"i686", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM},
    {"aarch64", PROCESSOR_ARCHITECTURE_ARM64, 0},
    {"arm64", PROCESSOR_ARCHITECTURE_ARM64, 0},
    {"arm*", PROCESSOR_ARCHITECTURE_ARM, PROCESSOR_STRONGARM},
    {"mips*", PROCESSOR_ARCHITECTURE_MIPS, PROCESSOR_MIPS_R4000},
    {"sh*", PROCESSOR_ARCHITECTURE_SHX, PROCESSOR_HITACHI_SH4},
    {"ppc*", PROCESSOR_ARCHITECTURE_PPC, PROCESSOR_PPC_601},
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL CopyTextParameter(std::u16string_view text, UINT bytes, LPVOID out) {
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
    const size_t needed = (text.size() + 1) * sizeof(WCHAR);
    if (bytes < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
    static_cast<WCHAR*>(out)[text.size()] = 0;
    return TRUE;
}

// "cpu family", "model" and "stepping" of the first processor in /proc/cpuinfo.
void ReadCpuInfo(WORD* level, WORD* revision) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    int family = -1, model = -1, stepping = -1;
    while (std::getline(in, line) && !line.empty()) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        int value = std::atoi(line.c_str() + colon + 1);
        if (key == "cpu family") family = value;
        else if (key == "model") model = value;
        else if (key == "stepping") stepping = value;
    }
    if (family >= 0) *level = static_cast<WORD>(family);
    if (model >= 0 && stepping >= 0) *revision = static_cast<WORD>((model & 0xFF) << 8 | (stepping & 0xFF));
}

}  // namespace

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    info->dwMajorVersion = kMajorVersion;
    info->dwMinorVersion = kMinorVersion;
    info->dwBuildNumber = kBuildNumber;
    info->dwPlatformId = VER_PLATFORM_WIN32_CE;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

void GetSystemInfo(LPSYSTEM_INFO info) {
    if (!info) return;
    *info = SYSTEM_INFO{};
    struct utsname name;
    std::string machine = uname(&name) == 0 ? name.machine : "";
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
    for (const MachineEntry& entry : kMachines) {
        std::string_view pattern = entry.machine;
        const bool prefix = pattern.back() == '*';
        if (prefix ? machine.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0 : machine == pattern) {
            info->wProcessorArchitecture = entry.architecture;
            info->dwProcessorType = entry.processorType;
            break;
        }
    }
    ReadCpuInfo(&info->wProcessorLevel, &info->wProcessorRevision);
    long page = sysconf(_SC_PAGESIZE);
    info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<uintptr_t>(0x10000));
    info->lpMaximumApplicationAddress =
        reinterpret_cast<LPVOID>(sizeof(void*) == 8 ? static_cast<uintptr_t>(0x00007FFFFFFEFFFFULL)
                                                    : static_cast<uintptr_t>(0x7FFEFFFFu));
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    info->dwNumberOfProcessors = cpus > 0 ? static_cast<DWORD>(cpus) : 1;
    info->dwActiveProcessorMask =
        info->dwNumberOfProcessors >= 32 ? 0xFFFFFFFFu : (1u << info->dwNumberOfProcessors) - 1;
    info->dwAllocationGranularity = 65536;
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXSCREEN: return static_cast<int>(skyvane::ReadDeviceProfile().screenWidth);
    case SM_CYSCREEN: return static_cast<int>(skyvane::ReadDeviceProfile().screenHeight);
    case SM_CXVSCROLL: return (13 * static_cast<int>(skyvane::ReadDeviceProfile().screenDpi) + 48) / 96;
    default: return 0;
    }
}

BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, LPVOID pvParam, UINT fWinIni) {
    switch (uiAction) {
    case SPI_GETPLATFORMTYPE: return CopyTextParameter(skyvane::ReadDeviceProfile().platformType, uiParam, pvParam);
    case SPI_GETOEMINFO: return CopyTextParameter(kOemInfo, uiParam, pvParam);
    default: return Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned) {
    if (lpBytesReturned) *lpBytesReturned = 0;
    if (dwIoControlCode != IOCTL_HAL_GET_DEVICEID) return Fail(ERROR_NOT_SUPPORTED);
    if (!lpOutBuf || nOutBufSize < kDeviceIdAnswerSize) {
        // The caller learns the size from dwSize and asks again.
        if (lpOutBuf && nOutBufSize >= sizeof(DWORD)) {
            DWORD size = kDeviceIdAnswerSize;
            std::memcpy(lpOutBuf, &size, sizeof size);
        }
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    const std::array<unsigned char, 32> hash = DeviceHash();
    unsigned char* out = static_cast<unsigned char*>(lpOutBuf);
    const DEVICE_ID header{kDeviceIdAnswerSize, kPresetOffset, kPresetBytes, kPlatformOffset, kPlatformBytes};
    std::memcpy(out, &header, sizeof header);
    std::memcpy(out + kPresetOffset, hash.data(), kPresetBytes);          // id bytes 0-9
    out[kPlatformOffset] = hash[16];
    out[kPlatformOffset + 1] = hash[17];
    std::memcpy(out + kPlatformOffset + 2, hash.data() + kPresetBytes, 6);  // id bytes 10-15
    if (lpBytesReturned) *lpBytesReturned = kDeviceIdAnswerSize;
    return TRUE;
}

namespace skyvane {

int ScreenDpi() { return static_cast<int>(ReadDeviceProfile().screenDpi); }

std::u16string DeviceId() {
    const std::array<unsigned char, 32> hash = DeviceHash();
    std::u16string id;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        id.push_back(static_cast<char16_t>(kDigits[hash[i] >> 4]));
        id.push_back(static_cast<char16_t>(kDigits[hash[i] & 0xF]));
    }
    return id;
}

std::string Sha256(std::string_view data) {
    Sha256Hasher hasher;
    hasher.update(data);
    auto digest = hasher.finish();
    return std::string(digest.begin(), digest.end());
}

}  // namespace skyvane
