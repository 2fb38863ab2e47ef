#include "net/http_response.h"

#include <algorithm>
#include <optional>

#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace skyvane::net {
namespace {

constexpr size_t kHeadReceiveSize = 2048;
constexpr size_t kMaxHeaderField = 1024;
constexpr int kHeadEmptyReceives = 5;
constexpr int kLengthEmptyReceives = 5;
constexpr int kUnknownLengthEmptyReceives = 6;
constexpr size_t kLargeChunkReceive = 64u << 10;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Lines of a head end in LF; a CR before it belongs to the line end. A bare
// LF is a line end too, as recipients may accept (RFC 9112, 2.2).
std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The end of the head that starts the data: the offset just past its first
// empty line. *lineStart is where the search resumes once more data came.
size_t FindHeadEnd(std::string_view data, size_t* lineStart) {
    for (size_t at = *lineStart;;) {
        const size_t lf = data.find('\n', at);
        if (lf == std::string_view::npos) {
            *lineStart = at;
            return std::string_view::npos;
        }
        if (WithoutCr(data.substr(at, lf - at)).empty()) return lf + 1;
        at = lf + 1;
    }
}

// Calls f with each line of text, without its line end.
template <class F>
void ForEachLine(std::string_view text, F f) {
    for (size_t at = 0; at < text.size();) {
        size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos) lf = text.size();
        f(WithoutCr(text.substr(at, lf - at)));
        at = lf + 1;
    }
}

enum class Received { Ok, Failed, Aborted };

// Appends one receive of at most size bytes to out; *received tells how many
// bytes came. Aborted when the progress callback stops the read.
Received ReceiveInto(ByteSource& source, std::string& out, size_t size, const ReadOptions& options,
                     size_t* received) {
    size_t old = out.size();
    out.resize(old + size);
    size_t n = 0;
    bool ok = source.Receive(out.data() + old, size, &n);
    n = ok ? std::min(n, size) : 0;
    out.resize(old + n);
    *received = n;
    if (!ok) return Received::Failed;
    if (options.progress && !options.progress(n)) return Received::Aborted;
    return Received::Ok;
}

// "HTTP/1.0 200 OK": skip the first word and the white space after it; a
// decimal number must follow.
std::optional<int32_t> ParseStatusLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return std::nullopt;
    int64_t status = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        status = status * 10 + (line[i] - '0');
        if (status > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(status);
}

// A Content-Length value: leading decimal digits. A value that does not
// start with a digit is treated like an absent header.
std::optional<uint64_t> ParseLength(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > (uint64_t(1) << 40)) break;  // far beyond any response we accept
    }
    return value;
}

ReadResult ReadBodyByLength(HttpResponse& r, ByteSource& source, const ReadOptions& options) {
    size_t block = options.readBlockSize ? options.readBlockSize : 2048;
    const size_t cap = options.maxResponseBytes;
    std::optional<uint64_t> length;
    if (const std::u16string* value = r.headers.Find(u"Content-Length")) length = ParseLength(*value);

    if (length) {
        if (*length > cap || r.headLength + *length > cap) return ReadResult::BodyIncomplete;
        const size_t want = r.headLength + static_cast<size_t>(*length);
        int empty = 0;
        while (r.buffer.size() < want) {
            size_t n = 0;
            if (ReceiveInto(source, r.buffer, std::min(block, want - r.buffer.size()), options, &n) != Received::Ok)
                return ReadResult::BodyIncomplete;
            if (n == 0) {
                if (++empty == kLengthEmptyReceives) return ReadResult::BodyIncomplete;
            } else {
                empty = 0;
            }
        }
        // Bytes past the announced length belong to no body.
        r.buffer.resize(want);
    } else {
        int empty = 0;
        for (;;) {
            size_t n = 0;
            // One byte beyond the cap is enough to know the response is too large.
            size_t room = cap + 1 - std::min(cap + 1, r.buffer.size());
            Received got = ReceiveInto(source, r.buffer, std::min(block, room), options, &n);
            if (got == Received::Aborted) return ReadResult::BodyIncomplete;
            if (got == Received::Failed) break;  // the end of the connection ends the body
            if (r.buffer.size() > cap) return ReadResult::BodyIncomplete;
            if (n == 0) {
                if (++empty == kUnknownLengthEmptyReceives) break;
            } else {
                empty = 0;
            }
        }
    }
    r.bodyLength = r.buffer.size() - r.headLength;
    return ReadResult::Ok;
}

