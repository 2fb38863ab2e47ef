// The Connection Manager's answers and the system state values, against
// NetworkManager and ModemManager mocks on a private D-Bus daemon.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/connmgr/connmgr.h"
#include "platform/connmgr/mock_network.h"
#include "platform/kernel/device_profile.h"
#include "platform/registry/registry.h"
#include "test_util/registry_dump.h"
#include "test_util/test_util.h"

namespace fs = std::filesystem;

namespace {

using skyvane::test::MockNetwork;
using skyvane::test::NetworkManagerScene;
using skyvane::test::ScopedEnv;
using Clock = std::chrono::steady_clock;

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr const char* kWiFi = "802-11-wireless";
constexpr const char* kWired = "802-3-ethernet";
// NMConnectivityState, NMState, NMMetered
enum : uint32_t { kNone = 1, kPortal = 2, kFull = 4 };
enum : uint32_t { kDisconnected = 20, kConnecting = 40, kLocal = 50, kSite = 60, kGlobal = 70 };
enum : uint32_t { kMeteredYes = 1, kMeteredNo = 2, kGuessYes = 3, kGuessNo = 4 };
// MMModem3gppRegistrationState
enum : uint32_t { kNoModem = 0, kHome = 1, kRoaming = 5, kRoamingSmsOnly = 7 };

DWORD StateValue(const char16_t* path, const char16_t* name) {
    return skyvane::test::MachineDword(path, name, kSentinel);
}

struct Answer {
    HRESULT hr;
    DWORD status;
    bool handle;
};

// One request as the update run makes it, for a destination (nullptr: none named).
Answer Request(const GUID* destination, DWORD timeout = 120000) {
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    info.dwParams = destination ? CONNMGR_PARAM_GUIDDESTNET : 0;
    info.dwPriority = CONNMGR_PRIORITY_HIPRIBKGND;
    if (destination) info.guidDestNet = *destination;
    HANDLE connection = reinterpret_cast<HANDLE>(uintptr_t{kSentinel});
    DWORD status = kSentinel;
    HRESULT hr = ConnMgrEstablishConnectionSync(&info, &connection, timeout, &status);
    Answer answer{hr, status, connection != nullptr};
    if (connection && hr == S_OK) {
        EXPECT_EQ(ConnMgrReleaseConnection(connection, 0), S_OK);
    }
    return answer;
}

// What `ip route` says, outside our own reading of the routing tables.
bool IpRouteHasDefault() {
    for (const char* command : {"ip route show default 2>/dev/null", "ip -6 route show default 2>/dev/null"}) {
        FILE* out = popen(command, "r");
        if (!out) continue;
        char line[512];
        bool found = false;
        while (fgets(line, sizeof line, out)) found = found || std::string(line).rfind("default ", 0) == 0;
        pclose(out);
        if (found) return true;
    }
    return false;
}

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        SKYVANE_REQUIRE(MockNetwork::Available(&missing), missing << " (tools/setup_debian.sh installs it)");
        std::string error = network_.Start();
        ASSERT_EQ(error, "");
        bus_.emplace("SKYVANE_DBUS_ADDRESS", network_.address().c_str());
        // A laptop whose wireless interface the kernel shows up: with
        // NetworkManager running, that alone is not Wi-Fi.
        fs::create_directories(system_ + "/sys/class/net/wlan0/wireless");
        std::ofstream(system_ + "/sys/class/net/wlan0/operstate") << "up\n";
        fs::create_directories(system_ + "/sys/class/power_supply/AC");
        std::ofstream(system_ + "/sys/class/power_supply/AC/type") << "Mains\n";
        Mains(false);
    }
    void Mains(bool online) { std::ofstream(system_ + "/sys/class/power_supply/AC/online") << (online ? "1\n" : "0\n"); }

    skyvane::test::ScopedDeviceRoot device_;
    ScopedEnv live_{"SKYVANE_STATE_FIXED", nullptr};
    std::optional<ScopedEnv> bus_;
    std::string system_ = device_.path() + "/linux";
    MockNetwork network_;
};

