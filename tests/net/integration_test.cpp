// The client and the download against real servers on loopback: nginx,
// tinyproxy with Basic authentication, and the feed simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "net/basic_auth.h"
#include "net/document_body.h"
#include "net/fetch.h"
#include "net/http_client.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"
#include "servers/processes.h"
#include "test_util/test_util.h"

using namespace skyvane::net;
using skyvane::test::Download;
using skyvane::test::FeedSimulator;
using skyvane::test::Fetch;
using skyvane::test::LoopbackUrl;
using skyvane::test::NginxServer;
using skyvane::test::TinyproxyServer;

namespace {


std::string ReadTestDocument(const char* name) {
    std::ifstream in(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Records the challenges it is given and lets Basic answer them.
class RecordingAuthenticator : public Authenticator {
public:
    RecordingAuthenticator(std::u16string user, std::u16string password, std::vector<bool>* proxyFlags)
        : basic_(1, std::move(user), std::move(password)), proxyFlags_(proxyFlags) {}
    NavigateResult Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) override {
        proxyFlags_->push_back(proxy);
        return basic_.Authenticate(client, challenge, proxy);
    }

private:
    BasicAuthenticator basic_;
    std::vector<bool>* proxyFlags_;
};

}  // namespace

class NginxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        nginx_ = NginxServer::Start(&error).release();
        if (!nginx_) startError_ = error;
    }
    static void TearDownTestSuite() {
        delete nginx_;
        nginx_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nginx_, nullptr) << "nginx could not be started (the test needs the nginx package): "
                                   << startError_;
    }
    static NginxServer* nginx_;
    static std::string startError_;
    skyvane::test::ScopedDeviceRoot root_;
};
NginxServer* NginxTest::nginx_ = nullptr;
std::string NginxTest::startError_;

TEST_F(NginxTest, PlainAndPrecompressedDocuments) {
    const std::string moscow = ReadTestDocument("weather_moscow.xml");
    ASSERT_GT(moscow.size(), 10000u);
    std::string big = "<big>";
    while (big.size() < (3u << 20)) big += "<hour h=\"" + std::to_string(big.size()) + "\">partly cloudy</hour>\n";
    big += "</big>";
    nginx_->AddDocument("moscow.xml", moscow, true);
    nginx_->AddDocument("big.xml", big, true);
    for (const auto& [name, text] : {std::pair<std::string, std::string>{"moscow.xml", moscow}, {"big.xml", big}}) {
        Download plain = Fetch(LoopbackUrl(nginx_->port(), "/" + name));
        ASSERT_EQ(plain.hr, S_OK) << name << ": " << skyvane::ToUtf8(plain.description);
        EXPECT_EQ(plain.result.text, skyvane::FromAnsi(text)) << name;
        // nginx sends the .gz file with "Content-Encoding: gzip" to a client that did not ask for it.
        Download packed = Fetch(LoopbackUrl(nginx_->port(), "/gz/" + name));
        ASSERT_EQ(packed.hr, S_OK) << name << ": " << skyvane::ToUtf8(packed.description);
        EXPECT_EQ(packed.result.text, plain.result.text) << name;
        EXPECT_FALSE(packed.result.chunked);
    }
}

TEST_F(NginxTest, GzipOnTheFlyForAnHttp10Client) {
    std::string text = "<weather>";
    for (int i = 0; i < 2000; ++i) text += "<p>" + std::to_string(i) + "</p>";
    text += "</weather>";
    nginx_->AddDocument("dyn.xml", text);
    HttpClient client;
    NavigateRequest request;
    request.extraHeaders = u"Accept-Encoding: gzip\r\n";
    ASSERT_TRUE(client.Navigate(LoopbackUrl(nginx_->port(), "/dyn/dyn.xml"), &request).ok());
    ASSERT_NE(client.GetHeader(u"content-encoding"), nullptr);
    EXPECT_EQ(*client.GetHeader(u"content-encoding"), u"gzip");
    EXPECT_LT(client.Response().bodyLength, text.size() / 2);
    DocumentResult document = DecodeDocument(client.Response());
    ASSERT_EQ(document.failure, DocumentFailure::None);
    EXPECT_EQ(document.text, skyvane::W(text));
    EXPECT_FALSE(client.SocketOpen());  // nginx closes HTTP/1.0 connections
}

TEST_F(NginxTest, Redirects) {
    Download moved = Fetch(LoopbackUrl(nginx_->port(), "/old"));
    ASSERT_EQ(moved.hr, S_OK) << skyvane::ToUtf8(moved.description);
    EXPECT_EQ(moved.result.text, u"<weather ver=\"2.0\"/>\n");
    Download found = Fetch(LoopbackUrl(nginx_->port(), "/found"));
    ASSERT_EQ(found.hr, S_OK) << skyvane::ToUtf8(found.description);
    EXPECT_EQ(found.result.text, u"<weather ver=\"2.0\"/>\n");
}

