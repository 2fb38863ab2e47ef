// System information: version, processor, screen, languages, platform type and
// the device identifier, as the handheld platform reports them.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/handles.h"
#include "platform/base/win_types.h"

// ---------------------------------------------------------------------------
// Version.
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define VER_PLATFORM_WIN32_CE 3

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
typedef OSVERSIONINFOW* LPOSVERSIONINFOW;

// The handheld platform's version (5.2, build 21234, VER_PLATFORM_WIN32_CE, no
// service pack). dwOSVersionInfoSize must be sizeof(OSVERSIONINFOW), else
// FALSE with ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);

// ---------------------------------------------------------------------------
// Processor.
#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_MIPS 1
#define PROCESSOR_ARCHITECTURE_ALPHA 2
#define PROCESSOR_ARCHITECTURE_PPC 3
#define PROCESSOR_ARCHITECTURE_SHX 4
#define PROCESSOR_ARCHITECTURE_ARM 5
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF

#define PROCESSOR_INTEL_PENTIUM 586
#define PROCESSOR_MIPS_R4000 4000
#define PROCESSOR_HITACHI_SH4 10005
#define PROCESSOR_STRONGARM 2577
#define PROCESSOR_PPC_601 601
#define PROCESSOR_AMD_X8664 8664

// The handheld platform's layout (32-bit processor mask).
struct SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
typedef SYSTEM_INFO* LPSYSTEM_INFO;

// Architecture from uname, level and revision from /proc/cpuinfo where Linux
// gives them (x86 family; model and stepping as 0xMMSS), page size and the
// number of online processors.
void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

// ---------------------------------------------------------------------------
// Screen, from the device profile.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
// SM_CXSCREEN and SM_CYSCREEN; SM_CXVSCROLL, the width of a vertical scroll
// bar (13 pixels at 96 dpi, scaled by the dpi); other indexes give 0.
int GetSystemMetrics(int nIndex);

// ---------------------------------------------------------------------------
#define SPI_GETPLATFORMTYPE 257
#define SPI_GETOEMINFO 258

// SPI_GETPLATFORMTYPE writes the platform type ("PocketPC" or "Smartphone",
// from the device profile) and SPI_GETOEMINFO the maker's text, each with its
// terminator, into pvParam, whose size in bytes is uiParam. A buffer too small
// is left untouched: FALSE with ERROR_INSUFFICIENT_BUFFER. Other actions give
// FALSE with ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, LPVOID pvParam, UINT fWinIni);

// ---------------------------------------------------------------------------
// Device identifier.
#define IOCTL_HAL_GET_DEVICEID 0x01010054

// Followed in the same buffer by the preset identifier and the platform
// identifier at the offsets given.
struct DEVICE_ID {
    DWORD dwSize;
    DWORD dwPresetIDOffset;
    DWORD dwPresetIDBytes;
    DWORD dwPlatformIDOffset;
    DWORD dwPlatformIDBytes;
};
typedef DEVICE_ID* PDEVICE_ID;

// IOCTL_HAL_GET_DEVICEID fills a DEVICE_ID with its identifier bytes. A buffer
// too small fails with ERROR_INSUFFICIENT_BUFFER and, when it holds at least a
// DWORD, the needed size in dwSize. Other codes give ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned);

namespace skyvane {
// The screen's logical dots per inch, from the device profile.
int ScreenDpi();

// The device identifier: 32 upper-case hexadecimal digits, stable for this
// machine. Derived (by a one-way hash, so the machine id itself is never sent
// anywhere) from /etc/machine-id, or from a random identifier kept in the
// device root when the machine has none. SKYVANE_MACHINE_ID_FILE, when set,
// names the file read instead of /etc/machine-id. The bytes KernelIoControl returns
// are arranged so that the hexadecimal text of the whole answer holds these
// digits at positions 40 (16 digits), 56 (4) and 64 (12).
std::u16string DeviceId();


// SHA-256 of data; the device identifier's hash.
std::string Sha256(std::string_view data);
}  // namespace skyvane
