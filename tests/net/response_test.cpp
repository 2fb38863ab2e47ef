// The response reader on recorded bytes, whole and split at random points.
#include <gtest/gtest.h>

#include "net/memory_source.h"
#include "net/http_response.h"

using namespace skyvane::net;
using skyvane::test::MemorySource;

namespace {

ReadResult Read(HttpResponse& r, std::vector<std::string> pieces, ReadOptions options = {}) {
    MemorySource source(std::move(pieces));
    return ReadResponse(r, source, options);
}

std::string BodyOf(const HttpResponse& r) { return std::string(r.Body()); }

}  // namespace

TEST(ReadResponse, InterimHundredIsSkipped) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}),
              ReadResult::Ok);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers.Find(u"X-Interim"), nullptr);
    EXPECT_EQ(r.Head(), "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n");
    EXPECT_EQ(BodyOf(r), "hi");
}

TEST(ReadResponse, HeaderLinesAreJoinedSkippedAndCollected) {
    HttpResponse r;
    std::string longValue(1024, 'v');
    std::string head = "HTTP/1.0 401 Unauthorized\r\n"
                       "X-Twice: one\r\n"
                       "no colon here\r\n"
                       "x-twice:\t two\r\n"
                       "X-Long: " + longValue + "\r\n"
                       "X-Almost: " + std::string(1023, 'a') + "\r\n"
                       "WWW-Authenticate: Digest realm=\"a\"\r\n"
                       "Proxy-Authenticate: Basic realm=\"p\"\r\n"
                       "www-authenticate: Basic realm=\"w\"\r\n"
                       "Set-Cookie: a=b\r\n"
                       "Content-Length: 0\r\n\r\n";
    ASSERT_EQ(Read(r, {head}), ReadResult::Ok);
    EXPECT_EQ(r.status, 401);
    ASSERT_NE(r.headers.Find(u"X-TWICE"), nullptr);
    EXPECT_EQ(*r.headers.Find(u"X-TWICE"), u"one,two");  // "," without a space
    EXPECT_EQ(r.headers.Find(u"X-Long"), nullptr);       // 1024 bytes is too long
    ASSERT_NE(r.headers.Find(u"X-Almost"), nullptr);
    EXPECT_EQ(r.headers.Find(u"X-Almost")->size(), 1023u);
    ASSERT_NE(r.headers.Find(u"set-cookie"), nullptr);
    EXPECT_EQ(*r.headers.Find(u"www-authenticate"), u"Digest realm=\"a\",Basic realm=\"w\"");
    std::vector<std::u16string> expected = {u"Digest realm=\"a\"", u"Basic realm=\"p\"", u"Basic realm=\"w\""};
    EXPECT_EQ(r.challenges, expected);
    EXPECT_EQ(r.headLength, head.size());
}

TEST(ReadResponse, BadOrUnfinishedHeads) {
    HttpResponse r;
    EXPECT_EQ(Read(r, {"HTTP/1.0 OK\r\n\r\n"}), ReadResult::BadStatusLine);
    EXPECT_EQ(Read(r, {"HTTP/1.0\r\n\r\n"}), ReadResult::BadStatusLine);
    EXPECT_EQ(Read(r, {"HTTP/1.0 99999999999 Big\r\n\r\n"}), ReadResult::BadStatusLine);
    EXPECT_EQ(r.status, -1);
    // The peer closes before the blank line: five empty receives end the read.
    MemorySource source({"HTTP/1.0 200 OK\r\nContent-Length: 1\r\n"});
    EXPECT_EQ(ReadResponse(r, source, {}), ReadResult::HeadIncomplete);
    EXPECT_EQ(source.receives(), 1 + 5);
    MemorySource failing({"HTTP/1.0 200 OK\r\n"}, true);
    EXPECT_EQ(ReadResponse(r, failing, {}), ReadResult::HeadIncomplete);
    EXPECT_EQ(r.readResult, ReadResult::HeadIncomplete);
}

