// Reading one HTTP response from a byte source: the head with its status and
// header lines, then the body by length, to the end of the connection, or in
// chunks with trailers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/header_table.h"

namespace skyvane::net {

// The outcome of the last read.
enum class ReadResult : int {
    Ok = 0,
    BadStatusLine = 2,
    BadHeaderLines = 3,
    HeadIncomplete = 4,
    BodyIncomplete = 5,
    ChunkedMalformed = 6,
    NothingRead = 7,
    UnsupportedTransferCoding = 8,  // a transfer coding other than a lone final "chunked"
};

// Where response bytes come from: a socket, or recorded bytes in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Receives at most size bytes. False when the receive failed; true with
    // *received 0 when nothing arrived (the peer has closed its side).
    virtual bool Receive(char* buffer, size_t size, size_t* received) = 0;
};

// A response as large as this (interim heads, head and body) fails the read,
// so that a hostile server cannot make the client exhaust memory.
constexpr size_t kMaxResponseBytes = 16u << 20;
// More interim ("100") heads than this before the real one fail the read.
constexpr int kMaxInterimHeads = 10;

struct ReadOptions {
    // Receive size for bodies; 0 means 2048. Heads arrive in 2048-byte receives.
    size_t readBlockSize = 4096;
    // Told the byte count of every receive; false aborts the read.
    std::function<bool(size_t)> progress;
    size_t maxResponseBytes = kMaxResponseBytes;
    // The 8-bit code page of header texts; 0 means the device's ANSI code page.
    unsigned codePage = 0;
};

struct HttpResponse {
    std::string buffer;  // the response head followed by the (decoded) body
    HeaderTable headers;
    std::vector<std::u16string> challenges;  // www-authenticate and proxy-authenticate values, in arrival order
    int32_t status = -1;
    size_t headLength = 0;  // status line to the blank line, included
    size_t bodyLength = 0;
    bool chunked = false;  // the body came in chunks
    ReadResult readResult = ReadResult::NothingRead;

    // Empties everything but the challenge list, which lives until an
    // authentication retry.
    void Reset();
    std::string_view Head() const { return std::string_view(buffer).substr(0, headLength); }
    std::string_view Body() const { return std::string_view(buffer).substr(headLength, bodyLength); }
};

// Reads a whole response (skipping interim 100 heads) into response; the result
// is also stored in response.readResult.
ReadResult ReadResponse(HttpResponse& response, ByteSource& source, const ReadOptions& options);

// Reads one header line ("name: value", without its line end) into the table,
// and into the challenge list when it is a challenge. Lines without ":" and
// names or values of 1024 bytes or more are skipped.
void ParseHeaderLine(std::string_view line, HttpResponse& response, unsigned codePage);

// The coding names of a Transfer-Encoding or Content-Encoding value, in the
// order they were applied, trimmed and in lower case; empty items are dropped.
std::vector<std::u16string> SplitCodings(std::u16string_view value);

}  // namespace skyvane::net
