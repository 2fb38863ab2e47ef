#include "servers/processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "servers/scripted_server.h"

namespace skyvane::test {
namespace {

bool PortAccepts(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

std::string GzipBytes(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

ServerProcess::ServerProcess() {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-server-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
    // Workers that drop privileges must still read their documents.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        bool gone = false;
        for (int i = 0; i < 100 && !gone; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) gone = true;
            else std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!gone) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void ServerProcess::WriteFile(const std::string& name, const std::string& text) const {
    std::filesystem::path path = std::filesystem::path(dir_) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ServerProcess::LogTail() const {
    std::string log = ReadFile(dir_ + "/output.log");
    return log.size() > 2000 ? log.substr(log.size() - 2000) : log;
}

bool ServerProcess::Start(const std::vector<std::string>& argv, std::string* error) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string logPath = dir_ + "/output.log";
    pid_ = ::fork();
    if (pid_ < 0) {
        *error = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::execvp(args[0], args.data());
        ::dprintf(2, "cannot start %s: %s\n", args[0], strerror(errno));
        ::_exit(127);
    }
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *error = argv[0] + " exited at start: " + LogTail();
            return false;
        }
        if (port_ != 0 && PortAccepts(port_)) return true;
        if (port_ == 0) {  // the simulator picks its own port and writes it down
            std::string text = ReadFile(dir_ + "/port");
            if (!text.empty()) port_ = static_cast<uint16_t>(std::atoi(text.c_str()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *error = argv[0] + " did not listen within 10 s: " + LogTail();
    return false;
}

std::unique_ptr<NginxServer> NginxServer::Start(std::string* error) {
    // The free port may be taken by someone else before the server binds it.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (auto s = StartOnce(error)) return s;
    return nullptr;
}

std::unique_ptr<NginxServer> NginxServer::StartOnce(std::string* error) {
    std::unique_ptr<NginxServer> s(new NginxServer);
    s->port_ = FreePort();
    const std::string& d = s->dir_;
    s->WriteFile("htpasswd", "skyvane:{PLAIN}weather\n");
    s->WriteFile("www/weather.xml", "<weather ver=\"2.0\"/>\n");
    std::string port = std::to_string(s->port_);
    std::string conf = std::string(geteuid() == 0 ? "user root;\n" : "") +
                       "daemon off;\nworker_processes 1;\npid " + d + "/nginx.pid;\nerror_log " + d +
                       "/error.log warn;\n"
                       "events { worker_connections 64; }\n"
                       "http {\n"
                       "  access_log " + d + "/access.log;\n"
                       "  client_body_temp_path " + d + "/tmp-body;\n  proxy_temp_path " + d + "/tmp-proxy;\n"
                       "  fastcgi_temp_path " + d + "/tmp-fcgi;\n  uwsgi_temp_path " + d + "/tmp-uwsgi;\n"
                       "  scgi_temp_path " + d + "/tmp-scgi;\n"
                       "  types { text/xml xml; text/plain txt; }\n  default_type text/xml;\n"
                       "  server {\n"
                       "    listen 127.0.0.1:" + port + ";\n"
                       "    root " + d + "/www;\n"
                       "    location /gz/ { gzip_static always; alias " + d + "/www/; }\n"
                       "    location /dyn/ { gzip on; gzip_http_version 1.0; gzip_types text/xml; gzip_min_length 0;"
                       " alias " + d + "/www/; }\n"
                       "    location = /old { return 301 /weather.xml; }\n"
                       "    location = /found { return 302 http://127.0.0.1:" + port + "/weather.xml; }\n"
                       "    location = /loop { return 302 /loop; }\n"
                       "    location /private/ { auth_basic \"skyvane\"; auth_basic_user_file " + d + "/htpasswd; }\n"
                       "  }\n"
                       "}\n";
    s->WriteFile("nginx.conf", conf);
    if (!s->ServerProcess::Start({"nginx", "-p", d, "-c", d + "/nginx.conf"}, error)) return nullptr;
    return s;
}

void NginxServer::AddDocument(const std::string& path, const std::string& content, bool gzipped) const {
    WriteFile("www/" + path, content);
    if (gzipped) WriteFile("www/" + path + ".gz", GzipBytes(content));
}

std::unique_ptr<TinyproxyServer> TinyproxyServer::Start(const std::string& user, const std::string& password,
                                                        std::string* error) {
    for (int attempt = 0; attempt < 3; ++attempt)
        if (auto s = StartOnce(user, password, error)) return s;
    return nullptr;
}

std::unique_ptr<TinyproxyServer> TinyproxyServer::StartOnce(const std::string& user, const std::string& password,
                                                            std::string* error) {
    std::unique_ptr<TinyproxyServer> s(new TinyproxyServer);
    s->port_ = FreePort();
    const std::string& d = s->dir_;
    s->WriteFile("tinyproxy.conf", "Port " + std::to_string(s->port_) +
                                       "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                                       "LogFile \"" + d + "/tinyproxy.log\"\nLogLevel Info\n"
                                       "PidFile \"" + d + "/tinyproxy.pid\"\n"
                                       "BasicAuth " + user + " " + password + "\n"
                                       "Allow 127.0.0.1\nDisableViaHeader Yes\n");
    if (!s->ServerProcess::Start({"tinyproxy", "-d", "-c", d + "/tinyproxy.conf"}, error)) return nullptr;
    return s;
}

std::unique_ptr<FeedSimulator> FeedSimulator::Start(const std::vector<std::string>& args, std::string* error) {
    std::unique_ptr<FeedSimulator> s(new FeedSimulator);
    std::vector<std::string> argv = {"python3", std::string(SKYVANE_SOURCE_DIR) + "/tools/feedsim/feedsim.py",
                                     "--port", "0", "--port-file", s->dir_ + "/port", "--stall-seconds", "20"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!s->ServerProcess::Start(argv, error)) return nullptr;
    return s;
}

}  // namespace skyvane::test
