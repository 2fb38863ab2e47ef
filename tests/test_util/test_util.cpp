#include "test_util/test_util.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/kernel/device_root.h"

namespace skyvane::test {

ScopedEnv::ScopedEnv(const char* name) : name_(name) {
    if (const char* old = std::getenv(name)) {
        old_ = old;
        had_ = true;
    }
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : ScopedEnv(name) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedDeviceMove::ScopedDeviceMove(const std::string& root) : previous_(skyvane::SetDeviceRoot(root)) {}

ScopedDeviceMove::~ScopedDeviceMove() { skyvane::SetDeviceRoot(previous_); }

ScopedDeviceRoot::Folder::Folder() {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path = templ;
}

ScopedDeviceRoot::Folder::~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

namespace {

// In the child: becomes "nobody" when running as root; an empty text, or why not.
std::string DropPrivileges() {
    if (geteuid() != 0) return {};
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) return "there is no user \"nobody\" to run as";
    if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        return std::string("cannot become \"nobody\": ") + std::strerror(errno);
    if (geteuid() == 0) return "still root after setuid";
    return {};
}

}  // namespace

std::string RunUnprivileged(const std::function<std::string()>& check) {
    int fds[2];
    if (pipe(fds) != 0) return std::string("pipe: ") + std::strerror(errno);
    pid_t child = fork();
    if (child < 0) return std::string("fork: ") + std::strerror(errno);
    if (child == 0) {
        close(fds[0]);
        std::string answer = DropPrivileges();
        if (answer.empty()) {
            try {
                answer = check();
            } catch (const std::exception& e) {
                answer = std::string("the check threw: ") + e.what();
            }
        }
        for (size_t done = 0; done < answer.size();) {
            ssize_t n = write(fds[1], answer.data() + done, answer.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        _exit(0);  // no exit handlers: they belong to the parent
    }
    close(fds[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        answer.append(buffer, size_t(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        answer += " (the child process ended abnormally, status " + std::to_string(status) + ")";
    return answer;
}

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

std::string BuildDir() {
    const char* dir = std::getenv("SKYVANE_BUILD_DIR");
    return dir ? dir : SKYVANE_DEFAULT_BUILD_DIR;
}

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& folder) {
    const std::string outPath = folder + "/out.txt", errPath = folder + "/err.txt", inPath = folder + "/in.txt";
    std::ofstream(inPath, std::ios::binary) << input;
    const std::string path = BuildDir() + "/bin/" + program;
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    ProgramRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = ReadWhole(outPath);
    run.err = ReadWhole(errPath);
    return run;
}

}  // namespace skyvane::test
