// An owned registry key handle, closed when the owner goes.
#pragma once

#include <utility>

#include "platform/registry/registry.h"

namespace skyvane {

class UniqueHkey {
public:
    UniqueHkey() noexcept = default;
    explicit UniqueHkey(HKEY key) noexcept : key_(key) {}
    UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    UniqueHkey& operator=(UniqueHkey&& other) noexcept {
        if (this != &other) reset(std::exchange(other.key_, nullptr));
        return *this;
    }
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;
    ~UniqueHkey() { reset(); }

    HKEY get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    // For the out-parameter of RegOpenKeyExW/RegCreateKeyExW; closes what was held.
    HKEY* put() noexcept {
        reset();
        return &key_;
    }
    void reset(HKEY key = nullptr) noexcept {
        if (key_) RegCloseKey(key_);
        key_ = key;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace skyvane
