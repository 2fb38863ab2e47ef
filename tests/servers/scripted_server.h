// An HTTP server inside the test process, on a free loopback port: it records
// the exact bytes of every request and answers each with the exact bytes of the
// next scripted response.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace skyvane::test {

struct ScriptedResponse {
    std::string bytes;
    // Close the connection after answering; otherwise wait for the next request on it.
    bool close = true;
    // Send the bytes in pieces cut at these offsets, with a short pause between.
    std::vector<size_t> cuts;
    // Stay silent this long before answering (milliseconds).
    int delayMs = 0;
    // Send only the first `cutOff` bytes and then close (a response cut short).
    size_t cutOff = std::string::npos;
};

struct RecordedRequest {
    std::string bytes;
    int connection = 0;  // connections are numbered from 0 in accept order
};

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return port_; }
    void Add(ScriptedResponse response);
    void Add(std::string bytes, bool close = true) {
        ScriptedResponse r;
        r.bytes = std::move(bytes);
        r.close = close;
        Add(std::move(r));
    }
    std::vector<RecordedRequest> Requests() const;
    int Connections() const;

private:
    void Serve();
    void Handle(int fd, int connection);

    int listener_ = -1;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::deque<ScriptedResponse> script_;
    std::vector<RecordedRequest> requests_;
    int connections_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
};

// A port on loopback that nothing listens on right now.
uint16_t FreePort();

}  // namespace skyvane::test
