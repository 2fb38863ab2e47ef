#include "platform/connmgr/mock_network.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace skyvane::test {
namespace {

constexpr char kNetworkManager[] = "org.freedesktop.NetworkManager";
constexpr char kManagerPath[] = "/org/freedesktop/NetworkManager";
constexpr char kMockRoot[] = "/org/freedesktop";  // the template's main object, where its mock methods act
constexpr char kModemManager[] = "org.freedesktop.ModemManager1";
constexpr char kModemManagerPath[] = "/org/freedesktop/ModemManager1";
constexpr char kMock[] = "org.freedesktop.DBus.Mock";
constexpr uint32_t kDeviceDisconnected = 30;       // NMDeviceState
constexpr uint32_t kActiveConnectionActivated = 2;  // NMActiveConnectionState

using namespace std::chrono_literals;

// Debian's python3-dbusmock belongs to Debian's Python, whatever python3 the
// PATH finds first (pyenv and the like).
constexpr char kDebianPython[] = "/usr/bin/python3";

// Starts argv with stdout to outFd (when not -1) and stderr to logPath.
pid_t Spawn(const std::vector<std::string>& argv, int outFd, const std::string& logPath,
            const std::string& busAddress) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that dies takes its servers with it
    int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    dup2(outFd >= 0 ? outFd : log, 1);
    dup2(log, 2);
    if (!busAddress.empty()) {
        setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.c_str(), 1);
    }
    execvp(args[0], args.data());
    dprintf(2, "cannot start %s: %s\n", args[0], strerror(errno));
    _exit(127);
}

void Stop(pid_t& pid, bool paused) {
    if (pid <= 0) return;
    if (paused) kill(pid, SIGCONT);
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
}

bool Exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

bool MockNetwork::Available(std::string* missing) {
    if (std::system("command -v dbus-daemon >/dev/null 2>&1") != 0) {
        *missing = "dbus-daemon";
        return false;
    }
    if (std::system((std::string(kDebianPython) + " -c 'import dbusmock' >/dev/null 2>&1").c_str()) != 0) {
        *missing = "python3-dbusmock";
        return false;
    }
    return true;
}

MockNetwork::~MockNetwork() {
    Stop(networkManager_, paused_);
    Stop(modemManager_, false);
    Stop(daemon_, false);
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::string MockNetwork::OpenClient(std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)>* bus) const {
    sd_bus* raw = nullptr;
    int r = sd_bus_new(&raw);
    bus->reset(raw);
    if (r >= 0) r = sd_bus_set_address(raw, address_.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(raw, 1);
    if (r >= 0) r = sd_bus_start(raw);
    return r < 0 ? std::string("cannot connect to the private bus: ") + strerror(-r) : std::string();
}

std::string MockNetwork::Start() {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-dbus-XXXXXX").string();
    if (!mkdtemp(templ.data())) return "mkdtemp failed";
    dir_ = templ;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return "pipe failed";
    daemon_ = Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, fds[1],
                    dir_ + "/dbus-daemon.log", "");
    close(fds[1]);
    std::string line;
    char c = 0;
    pollfd wait{fds[0], POLLIN, 0};
    while (poll(&wait, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(fds[0]);
    if (line.empty()) return "dbus-daemon printed no address";
    address_ = line;
    if (std::string error = StartMock(kNetworkManager, "networkmanager", &networkManager_); !error.empty())
        return error;
    return StartMock(kModemManager, SKYVANE_SOURCE_DIR "/tests/platform/connmgr/modemmanager_mock.py",
                     &modemManager_);
}

std::string MockNetwork::StartMock(const std::string& service, const std::string& templ, pid_t* pid) {
    const std::string log = dir_ + "/" + service + ".log";
    *pid = Spawn({kDebianPython, "-m", "dbusmock", "--session", "--template", templ}, -1, log, address_);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Exited(*pid)) {
            *pid = -1;
            return service + " mock exited; see " + log;
        }
        // The template is loaded before the name is taken: a name with an owner is ready.
        std::string owner;
        if (Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", &owner,
                 "s", service.c_str())
                .empty())
            return {};
        std::this_thread::sleep_for(50ms);
    }
    return service + " mock did not appear on the bus within 20 s";
}

