// Helpers shared by the platform tests.
#pragma once

#include <string>

namespace skyvane::test {
// A fresh, empty device root for the lifetime of the object: SKYVANE_ROOT
// points at a new temporary folder, which is removed afterwards.
class ScopedDeviceRoot {
public:
    ScopedDeviceRoot();
    ~ScopedDeviceRoot();
    ScopedDeviceRoot(const ScopedDeviceRoot&) = delete;
    ScopedDeviceRoot& operator=(const ScopedDeviceRoot&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Sets (or, with a null value, clears) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

// The build tree (for programs and libraries the tests start or load).
std::string BuildDir();
}  // namespace skyvane::test
