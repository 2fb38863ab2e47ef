// DownloadXml against the scripted server: the request it makes, the bodies it
// decodes and the messages it leaves in the error object.
#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>

#include "net/device_headers.h"
#include "net/download_xml.h"
#include "platform/oleaut/bstr.h"
#include "platform/com/runtime.h"
#include "platform/com/com_ptr.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"
#include "servers/scripted_server.h"
#include "test_util/test_util.h"

using namespace skyvane::net;
using skyvane::test::FreePort;
using skyvane::test::ScriptedResponse;
using skyvane::test::ScriptedServer;

namespace {

// Any identifiers do for the error object's source in these tests.
const CLSID kSource = {0xF9FCC6F4, 0x43CE, 0x4431, {0x82, 0x34, 0xED, 0x64, 0x89, 0x82, 0x71, 0x3C}};
const IID kIid = {0x8572774D, 0x6C86, 0x4624, {0x98, 0xE4, 0x1B, 0x27, 0x22, 0x79, 0x1C, 0xE8}};

struct Download {
    HRESULT hr = E_UNEXPECTED;
    std::u16string info = u"sentinel";
    DownloadResult result;
    std::u16string description;  // of the error object, "<none>" when there is none
};

Download Fetch(std::u16string_view url, std::u16string_view search = {}, DWORD timeout = 5000) {
    Download d;
    SetErrorInfo(0, nullptr);
    DownloadOptions options;
    options.timeout = timeout;
    d.hr = DownloadXml(url, search, d.info, d.result, kSource, kIid, options);
    skyvane::ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        skyvane::Bstr text;
        error->GetDescription(text.Out());
        d.description = text.Str();
    } else {
        d.description = u"<none>";
    }
    return d;
}

std::u16string Url(const ScriptedServer& server, const char* rest) {
    return u"http://127.0.0.1:" + skyvane::W(std::to_string(server.port())) + skyvane::W(rest);
}

std::string Answer(const std::string& body, const std::string& extraHead = "") {
    return "HTTP/1.0 200 OK\r\n" + extraHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Gzip with every optional header field, as RFC 1952 allows.
std::string Gzip(const std::string& data, bool optionalFields) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
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

const char kDoc[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<weather ver=\"2.0\"><loc id=\"RSXX0091\">"
                    "<dnam>Moscow, Russia</dnam></loc></weather>";
const char16_t kCleanDoc[] = u"<?xml version=\"1.0\" ?>\r\n<weather ver=\"2.0\"><loc id=\"RSXX0091\">"
                             u"<dnam>Moscow, Russia</dnam></loc></weather>";

}  // namespace

class DownloadXmlTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root_;  // an empty registry: direct connections
};

