// Real servers for integration tests, started on free loopback ports in a
// temporary folder of their own and stopped (SIGTERM, then SIGKILL) when the
// object goes away: nginx, tinyproxy and the feed simulator.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace skyvane::test {

class ServerProcess {
public:
    virtual ~ServerProcess();
    uint16_t port() const { return port_; }
    // The server's own folder (configuration, logs, documents).
    const std::string& dir() const { return dir_; }
    // The last lines of the server's output, for failure messages.
    std::string LogTail() const;

protected:
    ServerProcess();
    // Starts argv and waits until the port accepts connections; on failure
    // *error says why.
    bool Start(const std::vector<std::string>& argv, std::string* error);
    void WriteFile(const std::string& name, const std::string& text) const;

    std::string dir_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// nginx serving dir()/www, with:
//   /gz/NAME        the file NAME.gz with "Content-Encoding: gzip", whatever the request asks
//   /dyn/NAME       gzip on the fly when the request accepts it (also for HTTP/1.0)
//   /old            301 to /weather.xml; /found: 302 to the absolute address of /weather.xml
//   /loop           302 to itself
//   /private/NAME   Basic authentication (user "skyvane", password "weather")
class NginxServer : public ServerProcess {
public:
    static std::unique_ptr<NginxServer> Start(std::string* error);
    // Puts a document below www (and its gzip form next to it when gzipped).
    void AddDocument(const std::string& path, const std::string& content, bool gzipped = false) const;

private:
    static std::unique_ptr<NginxServer> StartOnce(std::string* error);
};

// tinyproxy on loopback demanding Basic authentication.
class TinyproxyServer : public ServerProcess {
public:
    static std::unique_ptr<TinyproxyServer> Start(const std::string& user, const std::string& password,
                                                  std::string* error);

private:
    static std::unique_ptr<TinyproxyServer> StartOnce(const std::string& user, const std::string& password,
                                                      std::string* error);
};

// tools/feedsim/feedsim.py with the given extra arguments.
class FeedSimulator : public ServerProcess {
public:
    static std::unique_ptr<FeedSimulator> Start(const std::vector<std::string>& args, std::string* error);
};

// Gzip of data (RFC 1952), for documents served pre-compressed.
std::string GzipBytes(const std::string& data);

}  // namespace skyvane::test
