#include "platform/kernel/system_info.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/device_profile.h"
#include "platform/kernel/device_root.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/registry_dump.h"
#include "test_util/test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

using skyvane::test::ScopedEnv;

void SetDword(HKEY root, const char16_t* path, const char16_t* name, DWORD value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void SetBytes(const char16_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, skyvane::kDeviceProfileKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// A DWORD value, or kSentinel when it cannot be read.
DWORD GetDword(const char16_t* path, const char16_t* name) {
    return skyvane::test::MachineDword(path, name, kSentinel);
}

std::u16string PlatformType() {
    WCHAR buf[64] = {};
    if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof buf, buf, 0)) return u"<failed>";
    return buf;
}

TEST(VersionTest, ReportsTheHandheldPlatform) {
    OSVERSIONINFOW info;
    std::memset(&info, 0xCD, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 2u);
    EXPECT_EQ(info.dwBuildNumber, 21234u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_CE));
    EXPECT_EQ(info.szCSDVersion[0], 0);  // no service pack text

    info.dwOSVersionInfoSize = sizeof info - 1;
    info.dwMajorVersion = kSentinel;
    EXPECT_FALSE(GetVersionExW(&info));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(info.dwMajorVersion, kSentinel);
    EXPECT_FALSE(GetVersionExW(nullptr));
}

TEST(SystemInfoTest, DescribesThisMachine) {
    SYSTEM_INFO info;
    std::memset(&info, 0xCD, sizeof info);
    GetSystemInfo(&info);
    struct utsname name;
    ASSERT_EQ(uname(&name), 0);
    if (std::strcmp(name.machine, "x86_64") == 0) {
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
        EXPECT_EQ(info.dwProcessorType, static_cast<DWORD>(PROCESSOR_AMD_X8664));
        EXPECT_GE(info.wProcessorLevel, 6);  // every x86-64 processor is family 6 or later
    } else if (std::strncmp(name.machine, "arm", 3) == 0) {
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM);
    } else if (std::strcmp(name.machine, "aarch64") == 0) {
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM64);
    }
    EXPECT_EQ(info.wReserved, 0);
    EXPECT_EQ(info.dwPageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(static_cast<DWORD>(__builtin_popcount(info.dwActiveProcessorMask)),
              std::min<DWORD>(info.dwNumberOfProcessors, 32));
    EXPECT_LT(info.lpMinimumApplicationAddress, info.lpMaximumApplicationAddress);
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
}