TEST_F(NginxTest, BasicAuthentication) {
    nginx_->AddDocument("private/doc.xml", "<private/>");
    // A direct download registers no authenticator: the 401 stays unanswered.
    Download refused = Fetch(LoopbackUrl(nginx_->port(), "/private/doc.xml"));
    EXPECT_EQ(refused.description, u"Weather update failed.  .HTTP status=401.");

    std::vector<bool> proxyFlags;
    HttpClient client;
    client.AddAuthenticator(u"basic", std::make_unique<RecordingAuthenticator>(u"skyvane", u"weather", &proxyFlags));
    NavigateResult result = client.Navigate(LoopbackUrl(nginx_->port(), "/private/doc.xml"));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(client.Response().Body(), "<private/>");
    EXPECT_EQ(proxyFlags, std::vector<bool>{false});
}

class ProxyTest : public NginxTest {
protected:
    void SetUp() override {
        NginxTest::SetUp();
        std::string error;
        proxy_ = TinyproxyServer::Start("joe", "s3cret", &error);
        ASSERT_NE(proxy_, nullptr) << "tinyproxy could not be started (the test needs the tinyproxy package): "
                                   << error;
        nginx_->AddDocument("through.xml", "<through/>");
    }
    void UseProxy(const std::u16string& user, const std::u16string& password) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        auto setDword = [&](const char16_t* name, DWORD v) {
            RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
        };
        auto setString = [&](const char16_t* name, const std::u16string& v) {
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                           DWORD((v.size() + 1) * sizeof(char16_t)));
        };
        setDword(u"ProxyFlags", 1);
        setDword(u"ConnectionGUID", 0);
        setDword(u"ConnectionIteration", 1);
        setString(u"ProxyServer", u"127.0.0.1");
        setDword(u"ProxyPort", proxy_->port());
        setString(u"ProxyUserName", user);
        setString(u"ProxyPassword", password);
        RegCloseKey(key);
    }
    std::unique_ptr<TinyproxyServer> proxy_;
};

TEST_F(ProxyTest, ProxyChallengeIsAnswered) {
    std::vector<bool> proxyFlags;
    HttpClient client;
    client.SetProxy(u"127.0.0.1", proxy_->port());
    client.AddAuthenticator(u"basic", std::make_unique<RecordingAuthenticator>(u"joe", u"s3cret", &proxyFlags));
    NavigateResult result = client.Navigate(LoopbackUrl(nginx_->port(), "/through.xml"));
    ASSERT_TRUE(result.ok()) << proxy_->LogTail();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(client.Response().Body(), "<through/>");
    EXPECT_EQ(proxyFlags, std::vector<bool>{true});  // answered as a 407
}

TEST_F(ProxyTest, DownloadThroughTheConfiguredProxy) {
    UseProxy(u"joe", u"s3cret");
    Download d = Fetch(LoopbackUrl(nginx_->port(), "/through.xml"));
    ASSERT_EQ(d.hr, S_OK) << skyvane::ToUtf8(d.description) << proxy_->LogTail();
    EXPECT_EQ(d.result.text, u"<through/>");

    UseProxy(u"joe", u"wrong");
    Download refused = Fetch(LoopbackUrl(nginx_->port(), "/through.xml"));
    EXPECT_EQ(refused.hr, E_FAIL);
    // tinyproxy refuses wrong credentials with 401 (its first challenge is a 407).
    EXPECT_EQ(refused.description, u"Weather update failed.  .HTTP status=401.");
}

class FeedSimulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        sim_ = FeedSimulator::Start({}, &error).release();
        if (!sim_) startError_ = error;
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(sim_, nullptr) << "the feed simulator did not start: " << startError_; }

    std::u16string Relay(const char* code, const std::string& extra = "") {
        return LoopbackUrl(sim_->port(), "/wsi/wsiservices.aspx?url=http://feed.example/weather/local/" + std::string(code) +
                                     "?cc=*&dayf=10&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458&unit=m" + extra);
    }
    static FeedSimulator* sim_;
    static std::string startError_;
    skyvane::test::ScopedDeviceRoot root_;
};
FeedSimulator* FeedSimulatorTest::sim_ = nullptr;
std::string FeedSimulatorTest::startError_;

namespace {
size_t Count(const std::u16string& text, std::u16string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}
}  // namespace

