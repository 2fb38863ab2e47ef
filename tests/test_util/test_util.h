// Helpers shared by the platform tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace skyvane::test {
// Sets (or, with a null value, clears) an environment variable for one scope;
// with the name alone, only restores it at the end.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name);
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

// Moves the process to another device for one scope (skyvane::SetDeviceRoot),
// and back to the previous device, with SKYVANE_ROOT as it was, at the end.
class ScopedDeviceMove {
public:
    // An empty root: the device the environment names now.
    explicit ScopedDeviceMove(const std::string& root);
    ~ScopedDeviceMove();
    ScopedDeviceMove(const ScopedDeviceMove&) = delete;
    ScopedDeviceMove& operator=(const ScopedDeviceMove&) = delete;

private:
    ScopedEnv environment_{"SKYVANE_ROOT"};  // destroyed last: the variable as it was
    std::string previous_;
};

// A fresh, empty device for the lifetime of the object: the process moves to
// a new temporary folder, which is removed afterwards.
class ScopedDeviceRoot {
public:
    ScopedDeviceRoot() : move_(folder_.path) {}
    ScopedDeviceRoot(const ScopedDeviceRoot&) = delete;
    ScopedDeviceRoot& operator=(const ScopedDeviceRoot&) = delete;
    const std::string& path() const { return folder_.path; }

private:
    // A new temporary folder, removed with everything in it at the end.
    struct Folder {
        Folder();
        ~Folder();
        std::string path;
    };
    Folder folder_;
    ScopedDeviceMove move_;  // destroyed first: the process has left the folder before it goes
};

// Runs check in a child process without root's privileges (as the user
// "nobody"; an ordinary user's child stays that user) and answers what check
// answered there: empty when everything was as expected, else what was not.
// For checks of permissions, which root passes whatever the code does.
std::string RunUnprivileged(const std::function<std::string()>& check);

// True under continuous integration (CI set to anything but "", "0" or
// "false", as .ci/run and most CI services do), where every test must run.
bool InCi();

// The build tree (for programs and libraries the tests start or load).
std::string BuildDir();

// What a program run left: its exit status (-1 when a signal ended it) and
// everything it wrote on standard output and standard error.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs build/bin/<program> with the arguments, `input` on its standard
// input (not a terminal), and waits for it; `folder` holds the files that
// carry the streams.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& folder);
}  // namespace skyvane::test

// For a test that needs what a machine may lack (a locale, a program): skips
// without it, but fails under CI, where tools/setup_debian.sh provides it.
#define SKYVANE_REQUIRE(condition, what)                                      \
    do {                                                                      \
        if (!(condition)) {                                                   \
            if (::skyvane::test::InCi()) FAIL() << "missing under CI: " << what; \
            GTEST_SKIP() << "missing: " << what;                             \
        }                                                                     \
    } while (0)