// Decodes a chunked body: the bytes after the head and whatever more arrives.
class ChunkDecoder {
public:
    ChunkDecoder(HttpResponse& r, ByteSource& source, const ReadOptions& options)
        : r_(r), source_(source), options_(options) {
        pending_.assign(r.buffer, r.headLength, std::string::npos);
        decoded_.assign(r.buffer, 0, r.headLength);
        receiveSize_ = std::max<size_t>(2048, options.readBlockSize);
    }

    ReadResult Run() {
        for (;;) {
            std::optional<uint64_t> size = SizeLine();
            if (!size) return ReadResult::ChunkedMalformed;
            if (*size == 0) break;
            if (decoded_.size() + *size > options_.maxResponseBytes) return ReadResult::ChunkedMalformed;
            if (!Need(*size + 2)) return ReadResult::ChunkedMalformed;
            decoded_.append(pending_, pos_, *size);
            pos_ += *size;
            bodyLength_ += *size;
            if (pending_.compare(pos_, 2, "\r\n") != 0) return ReadResult::ChunkedMalformed;
            pos_ += 2;
            Compact();
        }
        if (!Trailer()) return ReadResult::ChunkedMalformed;
        r_.buffer = std::move(decoded_);
        r_.bodyLength = bodyLength_;
        return ReadResult::Ok;
    }

private:
    size_t Available() const { return pending_.size() - pos_; }

    bool ReceiveMore() {
        size_t n = 0;
        if (pending_.size() > options_.maxResponseBytes + receiveSize_) return false;
        if (ReceiveInto(source_, pending_, receiveSize_, options_, &n) != Received::Ok) return false;
        return n > 0;  // a receive of no bytes ends a chunked body too early
    }

    bool Need(uint64_t count) {
        while (Available() < count) {
            // A large chunk is received in larger pieces, up to 64 KiB at a time.
            if (count > receiveSize_) receiveSize_ = std::min<uint64_t>(count, kLargeChunkReceive);
            if (!ReceiveMore()) return false;
        }
        return true;
    }

    void Compact() {
        if (pos_ > 65536 && pos_ * 2 > pending_.size()) {
            pending_.erase(0, pos_);
            pos_ = 0;
        }
    }

    // A hexadecimal size immediately followed by CR LF; extensions, blanks and
    // signs make the body malformed.
    std::optional<uint64_t> SizeLine() {
        uint64_t size = 0;
        size_t digits = 0;
        for (;;) {
            if (!Need(1)) return std::nullopt;
            char c = pending_[pos_];
            int v = (c >= '0' && c <= '9') ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (v < 0) break;
            size = size * 16 + v;
            if (size > options_.maxResponseBytes) return std::nullopt;
            ++digits;
            ++pos_;
        }
        if (digits == 0) return std::nullopt;
        if (!Need(2) || pending_.compare(pos_, 2, "\r\n") != 0) return std::nullopt;
        pos_ += 2;
        return size;
    }

    // After the last chunk: the final CR LF, or the trailer lines (ending in
    // LF like head lines) when the head announced a trailer. A CR LF right
    // after the last chunk is an empty trailer section in either case.
    bool Trailer() {
        if (Available() < 2) {
            size_t n = 0;
            if (ReceiveInto(source_, pending_, receiveSize_, options_, &n) == Received::Aborted) return false;
        }
        if (pending_.compare(pos_, 2, "\r\n") == 0) {
            pos_ += 2;
            return true;
        }
        if (!r_.headers.Find(u"Trailer")) return true;
        for (;;) {
            size_t lf;
            while ((lf = pending_.find('\n', pos_)) == std::string::npos) {
                if (Available() > options_.maxResponseBytes || !ReceiveMore()) return false;
            }
            std::string_view line = WithoutCr(std::string_view(pending_).substr(pos_, lf - pos_));
            pos_ = lf + 1;
            if (line.empty()) return true;
            ParseHeaderLine(line, r_, options_.codePage);
        }
    }

    HttpResponse& r_;
    ByteSource& source_;
    const ReadOptions& options_;
    std::string pending_;  // undecoded bytes
    size_t pos_ = 0;
    std::string decoded_;  // the head, then the decoded body
    size_t bodyLength_ = 0;
    size_t receiveSize_;
};

// The transfer codings of the response, of which only a lone "chunked" can be
// undone here; "identity", which older servers name, is no coding at all.
enum class Framing { Plain, Chunked, Unsupported };

Framing FramingOf(const HttpResponse& r) {
    const std::u16string* value = r.headers.Find(u"Transfer-Encoding");
    if (!value) return Framing::Plain;
    std::vector<std::u16string> codings = SplitCodings(*value);
    std::erase(codings, u"identity");
    if (codings.empty()) return Framing::Plain;
    return codings.size() == 1 && codings[0] == u"chunked" ? Framing::Chunked : Framing::Unsupported;
}

