#include "test_util/test_util.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace skyvane::test {

ScopedDeviceRoot::ScopedDeviceRoot() {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
    if (const char* old = std::getenv("SKYVANE_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("SKYVANE_ROOT", path_.c_str(), 1);
}

ScopedDeviceRoot::~ScopedDeviceRoot() {
    if (hadPrevious_)
        setenv("SKYVANE_ROOT", previous_.c_str(), 1);
    else
        unsetenv("SKYVANE_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        old_ = old;
        had_ = true;
    }
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

std::string BuildDir() {
    const char* dir = std::getenv("SKYVANE_BUILD_DIR");
    return dir ? dir : SKYVANE_DEFAULT_BUILD_DIR;
}

}  // namespace skyvane::test
