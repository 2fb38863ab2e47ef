#include "platform/connmgr/connmgr.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "platform/base/log.h"
#include "platform/com/guid.h"
#include "platform/connmgr/network_manager.h"
#include "platform/kernel/handles.h"
#include "platform/registry/registry.h"

const GUID IID_DestNetInternet = skyvane::MakeGuid("{436EF144-B4FB-4863-A041-8F905A62C572}");
const GUID IID_DestNetCorp = skyvane::MakeGuid("{A1182988-0D73-439E-87AD-2A5B369F808B}");
const GUID IID_DestNetWAP = skyvane::MakeGuid("{7022E968-5A97-4051-BC1C-C578E2FBA5D9}");
const GUID IID_DestNetSecureWAP = skyvane::MakeGuid("{F28D1F74-72BE-4394-A4A7-4E296219390C}");

namespace {

// A connection a program holds.
class Connection : public skyvane::KernelObject {};

bool ForcedStatus(DWORD& status) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    skyvane::UniqueHkey owner(key);
    DWORD type = 0, size = sizeof status;
    return RegQueryValueExW(key, u"ConnectionStatus", nullptr, &type, reinterpret_cast<BYTE*>(&status), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

// A default route that is up, in the kernel's IPv4 or IPv6 routing table.
bool HasDefaultRoute() {
    std::ifstream v4("/proc/net/route");
    std::string line;
    std::getline(v4, line);  // the column names
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        fields >> iface >> destination >> gateway >> flags;
        if (destination == "00000000" && (std::stoul(flags, nullptr, 16) & 0x1)) return true;  // RTF_UP
    }
    std::ifstream v6("/proc/net/ipv6_route");
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string destination, length, source, sourceLength, nextHop, metric, refs, use, flags, iface;
        fields >> destination >> length >> source >> sourceLength >> nextHop >> metric >> refs >> use >> flags >> iface;
        if (destination == std::string(32, '0') && length == "00" && iface != "lo" &&
            (std::stoul(flags, nullptr, 16) & 0x1))
            return true;
    }
    return false;
}

DWORD RouteStatus() {
    return HasDefaultRoute() ? CONNMGR_STATUS_CONNECTED : CONNMGR_STATUS_NOPATHTODESTINATION;
}

// The path to the Internet as NetworkManager sees it; while it is connecting,
// asked again until it is done or the caller's time is up. Without an answer
// from NetworkManager, the kernel's routes decide.
DWORD InternetPathStatus(DWORD timeoutMs) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kPoll = std::chrono::milliseconds(250);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    skyvane::connmgr::DbusConnection bus;
    for (;;) {
        auto nm = skyvane::connmgr::ReadNetworkManager(bus);
        if (!nm) {
            SKYVANE_LOG("connmgr", "NetworkManager does not answer (%s); the default route decides", nm.error.c_str());
            return RouteStatus();
        }
        DWORD status = skyvane::connmgr::InternetStatus(*nm.value);
        if (status == CONNMGR_STATUS_UNKNOWN) {
            SKYVANE_LOG("connmgr", "NetworkManager does not know its state; the default route decides");
            return RouteStatus();
        }
        auto left = deadline - Clock::now();
        if (status != CONNMGR_STATUS_WAITINGCONNECTION || left <= Clock::duration::zero()) {
            SKYVANE_LOG("connmgr", "NetworkManager: state %u, connectivity %u: status 0x%02x", nm.value->state,
                        nm.value->connectivity, status);
            return status;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kPoll));
    }
}

DWORD StatusOf(const CONNMGR_CONNECTIONINFO& info, DWORD timeoutMs) {
    DWORD forced;
    if (ForcedStatus(forced)) return forced;
    bool named = info.dwParams & CONNMGR_PARAM_GUIDDESTNET;
    if (named && !IsEqualGUID(info.guidDestNet, IID_DestNetInternet) && !IsEqualGUID(info.guidDestNet, IID_DestNetCorp))
        return CONNMGR_STATUS_NOPATHTODESTINATION;  // no WAP gateway here
    return InternetPathStatus(timeoutMs);
}

}  // namespace

HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection, DWORD dwTimeout,
                                       DWORD* pdwStatus) {
    if (!pConnInfo || !phConnection || !pdwStatus || pConnInfo->cbSize != sizeof(CONNMGR_CONNECTIONINFO))
        return E_INVALIDARG;
    *phConnection = nullptr;
    try {
        *pdwStatus = StatusOf(*pConnInfo, dwTimeout);
    } catch (...) {
        skyvane::LogCaughtException("connmgr", "ConnMgrEstablishConnectionSync");
        *pdwStatus = CONNMGR_STATUS_UNKNOWN;
    }
    if (*pdwStatus != CONNMGR_STATUS_CONNECTED) return E_FAIL;
    *phConnection = skyvane::MakeHandle(std::make_unique<Connection>());
    return S_OK;
}

HRESULT ConnMgrReleaseConnection(HANDLE hConnection, LONG) {
    if (!skyvane::HandleAs<Connection>(hConnection)) return E_INVALIDARG;
    CloseHandle(hConnection);
    return S_OK;
}