TEST_F(NetworkTest, ConnectionAndStateFollowNetworkManager) {
    struct Case {
        const char* what;
        NetworkManagerScene nm;
        uint32_t modem;
        bool mains;
        DWORD status, wifi, cradled, phone;
        skyvane::NetworkStateCode code;
    } cases[] = {
        {"Wi-Fi primary", {kWiFi, kFull, kGlobal, kMeteredNo}, kNoModem, false,
         CONNMGR_STATUS_CONNECTED, 0x12, 0, 0, skyvane::kNetworkWiFi},
        {"wired primary", {kWired, kFull, kGlobal, kGuessNo}, kNoModem, false,
         CONNMGR_STATUS_CONNECTED, 0x02, 1, 0, skyvane::kNetworkCradled},
        {"Wi-Fi on mains power: cradled comes first", {kWiFi, kFull, kGlobal, kGuessNo}, kNoModem, true,
         CONNMGR_STATUS_CONNECTED, 0x12, 1, 0, skyvane::kNetworkCradled},
        {"metered Wi-Fi (a phone's hotspot) on mains power", {kWiFi, kFull, kGlobal, kMeteredYes}, kNoModem, true,
         CONNMGR_STATUS_CONNECTED, 0x02, 0, 0, skyvane::kNetworkCellular},
        {"wired but guessed metered", {kWired, kFull, kGlobal, kGuessYes}, kNoModem, false,
         CONNMGR_STATUS_CONNECTED, 0x02, 0, 0, skyvane::kNetworkCellular},
        {"mobile broadband at home", {"gsm", kFull, kGlobal, kGuessYes}, kHome, false,
         CONNMGR_STATUS_CONNECTED, 0x02, 0, 0, skyvane::kNetworkCellular},
        {"mobile broadband roaming", {"gsm", kFull, kGlobal, kGuessYes}, kRoaming, false,
         CONNMGR_STATUS_CONNECTED, 0x02, 0, 0x200, skyvane::kNetworkRoaming},
        {"Wi-Fi while the modem roams (SMS only)", {kWiFi, kFull, kGlobal, kMeteredNo}, kRoamingSmsOnly, false,
         CONNMGR_STATUS_CONNECTED, 0x12, 0, 0x200, skyvane::kNetworkWiFi},
        {"nothing connected", {"", kNone, kDisconnected, 0}, kNoModem, false,
         CONNMGR_STATUS_NOPATHTODESTINATION, 0x02, 0, 0, skyvane::kNetworkCellular},
        {"behind a captive portal", {kWiFi, kPortal, kSite, kMeteredNo}, kNoModem, false,
         CONNMGR_STATUS_WAITINGFORPATH, 0x12, 0, 0, skyvane::kNetworkWiFi},
        {"connectivity check off, default route", {kWired, 0, kGlobal, 0}, kNoModem, false,
         CONNMGR_STATUS_CONNECTED, 0x02, 1, 0, skyvane::kNetworkCradled},
        {"connectivity check off, local network only", {kWired, 0, kLocal, 0}, kNoModem, false,
         CONNMGR_STATUS_WAITINGFORPATH, 0x02, 1, 0, skyvane::kNetworkCradled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(network_.SetNetworkManager(c.nm), "");
        ASSERT_EQ(network_.SetModem(c.modem), "");
        Mains(c.mains);

        Answer answer = Request(&IID_DestNetInternet);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.hr, c.status == CONNMGR_STATUS_CONNECTED ? S_OK : E_FAIL);
        EXPECT_EQ(answer.handle, c.status == CONNMGR_STATUS_CONNECTED);

        skyvane::NetworkStateValues state = skyvane::ReadNetworkState(system_);
        EXPECT_EQ(StateValue(u"System\\State\\Hardware", u"WiFi"), c.wifi);
        EXPECT_EQ(StateValue(u"System\\State\\Hardware", u"Cradled"), c.cradled);
        EXPECT_EQ(StateValue(u"System\\State\\Phone", u"Status"), c.phone);
        EXPECT_EQ(state.code, c.code);
        EXPECT_EQ(state.wifi, c.wifi);
    }
}

TEST_F(NetworkTest, SwitchingFromWiFiToMeteredChangesTheSchedulerState) {
    ASSERT_EQ(network_.SetNetworkManager({kWiFi, kFull, kGlobal, kGuessNo}), "");
    ASSERT_EQ(network_.SetModem(kNoModem), "");
    EXPECT_EQ(skyvane::ReadNetworkState(system_).code, skyvane::kNetworkWiFi);

    // The network turns out to be a phone's hotspot; NetworkManager says so.
    ASSERT_EQ(network_.ChangeManagerProperty("Metered", "u", kGuessYes), "");
    skyvane::NetworkStateValues state = skyvane::ReadNetworkState(system_);
    EXPECT_EQ(state.code, skyvane::kNetworkCellular);
    EXPECT_EQ(state.wifi, 0x02u);
    EXPECT_EQ(Request(&IID_DestNetInternet).status, CONNMGR_STATUS_CONNECTED);  // still a way out, at a price

    ASSERT_EQ(network_.ChangeManagerProperty("Metered", "u", kMeteredNo), "");
    EXPECT_EQ(skyvane::ReadNetworkState(system_).code, skyvane::kNetworkWiFi);

    // Which destinations a working Internet connection reaches.
    struct {
        const GUID* destination;
        DWORD status;
    } destinations[] = {
        {&IID_DestNetInternet, CONNMGR_STATUS_CONNECTED},
        {&IID_DestNetCorp, CONNMGR_STATUS_CONNECTED},
        {nullptr, CONNMGR_STATUS_CONNECTED},  // none named: the Internet
        {&IID_DestNetWAP, CONNMGR_STATUS_NOPATHTODESTINATION},
        {&IID_DestNetSecureWAP, CONNMGR_STATUS_NOPATHTODESTINATION},
    };
    for (const auto& d : destinations) EXPECT_EQ(Request(d.destination).status, d.status);
}