TEST(ShaTest, KnownAnswers) {
    auto hex = [](const std::string& digest) {
        std::string out;
        char buf[3];
        for (unsigned char c : digest) std::snprintf(buf, sizeof buf, "%02x", c), out += buf;
        return out;
    };
    EXPECT_EQ(hex(skyvane::Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(skyvane::Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(hex(skyvane::Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(skyvane::Sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// The HTTP client's reading of the answer: every returned byte as "%02X", then
// 16 characters from position 40, 4 from 56 and 12 from 64.
std::u16string IdentifierFromAnswer(const BYTE* answer, DWORD size) {
    std::string hex;
    char buf[3];
    for (DWORD i = 0; i < size; ++i) std::snprintf(buf, sizeof buf, "%02X", answer[i]), hex += buf;
    if (hex.size() < 76) return u"<short>";
    return skyvane::FromUtf8(hex.substr(40, 16) + hex.substr(56, 4) + hex.substr(64, 12));
}

TEST(DeviceIdTest, ExtractionRuleGivesTheDeviceId) {
    skyvane::test::ScopedDeviceRoot device;
    const std::u16string id = skyvane::DeviceId();
    ASSERT_EQ(id.size(), 32u);
    for (char16_t c : id) EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << char(c);
    EXPECT_EQ(skyvane::DeviceId(), id);  // stable

    // The client's way: a 256-byte buffer first.
    BYTE answer[256];
    std::memset(answer, 0xCC, sizeof answer);
    DWORD returned = kSentinel;
    ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, answer, sizeof answer, &returned));
    ASSERT_GE(returned, 38u);
    EXPECT_EQ(IdentifierFromAnswer(answer, returned), id);
    EXPECT_EQ(answer[returned], 0xCC);  // nothing written past the answer

    DEVICE_ID header;
    std::memcpy(&header, answer, sizeof header);
    EXPECT_EQ(header.dwSize, returned);
    EXPECT_GE(header.dwPresetIDOffset, sizeof(DEVICE_ID));
    EXPECT_LE(header.dwPresetIDOffset + header.dwPresetIDBytes, header.dwSize);
    EXPECT_GE(header.dwPlatformIDOffset, header.dwPresetIDOffset + header.dwPresetIDBytes);
    EXPECT_LE(header.dwPlatformIDOffset + header.dwPlatformIDBytes, header.dwSize);

    // The machine id itself does not go out.
    std::ifstream machineId("/etc/machine-id");
    std::string raw;
    if (std::getline(machineId, raw)) {
        for (char& c : raw) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_NE(skyvane::ToUtf8(id), raw);
    }
}

TEST(DeviceIdTest, SmallBufferReportsTheSizeToAskAgain) {
    skyvane::test::ScopedDeviceRoot device;
    BYTE small[8];
    std::memset(small, 0xCC, sizeof small);
    DWORD returned = kSentinel;
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, small, sizeof small, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    DWORD needed;
    std::memcpy(&needed, small, sizeof needed);
    EXPECT_EQ(small[4], 0xCC);  // only the size word is written
    ASSERT_GT(needed, sizeof small);
    ASSERT_LT(needed, 256u);

    std::string exact(needed, '\xCC');
    ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, exact.data(), needed, &returned));
    EXPECT_EQ(IdentifierFromAnswer(reinterpret_cast<const BYTE*>(exact.data()), returned), skyvane::DeviceId());
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, exact.data(), needed - 1, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, small, 3, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(KernelIoControl(0x01010001, nullptr, 0, exact.data(), needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(DeviceIdTest, FollowsTheMachineIdOrAStoredRandomOne) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string file = device.path() + "/machine-id";
    ScopedEnv env("SKYVANE_MACHINE_ID_FILE", file.c_str());

    std::ofstream(file) << "0123456789abcdef0123456789abcdef\n";
    const std::u16string first = skyvane::DeviceId();
    std::ofstream(file) << "0123456789ABCDEF0123456789ABCDEF\n";  // the same id in upper case
    EXPECT_EQ(skyvane::DeviceId(), first);
    std::ofstream(file) << "fedcba9876543210fedcba9876543210\n";
    EXPECT_NE(skyvane::DeviceId(), first);

    // No usable machine id: a random one is made once and kept in the device root.
    std::ofstream(file) << "not an id\n";
    const std::u16string stored = skyvane::DeviceId();
    EXPECT_EQ(stored.size(), 32u);
    EXPECT_TRUE(fs::exists(device.path() + "/Windows/DeviceId.dat"));
    EXPECT_EQ(skyvane::DeviceId(), stored);
    BYTE answer[256];
    DWORD returned = 0;
    ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, answer, sizeof answer, &returned));
    EXPECT_EQ(IdentifierFromAnswer(answer, returned), stored);
    {
        skyvane::test::ScopedDeviceRoot otherDevice;
        EXPECT_NE(skyvane::DeviceId(), stored);
    }
}

TEST(DeviceProfileTest, DefaultsWhenNothingIsSet) {
    skyvane::test::ScopedDeviceRoot device;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(42), 0);
    EXPECT_EQ(skyvane::ScreenDpi(), 96);
    EXPECT_EQ(PlatformType(), u"PocketPC");
    EXPECT_EQ(skyvane::ReadDeviceProfile().codePage, 1252u);
}

TEST(DeviceProfileTest, RegistryValuesOverride) {
    skyvane::test::ScopedDeviceRoot device;
    const char16_t* key = skyvane::kDeviceProfileKey;
    SetDword(HKEY_LOCAL_MACHINE, key, u"ScreenWidth", 480);
    SetDword(HKEY_LOCAL_MACHINE, key, u"screenheight", 640);  // names compare without case
    SetDword(HKEY_LOCAL_MACHINE, key, u"ScreenDpi", 192);
    SetDword(HKEY_LOCAL_MACHINE, key, u"CodePage", 1251);
    const char16_t smartphone[] = u"Smartphone";
    SetBytes(u"PlatformType", REG_SZ, smartphone, sizeof smartphone);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 480);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 640);
    EXPECT_EQ(skyvane::ScreenDpi(), 192);
    EXPECT_EQ(PlatformType(), u"Smartphone");
    EXPECT_EQ(skyvane::ReadDeviceProfile().codePage, 1251u);

    // Stored without its terminator, the text still reads whole.
    SetBytes(u"PlatformType", REG_SZ, smartphone, sizeof smartphone - sizeof(WCHAR));
    EXPECT_EQ(PlatformType(), u"Smartphone");
    // Mistyped, zero or empty values read as the defaults.
    SetBytes(u"ScreenWidth", REG_SZ, u"480", 8);
    SetDword(HKEY_LOCAL_MACHINE, key, u"ScreenHeight", 0);
    SetBytes(u"PlatformType", REG_SZ, u"", 2);
    WORD shortDpi = 120;
    SetBytes(u"ScreenDpi", REG_DWORD, &shortDpi, sizeof shortDpi);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
    EXPECT_EQ(skyvane::ScreenDpi(), 96);
    EXPECT_EQ(PlatformType(), u"PocketPC");
}

