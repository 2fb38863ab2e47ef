// Recorded response bytes handed to the reader in pieces, as a socket would.
#pragma once

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/http_response.h"

namespace skyvane::test {

class MemorySource : public net::ByteSource {
public:
    explicit MemorySource(std::vector<std::string> pieces, bool failAtEnd = false)
        : pieces_(std::move(pieces)), failAtEnd_(failAtEnd) {}
    // The bytes cut at random points (seeded, so a failure can be replayed).
    static MemorySource RandomlySplit(const std::string& bytes, unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<std::string> pieces;
        size_t at = 0;
        while (at < bytes.size()) {
            size_t n = std::uniform_int_distribution<size_t>(1, 40)(rng);
            pieces.push_back(bytes.substr(at, n));
            at += n;
        }
        return MemorySource(std::move(pieces));
    }

    bool Receive(char* buffer, size_t size, size_t* received) override {
        ++receives_;
        *received = 0;
        if (next_ >= pieces_.size()) return !failAtEnd_;
        std::string& piece = pieces_[next_];
        size_t n = std::min(size, piece.size() - offset_);
        std::memcpy(buffer, piece.data() + offset_, n);
        offset_ += n;
        if (offset_ == piece.size()) {
            ++next_;
            offset_ = 0;
        }
        *received = n;
        return true;
    }
    int receives() const { return receives_; }
    bool exhausted() const { return next_ >= pieces_.size(); }

private:
    std::vector<std::string> pieces_;
    bool failAtEnd_;
    size_t next_ = 0;
    size_t offset_ = 0;
    int receives_ = 0;
};

}  // namespace skyvane::test