TEST_F(NetworkTest, ARequestWaitsWhileNetworkManagerConnects) {
    ASSERT_EQ(network_.SetNetworkManager({kWiFi, kNone, kConnecting, kMeteredNo}), "");
    Answer early = Request(&IID_DestNetInternet, 300);
    EXPECT_EQ(early.hr, E_FAIL);
    EXPECT_EQ(early.status, CONNMGR_STATUS_WAITINGCONNECTION);
    EXPECT_FALSE(early.handle);

    std::string changed = "not yet";
    std::thread associate([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        changed = network_.ChangeManagerProperty("Connectivity", "u", kFull);
    });
    Answer later = Request(&IID_DestNetInternet, 30000);
    associate.join();
    ASSERT_EQ(changed, "");
    EXPECT_EQ(later.hr, S_OK);
    EXPECT_EQ(later.status, CONNMGR_STATUS_CONNECTED);
}

TEST_F(NetworkTest, WithoutAnswerFromNetworkManagerTheKernelDecides) {
    SKYVANE_REQUIRE(std::system("command -v ip >/dev/null 2>&1") == 0, "ip (iproute2)");
    const DWORD routeStatus = IpRouteHasDefault() ? CONNMGR_STATUS_CONNECTED : CONNMGR_STATUS_NOPATHTODESTINATION;
    // NetworkManager would say the opposite of the kernel's tree (wireless up, no mains).
    ASSERT_EQ(network_.SetNetworkManager({kWired, kNone, kDisconnected, kMeteredNo}), "");
    ASSERT_EQ(network_.SetModem(kRoaming), "");
    const std::string noBus = "unix:path=" + device_.path() + "/no-bus";
    enum Mode { kNoBus, kSilent, kGone };
    struct {
        const char* what;
        Mode mode;
        DWORD phone;  // ModemManager still answers, except without a bus
    } modes[] = {{"no bus at all", kNoBus, 0}, {"NetworkManager silent", kSilent, 0x200},
                 {"NetworkManager gone", kGone, 0x200}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.what);
        std::optional<ScopedEnv> unreachable;
        if (m.mode == kNoBus) unreachable.emplace("SKYVANE_DBUS_ADDRESS", noBus.c_str());
        if (m.mode == kSilent) network_.PauseNetworkManager();
        if (m.mode == kGone) {
            ASSERT_EQ(network_.StopNetworkManager(), "");
        }

        const auto start = Clock::now();
        EXPECT_EQ(Request(&IID_DestNetInternet).status, routeStatus);
        skyvane::NetworkStateValues state = skyvane::ReadNetworkState(system_);
        // A silent service costs the bus time-out of a second per question, never the caller's 120 s.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(state.wifi, 0x12u);
        EXPECT_EQ(state.cradled, 0u);
        EXPECT_EQ(state.phoneStatus, m.phone);
        EXPECT_EQ(state.code, skyvane::kNetworkWiFi);  // Wi-Fi comes before roaming
    }
}

TEST(ConnMgrTest, RequestRecordHandlesAndForcedAnswer) {
    skyvane::test::ScopedDeviceRoot device;
    ScopedEnv noBus("SKYVANE_DBUS_ADDRESS", "none");
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    HANDLE connection = reinterpret_cast<HANDLE>(uintptr_t{kSentinel});
    DWORD status = kSentinel;
    EXPECT_EQ(ConnMgrEstablishConnectionSync(nullptr, &connection, 0, &status), E_INVALIDARG);
    EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, nullptr, 0, &status), E_INVALIDARG);
    EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, &connection, 0, nullptr), E_INVALIDARG);
    info.cbSize = 64;  // the handheld's size is not this platform's
    EXPECT_EQ(ConnMgrEstablishConnectionSync(&info, &connection, 0, &status), E_INVALIDARG);

    // The forced answer wins over everything, the destination included.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (DWORD forced : {CONNMGR_STATUS_NOPATHTODESTINATION, CONNMGR_STATUS_CONNECTED}) {
        RegSetValueExW(key, u"ConnectionStatus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&forced), sizeof forced);
        Answer answer = Request(&IID_DestNetWAP);
        EXPECT_EQ(answer.status, forced);
        EXPECT_EQ(answer.handle, forced == CONNMGR_STATUS_CONNECTED);  // the sentinel was cleared on failure
    }
    RegCloseKey(key);

    info.cbSize = sizeof info;
    ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &connection, 0, &status), S_OK);
    EXPECT_EQ(ConnMgrReleaseConnection(connection, 0), S_OK);
    EXPECT_EQ(ConnMgrReleaseConnection(connection, 0), E_INVALIDARG);  // already given back
    EXPECT_EQ(ConnMgrReleaseConnection(nullptr, 0), E_INVALIDARG);
}

}  // namespace
