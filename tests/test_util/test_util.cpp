#include "test_util/test_util.h"

#include <cstdlib>
#include <filesystem>
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

std::string BuildDir() {
    const char* dir = std::getenv("SKYVANE_BUILD_DIR");
    return dir ? dir : SKYVANE_DEFAULT_BUILD_DIR;
}

}  // namespace skyvane::test
