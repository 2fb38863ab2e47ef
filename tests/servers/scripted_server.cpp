#include "servers/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace skyvane::test {
namespace {

int ListenOnLoopback(uint16_t* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen on loopback failed");
    }
    socklen_t len = sizeof(addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

void SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// The length of a complete request at the start of data (head plus its
// Content-Length body), or 0 while it is incomplete.
size_t CompleteRequest(const std::string& data) {
    size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) return 0;
    size_t head = end + 4;
    size_t body = 0;
    size_t at = data.find("Content-Length: ");
    if (at != std::string::npos && at < head) body = std::strtoul(data.c_str() + at + 16, nullptr, 10);
    return data.size() >= head + body ? head + body : 0;
}

}  // namespace

uint16_t FreePort() {
    uint16_t port = 0;
    int fd = ListenOnLoopback(&port);
    ::close(fd);
    return port;
}

ScriptedServer::ScriptedServer() {
    listener_ = ListenOnLoopback(&port_);
    acceptor_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    for (std::thread& t : handlers_) t.join();
    ::close(listener_);
}

void ScriptedServer::Add(ScriptedResponse response) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(response));
}

std::vector<RecordedRequest> ScriptedServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int ScriptedServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

void ScriptedServer::Serve() {
    for (;;) {
        pollfd p{listener_, POLLIN, 0};
        int rc = ::poll(&p, 1, 50);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        if (rc <= 0) continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int connection;
        {
            std::lock_guard lock(mutex_);
            connection = connections_++;
        }
        handlers_.emplace_back([this, fd, connection] { Handle(fd, connection); });
    }
}

void ScriptedServer::Handle(int fd, int connection) {
    std::string data;
    char buffer[4096];
    for (;;) {
        size_t complete;
        while ((complete = CompleteRequest(data)) == 0) {
            pollfd p{fd, POLLIN, 0};
            int rc = ::poll(&p, 1, 50);
            {
                std::lock_guard lock(mutex_);
                if (stopping_) {
                    ::close(fd);
                    return;
                }
            }
            if (rc <= 0) continue;
            ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0) {
                ::close(fd);
                return;
            }
            data.append(buffer, static_cast<size_t>(n));
        }
        ScriptedResponse response;
        bool scripted = false;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({data.substr(0, complete), connection});
            if (!script_.empty()) {
                response = std::move(script_.front());
                script_.pop_front();
                scripted = true;
            }
        }
        data.erase(0, complete);
        if (!scripted) response.bytes = "HTTP/1.0 500 Unscripted\r\nContent-Length: 0\r\n\r\n";
        if (response.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(response.delayMs));
        std::string_view bytes = response.bytes;
        if (response.cutOff != std::string::npos) bytes = bytes.substr(0, response.cutOff);
        size_t from = 0;
        for (size_t cut : response.cuts) {
            if (cut <= from || cut >= bytes.size()) continue;
            SendAll(fd, bytes.data() + from, cut - from);
            from = cut;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SendAll(fd, bytes.data() + from, bytes.size() - from);
        if (response.close || response.cutOff != std::string::npos) {
            // The whole request was read, so closing sends a plain end of stream.
            ::shutdown(fd, SHUT_WR);
            ::close(fd);
            return;
        }
    }
}

}  // namespace skyvane::test
