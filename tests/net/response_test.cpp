// The response reader on recorded bytes, whole and split at random points.
#include <gtest/gtest.h>

#include "net/http_response.h"
#include "net/memory_source.h"

using namespace skyvane::net;
using skyvane::test::MemorySource;

namespace {

ReadResult Read(HttpResponse& r, std::vector<std::string> pieces, ReadOptions options = {}) {
    MemorySource source(std::move(pieces));
    return ReadResponse(r, source, options);
}

std::string BodyOf(const HttpResponse& r) { return std::string(r.Body()); }

const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

}  // namespace

TEST(ReadResponse, InterimHeadsAreSkippedAndBounded) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}),
              ReadResult::Ok);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers.Find(u"X-Interim"), nullptr);
    EXPECT_EQ(r.Head(), "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n");
    EXPECT_EQ(BodyOf(r), "hi");

    // Ten interim heads are read past; the eleventh fails the read instead of
    // holding it for as long as the server keeps sending them.
    std::string interim;
    for (int i = 0; i < 10; ++i) interim += "HTTP/1.1 100 Continue\r\n\r\n";
    ASSERT_EQ(Read(r, {interim + "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "hi");
    EXPECT_EQ(Read(r, {interim + "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}),
              ReadResult::HeadIncomplete);

    // Interim heads count toward the response cap: 3 heads of 25 bytes and a
    // 40-byte answer pass 100 bytes, one head and the answer do not.
    ReadOptions small;
    small.maxResponseBytes = 100;
    const std::string three = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(Read(r, {three + "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}, small), ReadResult::HeadIncomplete);
    EXPECT_EQ(Read(r, {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi"}, small),
              ReadResult::Ok);
}

TEST(ReadResponse, BareLineFeedsEndHeadLines) {
    struct Case {
        const char* bytes;
        const char* head;
        const char* body;
    } cases[] = {
        // The body holds CR LF CR LF; the head ended long before.
        {"HTTP/1.0 200 OK\nX-A: 1\nContent-Length: 12\n\nab\r\n\r\ncdefgh",
         "HTTP/1.0 200 OK\nX-A: 1\nContent-Length: 12\n\n", "ab\r\n\r\ncdefgh"},
        {"HTTP/1.0 200 OK\nX-A: 1\n\n<a>\r\n\r\n</a>", "HTTP/1.0 200 OK\nX-A: 1\n\n", "<a>\r\n\r\n</a>"},
        // Both line ends in one head.
        {"HTTP/1.0 200 OK\r\nX-A: 1\nContent-Length: 3\r\n\nabc", "HTTP/1.0 200 OK\r\nX-A: 1\nContent-Length: 3\r\n\n",
         "abc"},
        {"HTTP/1.0 200 OK\nX-A: 1\r\n\r\nabc", "HTTP/1.0 200 OK\nX-A: 1\r\n\r\n", "abc"},
    };
    for (const Case& c : cases) {
        HttpResponse r;
        ASSERT_EQ(Read(r, {c.bytes}), ReadResult::Ok) << c.bytes;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.Head(), c.head);
        EXPECT_EQ(BodyOf(r), c.body);
        ASSERT_NE(r.headers.Find(u"x-a"), nullptr) << c.bytes;
        EXPECT_EQ(*r.headers.Find(u"x-a"), u"1");
    }
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
    ASSERT_EQ(Read(r, {kChunkedHead + "5\r\nhello\r\n0\r\n\r\n"}), ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "hello");
    EXPECT_EQ(r.bodyLength, 5u);
    EXPECT_TRUE(r.chunked);
    EXPECT_EQ(r.Head(), kChunkedHead);

    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\nA\r\n0123456789\r\n0\r\n"}),
              ReadResult::Ok);  // the final CR LF may be missing
    EXPECT_EQ(BodyOf(r), "abc0123456789");

    EXPECT_EQ(Read(r, {kChunkedHead + "5;ext=1\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "5 \r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "-5\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "\r\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "5\nhello\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "5\r\nhelloX\r\n0\r\n\r\n"}), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "5\r\nhel"}), ReadResult::ChunkedMalformed);  // cut short
}

TEST(ReadResponse, TransferCodingLists) {
    const std::string chunkedBody = "5\r\nhello\r\n0\r\n\r\n";
    struct Case {
        const char* lines;  // the Transfer-Encoding lines of the head
        ReadResult expected;
    } cases[] = {
        {"Transfer-Encoding:  CHUNKED \r\n", ReadResult::Ok},
        {"Transfer-Encoding: identity, chunked\r\n", ReadResult::Ok},  // identity is no coding
        {"Transfer-Encoding: chunked, chunked\r\n", ReadResult::UnsupportedTransferCoding},
        {"Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", ReadResult::UnsupportedTransferCoding},
        {"Transfer-Encoding: gzip, chunked\r\n", ReadResult::UnsupportedTransferCoding},
        {"Transfer-Encoding: chunked, gzip\r\n", ReadResult::UnsupportedTransferCoding},
        {"Transfer-Encoding: gzip\r\n", ReadResult::UnsupportedTransferCoding},
    };
    for (const Case& c : cases) {
        HttpResponse r;
        EXPECT_EQ(Read(r, {std::string("HTTP/1.1 200 OK\r\n") + c.lines + "\r\n" + chunkedBody}), c.expected) << c.lines;
        if (c.expected == ReadResult::Ok) {
            EXPECT_EQ(BodyOf(r), "hello") << c.lines;
        }
    }
    // "identity" alone leaves the body as it is.
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.0 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 3\r\n\r\nabc"}),
              ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "abc");
    EXPECT_FALSE(r.chunked);
}

TEST(ReadResponse, ChunkedTrailers) {
    HttpResponse r;
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n\r\n"
                       "2\r\nok\r\n0\r\nX-Checksum: 42\r\nX-More: yes\n\r\n"}),
              ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "ok");
    ASSERT_NE(r.headers.Find(u"x-checksum"), nullptr);
    EXPECT_EQ(*r.headers.Find(u"x-checksum"), u"42");
    ASSERT_NE(r.headers.Find(u"X-More"), nullptr);
    EXPECT_EQ(*r.headers.Find(u"X-More"), u"yes");  // a bare LF ends a trailer line too

    // An announced trailer that the server leaves empty ends at the blank line.
    ASSERT_EQ(Read(r, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n\r\n"
                       "2\r\nok\r\n0\r\n\r\n"}),
              ReadResult::Ok);
    EXPECT_EQ(BodyOf(r), "ok");
    // Without the announcement trailer lines are not read.
    ASSERT_EQ(Read(r, {kChunkedHead + "2\r\nok\r\n0\r\nX-Late: 1\r\n\r\n"}), ReadResult::Ok);
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
    EXPECT_EQ(Read(r, {kChunkedHead + "12C\r\n" + body + "\r\n0\r\n\r\n"}, small), ReadResult::ChunkedMalformed);
    EXPECT_EQ(Read(r, {kChunkedHead + "FFFFFFFFFFFFFFFFFFFF\r\n"}), ReadResult::ChunkedMalformed);
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

// Whatever the pieces, the reader must decode each response to the same
// values, written out here.
TEST(ReadResponse, RandomSplitsDecodeTheSame) {
    struct Case {
        std::string bytes;
        int32_t status;
        std::string head, body;
        size_t headerCount;
        std::vector<std::u16string> challenges;
    } cases[] = {
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 11\r\nX-A: 1\r\nX-A: 2\r\n\r\nhello world",
         200, "HTTP/1.0 200 OK\r\nContent-Length: 11\r\nX-A: 1\r\nX-A: 2\r\n\r\n", "hello world", 2, {}},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n"
         "4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nT: v\r\n\r\n",
         200, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n", "Wikipedia in\r\n\r\nchunks.", 3,
         {}},
        {"HTTP/1.0 302 Found\r\nLocation: /a/b\r\nWWW-Authenticate: Basic realm=x\r\n\r\nmoved away", 302,
         "HTTP/1.0 302 Found\r\nLocation: /a/b\r\nWWW-Authenticate: Basic realm=x\r\n\r\n", "moved away", 2,
         {u"Basic realm=x"}},
        {"HTTP/1.0 200 OK\nContent-Length: 8\n\n\r\n\r\nbody", 200, "HTTP/1.0 200 OK\nContent-Length: 8\n\n",
         "\r\n\r\nbody", 1, {}},
    };
    for (const Case& c : cases) {
        for (unsigned seed = 0; seed <= 200; ++seed) {
            HttpResponse r;
            MemorySource source = seed == 0 ? MemorySource({c.bytes}) : MemorySource::RandomlySplit(c.bytes, seed);
            ASSERT_EQ(ReadResponse(r, source, {}), ReadResult::Ok) << "seed " << seed << ": " << c.bytes;
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.Head(), c.head) << "seed " << seed;
            EXPECT_EQ(BodyOf(r), c.body) << "seed " << seed;
            EXPECT_EQ(r.buffer.size(), c.head.size() + c.body.size());
            EXPECT_EQ(r.headers.size(), c.headerCount);
            EXPECT_EQ(r.challenges, c.challenges);
        }
    }
}