TEST(ReadResponse, BodyByLength) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhel", "lo", "TRAILING"}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "hello");  // bytes past the length are no part of the body
    EXPECT_EQ(r.bodyLength, 5u);
    EXPECT_EQ(r.buffer.size(), r.headLength + 5);

    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nhel", "lo"}), ReadResult::BodyIncomplete);

    // Without a length the body runs to the end of the connection.
    ASSERT_EQ(Read(r, {"HTTP/1.0 200 OK\r\n\r\nsome", " text"}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "some text");
    MemorySource failing({"HTTP/1.0 200 OK\r\n\r\nuntil", " reset"}, true);
    ASSERT_EQ(ReadResponse(r, failing, {}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "until reset");
}

TEST(ReadResponse, ChunkedBodies) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "hello");
    EXPECT_EQ(r.bodyLength, 5u);
    EXPECT_EQ(r.Head(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");

    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\nA\r\n0123456789\r\n0\r\n"}),
              ReadResult::Ok);  // the final CR LF may be missing
    EXPECT_EQ(BodyOf(r), "abc0123456789");

    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_EQ(Read(r, {head + "5;ext=1\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "5 \r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "-5\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "5\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "5\r\nhelloX\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {head + "5\r\nhel"}), ReadResult::ChunkedMalformed);  // cut short
}

TEST(ReadResponse, ChunkedTrailers) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n\r\n"
                       "2\r\nok\r\n0\r\nX-Checksum: 42\r\nX-More: yes\r\n\r\n"}),
              ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "ok");
    ASSERT_NE(r.headers.Find(u"x-checksum"), nullptr);
    EXPECT_EQ(*r.headers.Find(u"x-checksum"), u"42");
    ASSERT_NE(r.headers.Find(u"X-More"), nullptr);

    // An announced trailer that the server leaves empty ends at the blank line.
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n\r\n"
                       "2\r\nok\r\n0\r\n\r\n"}),
              ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "ok");
    // Without the announcement trailer lines are not read.
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\nX-Late: 1\r\n\r\n"}),
              ReadResult::Ok);
    EXPECT_EQ(r.headers.Find(u"X-Late"), nullptr);
}

TEST(ReadResponse, ResponsesBeyondTheCapFail) {
    ReadOptions small;
    small.maxResponseBytes = 200;
    HttpResponse r;
    const std::string body(300, 'b');
    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nContent-Length: 300\r\n\r\n" + body}, small), ReadResult::BodyIncomplete);
    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n"}), ReadResult::BodyIncomplete);
    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\n\r\n" + body}, small), ReadResult::BodyIncomplete);
    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nX: " + body}, small), ReadResult::HeadIncomplete);
    EXPECT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n12C\r\n" + body + "\r\n0\r\n\r\n"}, small),
              ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n"}),
              ReadResult::ChunkedMalformed);
    // Just under the cap is fine.
    ASSERT_EQ(Read(r, {"HTTP/1.0 200 OK\r\n\r\n" + std::string(180, 'b')}, small), ReadResult::Ok);
    EXPECT_EQ(r.bodyLength, 180u);
}

TEST(ReadResponse, ProgressCallbackCanAbort) {
    HttpResponse r;
    std::vector<size_t> counts;
    ReadOptions options;
    options.progress = [&](size_t n) {
        counts.push_back(n);
        return counts.size() < 3;
    };
    EXPECT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\n", "ab", "cd", "ef"}, options),
              ReadResult::BodyIncomplete);
    EXPECT_EQ(counts, (std::vector<size_t>{38, 2, 2}));
    counts.clear();
    EXPECT_EQ(Read(r, {"HTTP/1.0 200", " OK\r\n", "X: 1\r\n", "\r\n"}, options), ReadResult::HeadIncomplete);
}

// Whatever the pieces, the reader must decode the same response.
TEST(ReadResponse, RandomSplitsDecodeTheSame) {
    const std::string responses[] = {
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 11\r\nX-A: 1\r\nX-A: 2\r\n\r\nhello world",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n"
        "4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nT: v\r\n\r\n",
        "HTTP/1.0 302 Found\r\nLocation: /a/b\r\nWWW-Authenticate: Basic realm=x\r\n\r\nmoved away",
    };
    for (const std::string& bytes : responses) {
        HttpResponse whole;
        ASSERT_EQ(Read(whole, {bytes}), ReadResult::Ok) << bytes;
        for (unsigned seed = 1; seed <= 200; ++seed) {
            HttpResponse split;
            MemorySource source = MemorySource::RandomlySplit(bytes, seed);
            ASSERT_EQ(ReadResponse(split, source, {}), ReadResult::Ok) << "seed " << seed;
            EXPECT_EQ(split.status, whole.status);
            EXPECT_EQ(split.buffer, whole.buffer) << "seed " << seed;
            EXPECT_EQ(split.headLength, whole.headLength);
            EXPECT_EQ(split.bodyLength, whole.bodyLength);
            EXPECT_EQ(split.challenges, whole.challenges);
            ASSERT_EQ(split.headers.size(), whole.headers.size());
        }
    }
}
