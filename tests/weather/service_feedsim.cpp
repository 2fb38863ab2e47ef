#include "weather/service_feedsim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/registry/registry.h"
#include "test_util/test_util.h"

extern char** environ;

namespace skyvane::test {
namespace {

std::string MakeTempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-feedsim-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    return templ;
}

void SetHostValue(HKEY key, const char16_t* name, const std::u16string& value) {
    if (value.empty()) {
        RegDeleteValueW(key, name);
        return;
    }
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(char16_t)));
}

}  // namespace

FeedSim::FeedSim(std::vector<std::string> extraArgs) {
    dir_ = MakeTempDir();
    const std::string script = BuildDir() + "/bin/feedsim.py";
    const std::string portFile = dir_ + "/port";
    std::vector<std::string> args = {"python3", script, "--port", "0", "--port-file", portFile,
                                     "--stall-seconds", "20"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string logFile = dir_ + "/feedsim.log";
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start the feed simulator: python3 not found");
    pid_ = pid;

    for (int i = 0; i < 200 && port_ == 0; ++i) {
        std::ifstream in(portFile);
        int port = 0;
        if (in >> port && port > 0) {
            port_ = uint16_t(port);
            break;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (port_ == 0) {
        std::ifstream log(logFile);
        std::stringstream text;
        text << log.rdbuf();
        throw std::runtime_error("the feed simulator did not start: " + text.str());
    }
}

FeedSim::~FeedSim() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::u16string FeedSim::host16() const {
    std::string h = host();
    return std::u16string(h.begin(), h.end());
}

std::vector<std::string> FeedSim::Log() const {
    std::vector<std::string> lines;
    std::istringstream in(HttpGet(port_, "/feedsim/log"));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> FeedSim::Targets() const {
    std::vector<std::string> targets;
    for (const std::string& line : Log()) {
        size_t start = line.find(' ');
        size_t end = line.rfind(' ');
        if (start == std::string::npos || end <= start) continue;
        std::string target = line.substr(start + 1, end - start - 1);
        if (target.rfind("/feedsim/", 0) == 0) continue;
        targets.push_back(target);
    }
    return targets;
}

void FeedSim::Switch(const std::string& switches, int times) const {
    std::string target = "/feedsim/control?set=" + switches;
    if (times > 0) target += "&times=" + std::to_string(times);
    HttpGet(port_, target);
}

std::string HttpGet(uint16_t port, const std::string& target) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
            char buffer[4096];
            for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, size_t(n));
        }
    }
    close(fd);
    size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

void SetServiceHosts(const std::u16string& relayA, const std::u16string& relayB, const std::u16string& feed,
                     const std::u16string& search) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the settings key");
    SetHostValue(key, u"RelayHostA", relayA);
    SetHostValue(key, u"RelayHostB", relayB);
    SetHostValue(key, u"FeedHost", feed);
    SetHostValue(key, u"SearchHost", search);
    RegCloseKey(key);
}

std::u16string RefusingHost() {
    // Bind a port, and close it again: nothing listens there afterwards.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    std::string host = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    return std::u16string(host.begin(), host.end());
}

}  // namespace skyvane::test