TEST(SystemParametersTest, TextsWithTheirBufferSizes) {
    skyvane::test::ScopedDeviceRoot device;
    // "PocketPC" and its terminator: 18 bytes exactly.
    WCHAR buf[16];
    std::fill(std::begin(buf), std::end(buf), u'#');
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 17, buf, 0));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(buf[0], u'#');  // a refused call writes nothing
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 18, buf, 0));
    EXPECT_EQ(std::u16string(buf), u"PocketPC");
    EXPECT_EQ(buf[9], u'#');
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 0, buf, 0));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 18, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    WCHAR oem[128];
    std::fill(std::begin(oem), std::end(oem), u'#');
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, sizeof oem, oem, 0));
    const size_t length = std::u16string_view(oem).size();
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, 127u);
    std::fill(std::begin(oem), std::end(oem), u'#');
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, static_cast<UINT>(length * 2 + 1), oem, 0));
    EXPECT_EQ(oem[0], u'#');

    EXPECT_FALSE(SystemParametersInfoW(48 /* SPI_GETWORKAREA */, sizeof oem, oem, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

class SystemStateTest : public ::testing::Test {
protected:
    // An attribute file of the fake system tree, as the kernel writes it (one line).
    void Attribute(const std::string& path, const char* text) {
        fs::create_directories(fs::path(system_ + path).parent_path());
        std::ofstream(system_ + path) << text << "\n";
    }
    // A laptop with a wired and a wireless interface, a battery and mains power.
    void Machine(const char* wifiState, const char* mainsOnline) {
        Attribute("/sys/class/net/eth0/operstate", "up");  // wired: not Wi-Fi
        fs::create_directories(system_ + "/sys/class/net/wlan0/wireless");
        Attribute("/sys/class/net/wlan0/operstate", wifiState);
        Attribute("/sys/class/power_supply/BAT0/type", "Battery");
        Attribute("/sys/class/power_supply/BAT0/online", "1");
        Attribute("/sys/class/power_supply/AC/type", "Mains");
        Attribute("/sys/class/power_supply/AC/online", mainsOnline);
    }
    skyvane::test::ScopedDeviceRoot device_;
    // The kernel's tree alone, whatever network services this machine runs.
    ScopedEnv noBus_{"SKYVANE_DBUS_ADDRESS", "none"};
    std::string system_ = device_.path() + "/linux";
};

TEST_F(SystemStateTest, ReadsWirelessAndMainsPower) {
    EXPECT_FALSE(skyvane::ReadSystemState(system_).wifiPresent);  // no tree at all

    Machine("down", "0");
    skyvane::SystemState state = skyvane::ReadSystemState(system_);
    EXPECT_TRUE(state.wifiPresent);
    EXPECT_FALSE(state.wifiConnected);
    EXPECT_FALSE(state.cradled);

    Machine("dormant", "1");  // associating: not a usable link yet
    state = skyvane::ReadSystemState(system_);
    EXPECT_FALSE(state.wifiConnected);
    EXPECT_TRUE(state.cradled);

    Machine("up", "1");
    state = skyvane::ReadSystemState(system_);
    EXPECT_TRUE(state.wifiConnected);
    EXPECT_TRUE(state.cradled);
}

TEST_F(SystemStateTest, RefreshWritesTheStateValuesUnlessFixed) {
    ScopedEnv live("SKYVANE_STATE_FIXED", nullptr);
    // The platform's bits: 0x2 a wireless interface is powered, 0x10 connected.
    struct Case {
        const char* wifi;
        const char* mains;
        DWORD hardwareWifi, hardwareCradled, wifiConnected, cradled;
    } cases[] = {
        {"up", "1", 0x12, 1, 1, 1},
        {"down", "1", 0x02, 1, 0, 1},
        {"down", "0", 0x02, 0, 0, 0},
        {"up", "0", 0x12, 0, 1, 0},
    };
    for (const Case& c : cases) {
        Machine(c.wifi, c.mains);
        skyvane::RefreshSystemState(system_);
        SCOPED_TRACE(std::string("wifi ") + c.wifi + ", mains " + c.mains);
        EXPECT_EQ(GetDword(u"System\\State\\Hardware", u"WiFi"), c.hardwareWifi);
        EXPECT_EQ(GetDword(u"System\\State\\Hardware", u"Cradled"), c.hardwareCradled);
        EXPECT_EQ(GetDword(u"System\\State", u"WiFiConnected"), c.wifiConnected);
        EXPECT_EQ(GetDword(u"System\\State", u"Cradled"), c.cradled);
    }

    // Roaming is one bit of the phone's status; the others stay as they are.
    SetDword(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", u"Status", 0x21);
    skyvane::SystemState roaming;
    roaming.roaming = true;
    skyvane::WriteSystemState(roaming);
    EXPECT_EQ(GetDword(u"System\\State\\Phone", u"Status"), 0x221u);
    skyvane::RefreshSystemState(system_);  // no modem without ModemManager
    EXPECT_EQ(GetDword(u"System\\State\\Phone", u"Status"), 0x21u);

    // With the state fixed, the values a test wrote stay as they are.
    SetDword(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Cradled", 7);
    ScopedEnv fixed("SKYVANE_STATE_FIXED", "1");
    Machine("up", "1");
    skyvane::RefreshSystemState(system_);
    EXPECT_EQ(GetDword(u"System\\State\\Hardware", u"Cradled"), 7u);
    EXPECT_EQ(GetDword(u"System\\State", u"Cradled"), 0u);  // mains came on, but nothing was refreshed
}

TEST_F(SystemStateTest, NetworkStateCodeIsTheFirstStateThatApplies) {
    ScopedEnv fixed("SKYVANE_STATE_FIXED", "1");
    struct Case {
        DWORD cradled, wifi, phone;
        skyvane::NetworkStateCode code;
    } cases[] = {
        {1, 0x12, 0x200, skyvane::kNetworkCradled},  // cradled before everything
        {7, 0, 0, skyvane::kNetworkCradled},         // any non-zero value
        {0, 0x12, 0x200, skyvane::kNetworkWiFi},     // Wi-Fi before roaming
        {0, 0x10, 0, skyvane::kNetworkWiFi},
        {0, 0x02, 0x200, skyvane::kNetworkRoaming},  // powered but not connected is not Wi-Fi
        {0, 0x02, 0x201, skyvane::kNetworkRoaming},
        {0, 0x02, 0x001, skyvane::kNetworkCellular},
        {0, 0, 0, skyvane::kNetworkCellular},
    };
    for (const Case& c : cases) {
        SetDword(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Cradled", c.cradled);
        SetDword(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"WiFi", c.wifi);
        SetDword(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", u"Status", c.phone);
        skyvane::NetworkStateValues state = skyvane::ReadNetworkState(system_);
        EXPECT_EQ(state.code, c.code) << c.cradled << " " << c.wifi << " " << c.phone;
        EXPECT_EQ(state.phoneStatus, c.phone);
    }
}

}  // namespace