TEST_F(DownloadXmlTest, SendsTheDeviceHeadersAndEscapedSearchText) {
    ScriptedServer server;
    server.Add(Answer("<search ver=\"3.0\"><loc id=\"USNY0996\" type=\"1\">New York, NY</loc></search>"));
    Download d = Fetch(Url(server, "/search/search?where="), u"New York");
    ASSERT_EQ(d.hr, S_OK) << skyvane::ToUtf8(d.description);
    const std::string request = server.Requests().at(0).bytes;
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /search/search?where=New%20York HTTP/1.0");
    const std::string deviceLines = skyvane::ToAnsi(DeviceHeaders());
    EXPECT_NE(request.find("\r\n" + deviceLines + "Host: 127.0.0.1\r\nUser-Agent: Skyvane-Weather/1.00\r\n\r\n"),
              std::string::npos)
        << request;
    EXPECT_NE(request.find("UA-ID: " + skyvane::ToUtf8(skyvane::DeviceId()) + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("UA-Z: 1\r\n"), std::string::npos);
    EXPECT_EQ(d.result.text, u"<search ver=\"3.0\"><loc id=\"USNY0996\" type=\"1\">New York, NY</loc></search>");
}

TEST_F(DownloadXmlTest, SearchTextMustStayShorterThan254Characters) {
    ScriptedServer server;
    server.Add(Answer("<x/>"));
    // 84 blanks escape to 252 characters, 85 to 255.
    Download tooLong = Fetch(Url(server, "/search/search?where="), std::u16string(85, u' '));
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
    server.Add(Answer("\xEF\xBB\xBF\r\n\r\n" + std::string(kDoc) + "<!-- caf\xE9 -->"));
    Download d = Fetch(Url(server, "/weather/local/RSXX0091?cc=*"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.result.text, std::u16string(kCleanDoc) + u"<!-- caf\u00e9 -->");
    EXPECT_FALSE(d.result.chunked);
    const std::string response = Answer("\xEF\xBB\xBF\r\n\r\n" + std::string(kDoc) + "<!-- caf\xE9 -->");
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

TEST_F(DownloadXmlTest, GzipBodiesWithAndWithoutOptionalHeaderFields) {
    for (bool optional : {false, true}) {
        ScriptedServer server;
        const std::string packed = Gzip(kDoc, optional);
        const std::string response = Answer(packed, "Content-Encoding: gzip\r\n");
        server.Add(response);
        Download d = Fetch(Url(server, "/"));
        ASSERT_EQ(d.hr, S_OK);
        EXPECT_EQ(d.result.text, kCleanDoc) << "optional fields " << optional;
        EXPECT_NE(d.info.find(skyvane::W("unpacked=" + std::to_string(response.size() * 10) + " bytes")),
                  std::u16string::npos)
            << skyvane::ToUtf8(d.info);
    }
}

TEST_F(DownloadXmlTest, GzipBufferDoublesAtMostFiveTimes) {
    // Highly compressible text: the first buffers (10x, 20x ... the response) are too small.
    std::string big = "<big>";
    for (int i = 0; i < 20000; ++i) big += "<p v=\"" + std::to_string(i * 7919 % 1000) + "\">partly cloudy</p>\n";
    big += "</big>";
    ScriptedServer server;
    std::string response = Answer(Gzip(big, false), "Content-Encoding: gzip\r\n");
    size_t needed = 10 * response.size();
    int doublings = 0;
    while (needed < big.size()) needed *= 2, ++doublings;
    ASSERT_GE(doublings, 1);
    ASSERT_LE(doublings, 4) << "the test text should fit the fifth buffer";
    server.Add(response);
    Download d = Fetch(Url(server, "/"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.result.text.size(), big.size());
    EXPECT_NE(d.info.find(skyvane::W("unpacked=" + std::to_string(needed) + " bytes")), std::u16string::npos);

    // More than 160 times the response: E_FAIL without a description.
    const std::string bomb(3000000, 'z');
    server.Add(Answer(Gzip(bomb, false), "Content-Encoding: gzip\r\n"));
    Download failed = Fetch(Url(server, "/"));
    EXPECT_EQ(failed.hr, E_FAIL);
    EXPECT_EQ(failed.description, u"<none>");
    EXPECT_EQ(failed.info, u"none");
}

TEST_F(DownloadXmlTest, CorruptGzipGivesAnEmptyText) {
    ScriptedServer server;
    std::string packed = Gzip(kDoc, false);
    server.Add(Answer(packed.substr(0, packed.size() / 2), "Content-Encoding: gzip\r\n"));  // cut short
    server.Add(Answer("not gzip at all", "Content-Encoding: gzip\r\n"));
    for (int i = 0; i < 2; ++i) {
        Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, S_OK);
        EXPECT_EQ(d.result.text, u"");
    }
}

TEST_F(DownloadXmlTest, ChunkedResponsesAreFlagged) {
    ScriptedServer server;
    server.Add("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n<a/>\n\r\n0\r\n\r\n");
    Download d = Fetch(Url(server, "/"));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_TRUE(d.result.chunked);
    EXPECT_EQ(d.result.text, u"<a/>\n");
}

TEST_F(DownloadXmlTest, FailureMessages) {
    {
        Download d = Fetch(u"http://127.0.0.1:" + skyvane::W(std::to_string(FreePort())) + u"/");
        EXPECT_EQ(d.hr, E_FAIL);
        EXPECT_EQ(d.description,
                  u"Weather update failed. No connection could be made because the target machine actively refused it..");
        EXPECT_EQ(d.info, u"none");
    }
    {
        Download d = Fetch(u"http://no-such-host.invalid/");
        EXPECT_EQ(d.description, u"Weather update failed. No such host is known..");
    }
    {
        ScriptedServer server;
        server.Add("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        Download d = Fetch(Url(server, "/"));
        EXPECT_EQ(d.hr, E_FAIL);
        // A failed navigation after a status was read: no socket error, so two blanks.
        EXPECT_EQ(d.description, u"Weather update failed.  .HTTP status=404.");
    }
    {
        ScriptedServer server;
        server.Add("HTTP/1.0 304 Not Modified\r\nContent-Length: 0\r\n\r\n");
        server.Add("HTTP/1.0 302 Found\r\nLocation: /gone\r\nContent-Length: 0\r\n\r\n");
        server.Add("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather server HTTP error 304 ocurred. Please try later.");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather server HTTP error 404 ocurred. Please try later.");
    }
    {
        ScriptedServer server;
        ScriptedResponse cut;
        cut.bytes = Answer(std::string(500, 'x'));
        cut.cutOff = 100;
        server.Add(cut);
        server.Add("garbage\r\n\r\n");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather update failed.  .HTTP status=200.");
        EXPECT_EQ(Fetch(Url(server, "/")).description, u"Weather update failed.  .");
    }
    {
        ScriptedServer server;
        ScriptedResponse stall;
        stall.bytes = Answer("<late/>");
        stall.delayMs = 1200;
        server.Add(stall);
        EXPECT_EQ(Fetch(Url(server, "/"), {}, 300).description, u"Weather update failed.  .");
    }
}