ReadResult ReadHeadAndBody(HttpResponse& r, ByteSource& source, const ReadOptions& options) {
    r.buffer.clear();
    r.chunked = false;
    // Interim heads are read and dropped, but they count toward the cap.
    size_t interimBytes = 0;
    int interimHeads = 0;
    for (;;) {
        r.headers.Clear();
        r.status = -1;
        r.headLength = 0;
        r.bodyLength = 0;

        size_t lineStart = 0;
        size_t headLength;
        int empty = 0;
        while ((headLength = FindHeadEnd(r.buffer, &lineStart)) == std::string::npos) {
            const size_t used = interimBytes + r.buffer.size();
            if (used >= options.maxResponseBytes) return ReadResult::HeadIncomplete;
            size_t n = 0;
            const size_t room = std::min(kHeadReceiveSize, options.maxResponseBytes - used);
            if (ReceiveInto(source, r.buffer, room, options, &n) != Received::Ok) return ReadResult::HeadIncomplete;
            if (n == 0) {
                if (++empty == kHeadEmptyReceives) return ReadResult::HeadIncomplete;
            } else {
                empty = 0;
            }
        }
        const std::string_view head(r.buffer.data(), headLength);
        bool statusLine = true;
        std::optional<int32_t> status;
        ForEachLine(head, [&](std::string_view line) {
            if (statusLine) {
                status = ParseStatusLine(line);
                statusLine = false;
            } else if (status && *status != 100 && !line.empty()) {
                ParseHeaderLine(line, r, options.codePage);
            }
        });
        if (!status) return ReadResult::BadStatusLine;
        r.status = *status;
        if (r.status == 100) {
            // An interim answer: the real head follows in the same stream.
            if (++interimHeads > kMaxInterimHeads) return ReadResult::HeadIncomplete;
            interimBytes += headLength;
            r.buffer.erase(0, headLength);
            continue;
        }
        r.headLength = headLength;
        break;
    }

    ReadOptions rest = options;
    rest.maxResponseBytes -= interimBytes;
    switch (FramingOf(r)) {
        case Framing::Chunked: r.chunked = true; return ChunkDecoder(r, source, rest).Run();
        case Framing::Unsupported: return ReadResult::UnsupportedTransferCoding;
        case Framing::Plain: break;
    }
    return ReadBodyByLength(r, source, rest);
}

}  // namespace

void HttpResponse::Reset() {
    buffer.clear();
    headers.Clear();
    status = -1;
    headLength = 0;
    bodyLength = 0;
    chunked = false;
    readResult = ReadResult::NothingRead;
}

void ParseHeaderLine(std::string_view line, HttpResponse& response, unsigned codePage) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view name = line.substr(0, colon);
    size_t start = colon + 1;
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::string_view value = line.substr(start);
    if (name.size() >= kMaxHeaderField || value.size() >= kMaxHeaderField) return;
    std::u16string wideName = FromAnsi(name, codePage);
    std::u16string wideValue = FromAnsi(value, codePage);
    if (EqualsNoCase(wideName, u"www-authenticate") || EqualsNoCase(wideName, u"proxy-authenticate"))
        response.challenges.push_back(wideValue);
    response.headers.Add(wideName, wideValue);
}

std::vector<std::u16string> SplitCodings(std::u16string_view value) {
    std::vector<std::u16string> codings;
    for (size_t at = 0; at <= value.size();) {
        size_t comma = value.find(u',', at);
        if (comma == std::u16string_view::npos) comma = value.size();
        std::u16string_view item = value.substr(at, comma - at);
        while (!item.empty() && (item.front() == u' ' || item.front() == u'\t')) item.remove_prefix(1);
        while (!item.empty() && (item.back() == u' ' || item.back() == u'\t')) item.remove_suffix(1);
        if (!item.empty()) codings.push_back(ToLower(item));
        at = comma + 1;
    }
    return codings;
}

ReadResult ReadResponse(HttpResponse& response, ByteSource& source, const ReadOptions& options) {
    if (options.codePage == 0) {
        // The code page is looked up once for the whole response.
        ReadOptions resolved = options;
        resolved.codePage = GetACP();
        response.readResult = ReadHeadAndBody(response, source, resolved);
        return response.readResult;
    }
    response.readResult = ReadHeadAndBody(response, source, options);
    return response.readResult;
}

}  // namespace skyvane::net