std::string MockNetwork::SetNetworkManager(const NetworkManagerScene& scene) {
    std::string wifi, wired, error;
    if (!(error = Call(kNetworkManager, kMockRoot, kMock, "Reset", nullptr, "")).empty() ||
        !(error = Call(kNetworkManager, kMockRoot, kMock, "AddWiFiDevice", &wifi, "ssi", "wlan0", "wlan0",
                       kDeviceDisconnected))
             .empty() ||
        !(error = Call(kNetworkManager, kMockRoot, kMock, "AddEthernetDevice", &wired, "ssi", "eth0", "eth0",
                       kDeviceDisconnected))
             .empty())
        return error;
    // As NetworkManager has it: a saved connection, activated on its device,
    // is the primary connection.
    std::string primary = "/";
    const std::string type = scene.primaryType;
    if (!type.empty()) {
        std::string settings;
        error = Call(kNetworkManager, "/org/freedesktop/NetworkManager/Settings",
                     "org.freedesktop.NetworkManager.Settings", "AddConnection", &settings, "a{sa{sv}}", 1u,
                     "connection", 2u, "type", "s", type.c_str(), "id", "s", "primary");
        if (!error.empty()) return error;
        const std::string device = type == "802-11-wireless" ? wifi : type == "802-3-ethernet" ? wired : "";
        error = device.empty() ? Call(kNetworkManager, kMockRoot, kMock, "AddActiveConnection", &primary, "assssu",
                                      0u, settings.c_str(), "/", "primary", kActiveConnectionActivated)
                               : Call(kNetworkManager, kMockRoot, kMock, "AddActiveConnection", &primary, "assssu",
                                      1u, device.c_str(), settings.c_str(), "/", "primary",
                                      kActiveConnectionActivated);
        if (!error.empty()) return error;
    }
    const char* kManager = kNetworkManager;  // the main object's interface has the service's name
    if (!(error = Call(kNetworkManager, kManagerPath, kMock, "AddProperty", nullptr, "ssv", kManager,
                       "PrimaryConnection", "o", primary.c_str()))
             .empty() ||
        !(error = Call(kNetworkManager, kManagerPath, kMock, "AddProperty", nullptr, "ssv", kManager,
                       "PrimaryConnectionType", "s", scene.primaryType))
             .empty() ||
        !(error = Call(kNetworkManager, kManagerPath, kMock, "AddProperty", nullptr, "ssv", kManager, "Metered", "u",
                       scene.metered))
             .empty() ||
        !(error = Call(kNetworkManager, kMockRoot, kMock, "SetConnectivity", nullptr, "u", scene.connectivity))
             .empty())
        return error;
    return Call(kNetworkManager, kMockRoot, kMock, "SetGlobalConnectionState", nullptr, "u", scene.state);
}

std::string MockNetwork::SetModem(uint32_t registration) {
    if (std::string error = Call(kModemManager, kModemManagerPath, kMock, "Reset", nullptr, ""); !error.empty())
        return error;
    if (registration == 0) return {};
    return Call(kModemManager, kModemManagerPath, kMock, "AddModem", nullptr, "su", "0", registration);
}

std::string MockNetwork::ChangeManagerProperty(const char* name, const char* type, uint32_t value) {
    return Call(kNetworkManager, kMockRoot, kMock, "SetProperty", nullptr, "sssv", kManagerPath, kNetworkManager,
                name, type, value);
}

std::string MockNetwork::StopNetworkManager() {
    Stop(networkManager_, paused_);
    paused_ = false;
    // The bus lets the name go once it sees the connection closed.
    for (int i = 0; i < 100; ++i) {
        std::string owner;
        if (!Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", &owner,
                  "s", kNetworkManager)
                 .empty())
            return {};
        std::this_thread::sleep_for(50ms);
    }
    return "the NetworkManager mock's name stayed on the bus";
}

void MockNetwork::PauseNetworkManager() {
    if (networkManager_ > 0 && kill(networkManager_, SIGSTOP) == 0) paused_ = true;
}

}  // namespace skyvane::test
