// The feed simulator as the service tests use it: started on a free loopback
// port for the lifetime of the object, with its request log and switches
// reached over HTTP, and the service's host configuration pointed at it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skyvane::test {

class FeedSim {
public:
    // extraArgs go to the simulator's command line (for example "--fail",
    // "err", or "--cities", path).
    explicit FeedSim(std::vector<std::string> extraArgs = {});
    ~FeedSim();
    FeedSim(const FeedSim&) = delete;
    FeedSim& operator=(const FeedSim&) = delete;

    uint16_t port() const { return port_; }
    // "127.0.0.1:PORT", the form the host configuration takes.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::u16string host16() const;

    // The request lines the simulator has seen ("GET /path?query HTTP/1.0").
    std::vector<std::string> Log() const;
    // Only the targets of the weather and search requests, in order.
    std::vector<std::string> Targets() const;
    // Sets the switches for the next `times` requests (0: all of them).
    void Switch(const std::string& switches, int times = 0) const;

private:
    int pid_ = -1;
    uint16_t port_ = 0;
    std::string dir_;
};

// Performs one GET on loopback and returns the body ("" on failure).
std::string HttpGet(uint16_t port, const std::string& target);

// Writes the service's host values (RelayHostA, RelayHostB, FeedHost,
// SearchHost) into HKCU\Software\Skyvane\Weather; an empty text leaves a
// value out.
void SetServiceHosts(const std::u16string& relayA, const std::u16string& relayB, const std::u16string& feed,
                     const std::u16string& search);

// "127.0.0.1:PORT" of a port that nothing listens on.
std::u16string RefusingHost();

}  // namespace skyvane::test