TEST_F(FeedSimulatorTest, RelayFeedAndSearch) {
    Download relay = Fetch(Relay("RSXX0091"));
    ASSERT_EQ(relay.hr, S_OK) << skyvane::ToUtf8(relay.description);
    EXPECT_EQ(relay.result.text.rfind(u"<?xml version=\"1.0\" ?>", 0), 0u);  // the encoding is taken out
    EXPECT_NE(relay.result.text.find(u"<loc id=\"RSXX0091\">"), std::u16string::npos);
    EXPECT_EQ(Count(relay.result.text, u"<day d="), 10u);
    EXPECT_EQ(Count(relay.result.text, u"<hday "), 48u);

    Download feed = Fetch(LoopbackUrl(sim_->port(), "/weather/local/USNY0996?cc=*&dayf=5&prod=xoap&par=5820417369"
                                            "&key=3fa91c6e0b7d2458&unit=s&link=xoap"));
    ASSERT_EQ(feed.hr, S_OK);
    EXPECT_EQ(Count(feed.result.text, u"<day d="), 5u);
    EXPECT_NE(feed.result.text.find(u"<ut>F</ut>"), std::u16string::npos);

    Download search = Fetch(LoopbackUrl(sim_->port(), "/search/search?where="), u"New York");
    ASSERT_EQ(search.hr, S_OK);
    EXPECT_NE(search.result.text.find(u"<loc id=\"USNY0996\" type=\"1\">New York, NY</loc>"), std::u16string::npos);

    Download unknown = Fetch(Relay("XXXX0000"));
    ASSERT_EQ(unknown.hr, S_OK);  // an "err" document is a successful download
    EXPECT_NE(unknown.result.text.find(u"<err type=\"2\">"), std::u16string::npos);
}

TEST_F(FeedSimulatorTest, GzipAndChunkedBodies) {
    Download plain = Fetch(Relay("UKXX0085"));
    Download both = Fetch(Relay("UKXX0085", "&feedsim=gzip,chunked"));
    ASSERT_EQ(both.hr, S_OK) << skyvane::ToUtf8(both.description);
    EXPECT_TRUE(both.result.chunked);
    ASSERT_EQ(plain.hr, S_OK);
    // The same city and hour give the same document.
    EXPECT_EQ(both.result.text.substr(0, 400), plain.result.text.substr(0, 400));
    EXPECT_NE(both.result.text.find(u"</weather>"), std::u16string::npos);
}

TEST_F(FeedSimulatorTest, FaultSwitches) {
    Download dropped = Fetch(Relay("RSXX0091", "&feedsim=drop"));
    EXPECT_EQ(dropped.description, u"Weather update failed.  .HTTP status=200.");

    Download refused = Fetch(Relay("RSXX0091", "&feedsim=refuse"));
    EXPECT_EQ(refused.description,
              u"Weather update failed. An existing connection was forcibly closed by the remote host..");

    auto start = std::chrono::steady_clock::now();
    Download stalled = Fetch(Relay("RSXX0091", "&feedsim=stall"), {}, 500);
    EXPECT_EQ(stalled.description, u"Weather update failed.  .");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    Download err = Fetch(Relay("RSXX0091", "&feedsim=err"));
    ASSERT_EQ(err.hr, S_OK);
    EXPECT_NE(err.result.text.find(u"<err type=\"2\">Invalid location</err>"), std::u16string::npos);

    Download redirected = Fetch(Relay("RSXX0091", "&feedsim=redirect"));
    ASSERT_EQ(redirected.hr, S_OK) << skyvane::ToUtf8(redirected.description);
    EXPECT_NE(redirected.result.text.find(u"<loc id=\"RSXX0091\">"), std::u16string::npos);

    Download locked = Fetch(Relay("RSXX0091", "&feedsim=auth"));
    EXPECT_EQ(locked.description, u"Weather update failed.  .HTTP status=401.");
}

TEST(FeedSimulatorDocuments, RealSunTimesAndControlledFaults) {
    std::string error;
    // Midsummer in London, when the sun rises at 3:43 and sets at 20:21 GMT.
    auto sim = FeedSimulator::Start({"--now", "2023-06-21T11:00"}, &error);
    ASSERT_NE(sim, nullptr) << error;
    skyvane::test::ScopedDeviceRoot root;
    const std::string relay = "/wsi/wsiservices.aspx?url=http://feed.example/weather/local/UKXX0085?cc=*&dayf=2"
                              "&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458&unit=m";
    Download london = Fetch(LoopbackUrl(sim->port(), relay));
    ASSERT_EQ(london.hr, S_OK) << skyvane::ToUtf8(london.description);
    EXPECT_NE(london.result.text.find(u"<sunr>3:4"), std::u16string::npos);  // within the minute or two of
    EXPECT_NE(london.result.text.find(u"<suns>8:2"), std::u16string::npos);  // an approximate solar formula
    EXPECT_NE(london.result.text.find(u"<lsup>6/21/23 11:00 AM Local Time</lsup>"), std::u16string::npos);

    // Switches set through the control address apply to the next request only.
    ASSERT_EQ(Fetch(LoopbackUrl(sim->port(), "/feedsim/control?set=err&times=1")).hr, S_OK);
    Download first = Fetch(LoopbackUrl(sim->port(), relay));
    Download second = Fetch(LoopbackUrl(sim->port(), relay));
    EXPECT_NE(first.result.text.find(u"<err type=\"2\">"), std::u16string::npos);
    EXPECT_EQ(second.result.text, london.result.text);  // the same answer for the same time
}
