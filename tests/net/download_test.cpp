// DownloadXml against the scripted server: the request it makes, the bodies it
// decodes and the messages it leaves in the error object.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <random>
#include <regex>

#include "net/fetch.h"
#include "platform/base/wide_string.h"
#include "platform/kernel/nls/text_conv.h"
#include "servers/scripted_server.h"
#include "test_util/test_util.h"

using namespace skyvane::net;
using skyvane::test::Fetch;
using skyvane::test::FreePort;
using skyvane::test::ScopedEnv;
using skyvane::test::ScriptedResponse;
using skyvane::test::ScriptedServer;

namespace {

std::u16string Url(const ScriptedServer& server, const char* rest) {
    return skyvane::test::LoopbackUrl(server.port(), rest);
}

std::string Answer(const std::string& body, const std::string& extraHead = "") {
    return "HTTP/1.0 200 OK\r\n" + extraHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Deflates with zlib's own framing choice: windowBits 15 zlib-wrapped, -15
// raw, 31 gzip (with every optional header field when optionalFields is set,
// as RFC 1952 allows).
std::string Pack(const std::string& data, int windowBits, bool optionalFields = false, int level = 9) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    static char name[] = "weather.xml";
    static char comment[] = "made by a test";
    static unsigned char extra[] = {'S', 'K', 2, 0, 'o', 'k'};
    if (optionalFields) {
        header.name = reinterpret_cast<Bytef*>(name);
        header.comment = reinterpret_cast<Bytef*>(comment);
        header.extra = extra;
        header.extra_len = sizeof(extra);
        header.hcrc = 1;
        deflateSetHeader(&z, &header);
    }
    std::string out(deflateBound(&z, data.size()) + 128, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = data.size();
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = out.size();
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
constexpr int kZlib = 15, kRaw = -15, kGzip = 31;

const std::string kDoc = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<weather ver=\"2.0\"><loc id=\"RSXX0091\">"
                         "<dnam>Moscow, Russia</dnam></loc></weather>";
const char16_t kCleanDoc[] = u"<?xml version=\"1.0\" ?>\r\n<weather ver=\"2.0\"><loc id=\"RSXX0091\">"
                             u"<dnam>Moscow, Russia</dnam></loc></weather>";

}  // namespace

class DownloadXmlTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root_;  // an empty registry: direct connections, the default screen
};

TEST_F(DownloadXmlTest, SendsTheDeviceHeadersAndEscapedSearchText) {
    const std::string idFile = root_.path() + "/machine-id";
    std::ofstream(idFile) << "0123456789abcdef0123456789abcdef\n";
    ScopedEnv machine("SKYVANE_MACHINE_ID_FILE", idFile.c_str());
    ScriptedServer server;
    server.Add(Answer("<search ver=\"3.0\"><loc id=\"USNY0996\" type=\"1\">New York, NY</loc></search>"));
    server.Add(Answer("<search/>"));
    {
        ScopedEnv zone("TZ", "EST5EDT,M3.2.0,M11.1.0");
        skyvane::test::Download d = Fetch(Url(server, "/search/search?where="), u"New York");
        ASSERT_EQ(d.hr, S_OK) << skyvane::ToUtf8(d.description);
        EXPECT_EQ(d.result.text, u"<search ver=\"3.0\"><loc id=\"USNY0996\" type=\"1\">New York, NY</loc></search>");
    }
    {
        ScopedEnv zone("TZ", "UTC0");  // a zone without daylight rules reads as unknown: no UA-TZ line
        ASSERT_EQ(Fetch(Url(server, "/search/search?where="), u"x").hr, S_OK);
    }
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    // The processor line names the machine the tests run on.
    const std::regex cpuLine(R"(UA-CPU: (INTEL|MIPS|SHX|ARM|unk)-/type-\d+\.\d+\.\d+\r\n)");
    for (std::string& request : {std::ref(requests[0].bytes), std::ref(requests[1].bytes)}) {
        const size_t at = request.find("UA-CPU: ");
        ASSERT_NE(at, std::string::npos) << request;
        const size_t end = request.find("\r\n", at) + 2;
        EXPECT_TRUE(std::regex_match(request.substr(at, end - at), cpuLine)) << request.substr(at, end - at);
        request.erase(at, end - at);
    }
    // The identifier: the first 16 bytes of SHA-256 of "Skyvane device identifier\n" and the machine id.
    EXPECT_EQ(requests[0].bytes, "GET /search/search?where=New%20York HTTP/1.0\r\n"
                                 "UA-OS: CE/5.2-21234/\r\n"
                                 "UA-DISP: 240-320\r\n"
                                 "UA-TZ: 300\r\n"
                                 "UA-ID: 5A8CDADDCC7B696720EE7F6046CC45C1\r\n"
                                 "UA-Z: 1\r\n"
                                 "Host: 127.0.0.1\r\n"
                                 "User-Agent: Skyvane-Weather/1.00\r\n\r\n");
    EXPECT_EQ(requests[1].bytes, "GET /search/search?where=x HTTP/1.0\r\n"
                                 "UA-OS: CE/5.2-21234/\r\n"
                                 "UA-DISP: 240-320\r\n"
                                 "UA-ID: 5A8CDADDCC7B696720EE7F6046CC45C1\r\n"
                                 "UA-Z: 1\r\n"
                                 "Host: 127.0.0.1\r\n"
                                 "User-Agent: Skyvane-Weather/1.00\r\n\r\n");
}

TEST_F(DownloadXmlTest, SearchTextMustStayShorterThan254Characters) {
    ScriptedServer server;
    server.Add(Answer("<x/>"));
    // 84 blanks escape to 252 characters, 85 to 255.
    skyvane::test::Download tooLong = Fetch(Url(server, "/search/search?where="), std::u16string(85, u' '));
    EXPECT_EQ(tooLong.hr, E_INVALIDARG);
    EXPECT_EQ(tooLong.info, u"none");
    EXPECT_EQ(server.Requests().size(), 0u);  // no request at all
    EXPECT_EQ(Fetch(Url(server, "/search/search?where="), std::u16string(253, u'a')).hr, S_OK);
    EXPECT_EQ(Fetch(Url(server, "/search/search?where="), std::u16string(254, u'a')).hr, E_INVALIDARG);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(DownloadXmlTest, PlainBodyIsCleanedAndConverted) {
    ScriptedServer server;
    // A byte-order mark and blank lines before the declaration; 0xE9 is e-acute in code page 1252.
    const std::string response = Answer("\xEF\xBB\xBF\r\n\r\n" + kDoc + "<!-- caf\xE9 -->");
    server.Add(response);
    skyvane::test::Download d = Fetch(Url(server, "/weather/local/RSXX0091?cc=*"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.result.text, std::u16string(kCleanDoc) + u"<!-- caf\u00e9 -->");
    EXPECT_FALSE(d.result.chunked);
    std::smatch m;
    std::string info = skyvane::ToUtf8(d.info);
    ASSERT_TRUE(std::regex_match(info, m, std::regex(R"(time=(\d+) ms, download size=(\d+) bytes unpacked=(\d+) bytes)")))
        << info;
    EXPECT_EQ(std::stoul(m[2]), response.size());
    EXPECT_EQ(std::stoul(m[3]), response.size());

    // The text ends at the first NUL byte.
    server.Add(Answer(std::string("<a/>\0<b/>", 9)));
    EXPECT_EQ(Fetch(Url(server, "/")).result.text, u"<a/>");
}

TEST_F(DownloadXmlTest, ContentCodings) {
    const std::string half1 = kDoc.substr(0, 50), half2 = kDoc.substr(50);
    struct Case {
        const char* coding;
        std::string body;
    } cases[] = {
        {"gzip", Pack(kDoc, kGzip)},
        {"gzip", Pack(kDoc, kGzip, true)},                      // optional header fields
        {"x-gzip", Pack(kDoc, kGzip)},
        {"GZip", Pack(kDoc, kGzip)},                            // names compare without case
        {"gzip", Pack(half1, kGzip) + Pack(half2, kGzip)},      // two members
        {"deflate", Pack(kDoc, kZlib)},
        {"deflate", Pack(kDoc, kRaw)},                          // as some servers send it
        {"identity", kDoc},
        {"deflate, gzip", Pack(Pack(kDoc, kZlib), kGzip)},      // undone from the last
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        const std::string response = Answer(c.body, std::string("Content-Encoding: ") + c.coding + "\r\n");
        server.Add(response);
        skyvane::test::Download d = Fetch(Url(server, "/"));
        ASSERT_EQ(d.hr, S_OK) << c.coding << ": " << skyvane::ToUtf8(d.description);
        EXPECT_EQ(d.result.text, kCleanDoc) << c.coding;
    }
    // The first inflate buffer is ten times the response, and the statistics say so.
    ScriptedServer server;
    const std::string response = Answer(Pack(kDoc, kGzip), "Content-Encoding: gzip\r\n");
    server.Add(response);
    skyvane::test::Download d = Fetch(Url(server, "/"));
    EXPECT_NE(d.info.find(skyvane::W("unpacked=" + std::to_string(response.size() * 10) + " bytes")),
              std::u16string::npos)
        << skyvane::ToUtf8(d.info);

    // Codings the client cannot undo fail with a description instead of handing out packed bytes.
    for (const char* coding : {"br", "gzip, compress"}) {
        ScriptedServer server;
        server.Add(Answer(Pack(kDoc, kGzip), std::string("Content-Encoding: ") + coding + "\r\n"));
        skyvane::test::Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, E_FAIL) << coding;
        EXPECT_EQ(d.description, u"Weather update failed. The server sent the document in the content coding \"" +
                                     skyvane::W(coding) + u"\", which cannot be unpacked.");
        EXPECT_EQ(d.info, u"none");
    }
}

TEST_F(DownloadXmlTest, InflatedSizeLimits) {
    // Highly compressible text: the first buffers (10x, 20x ... the response) are too small.
    std::string big = "<big>";
    for (int i = 0; i < 20000; ++i) big += "<p v=\"" + std::to_string(i * 7919 % 1000) + "\">partly cloudy</p>\n";
    big += "</big>";
    ScriptedServer server;
    std::string response = Answer(Pack(big, kGzip), "Content-Encoding: gzip\r\n");
    size_t needed = 10 * response.size();
    int doublings = 0;
    while (needed < big.size()) needed *= 2, ++doublings;
    ASSERT_GE(doublings, 1);
    ASSERT_LE(doublings, 4) << "the test text should fit the fifth buffer";
    server.Add(response);
    skyvane::test::Download d = Fetch(Url(server, "/"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.result.text.size(), big.size());
    EXPECT_NE(d.info.find(skyvane::W("unpacked=" + std::to_string(needed) + " bytes")), std::u16string::npos);

    // More than 160 times the response: E_FAIL without a description.
    server.Add(Answer(Pack(std::string(3000000, 'z'), kGzip), "Content-Encoding: gzip\r\n"));
    skyvane::test::Download failed = Fetch(Url(server, "/"));
    EXPECT_EQ(failed.hr, E_FAIL);
    EXPECT_EQ(failed.description, u"<none>");
    EXPECT_EQ(failed.info, u"none");

    // Within 160 times the response but beyond 64 MiB: E_FAIL that says so. Runs
    // of 100 to 300 letters pack about 60 to 1.
    std::mt19937 rng(7);
    std::string runs;
    runs.reserve(65u << 20);
    while (runs.size() <= (64u << 20)) runs.append(100 + rng() % 201, char('a' + rng() % 26));
    const std::string packed = Pack(runs, kGzip, false, 1);
    ASSERT_GT(packed.size() * 160, runs.size());
    server.Add(Answer(packed, "Content-Encoding: gzip\r\n"));
    skyvane::test::Download huge = Fetch(Url(server, "/"));
    EXPECT_EQ(huge.hr, E_FAIL);
    EXPECT_EQ(huge.description, u"Weather update failed. The unpacked document is larger than 64 MiB.");
}

TEST_F(DownloadXmlTest, CorruptGzipGivesAnEmptyText) {
    ScriptedServer server;
    std::string packed = Pack(kDoc, kGzip);
    server.Add(Answer(packed.substr(0, packed.size() / 2), "Content-Encoding: gzip\r\n"));  // cut short
    server.Add(Answer("not gzip at all", "Content-Encoding: gzip\r\n"));
    for (int i = 0; i < 2; ++i) {
        skyvane::test::Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, S_OK);
        EXPECT_EQ(d.result.text, u"");
    }
}

TEST_F(DownloadXmlTest, ChunkedResponsesAreFlagged) {
    ScriptedServer server;
    server.Add("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n<a/>\n\r\n0\r\n\r\n");
    skyvane::test::Download d = Fetch(Url(server, "/"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_TRUE(d.result.chunked);
    EXPECT_EQ(d.result.text, u"<a/>\n");
}

TEST_F(DownloadXmlTest, FailureMessages) {
    {
        skyvane::test::Download d = Fetch(skyvane::test::LoopbackUrl(FreePort(), "/"));
        EXPECT_EQ(d.hr, E_FAIL);
        EXPECT_EQ(d.description,
                  u"Weather update failed. No connection could be made because the target machine actively refused it..");
        EXPECT_EQ(d.info, u"none");
    }
    {
        skyvane::test::Download d = Fetch(u"http://no-such-host.invalid/");
        EXPECT_EQ(d.description, u"Weather update failed. No such host is known..");
    }
    {
        ScriptedServer server;
        server.Add("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        skyvane::test::Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, E_FAIL);
        // A failed navigation after a status was read: no socket error, so two blanks.
        EXPECT_EQ(d.description, u"Weather update failed.  .HTTP status=404.");
    }
    {
        ScriptedServer server;
        server.Add("HTTP/1.0 304 Not Modified\r\nContent-Length: 0\r\n\r\n");
        server.Add("HTTP/1.0 302 Found\r\nLocation: /gone\r\nContent-Length: 0\r\n\r\n");
        server.Add("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        server.Add("garbage\r\n\r\n");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather server HTTP error 304 ocurred. Please try later.");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather server HTTP error 404 ocurred. Please try later.");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather update failed.  .");
    }
    {
        // A transfer coding that cannot be read is named.
        ScriptedServer server;
        server.Add("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n");
        skyvane::test::Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, E_FAIL);
        EXPECT_EQ(d.description, u"Weather update failed. The server sent the transfer coding \"gzip, chunked\", "
                                 u"which cannot be read.HTTP status=200.");
    }
}
