// Connection settings from the registry, base64, socket error texts and the
// formatting of the device description lines (the lines a real download
// sends are in download_test.cpp).
#include <gtest/gtest.h>

#include <cstring>

#include "net/base64.h"
#include "net/connection_settings.h"
#include "net/device_headers.h"
#include "net/socket_error.h"
#include "platform/winsock/wsa_errors.h"
#include "platform/registry/registry.h"
#include "test_util/test_util.h"

using namespace skyvane::net;

TEST(Base64, Rfc4648Vectors) {
    const char* vectors[][2] = {{"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) EXPECT_EQ(Base64Encode(v[0], Base64NoLineBreaks), v[1]) << v[0];
    EXPECT_EQ(Base64Encode("f", Base64NoPadding | Base64NoLineBreaks), "Zg");
    EXPECT_EQ(Base64Encode("fo", Base64NoPadding | Base64NoLineBreaks), "Zm8");
    EXPECT_EQ(Base64Encode(":", Base64NoLineBreaks), "Og==");
    EXPECT_EQ(Base64Encode(std::string("\xff\xfe\x00", 3), Base64NoLineBreaks), "//4A");
}

TEST(Base64, LineBreaksAfterEvery76Characters) {
    const std::string bytes57(57, 'a');  // exactly one line of 76 characters
    EXPECT_EQ(Base64Encode(bytes57, 0).find('\r'), std::string::npos);
    const std::string two = Base64Encode(std::string(58, 'a'), 0);
    ASSERT_EQ(two.size(), 76u + 2 + 4);
    EXPECT_EQ(two.substr(76, 2), "\r\n");
    EXPECT_EQ(Base64EncodedLength(114, 0), 76u + 2 + 76);  // no break after the last line
    // The caller's buffer must hold the whole encoding.
    char out[8];
    size_t written = 99;
    EXPECT_FALSE(Base64Encode("foobar", Base64NoLineBreaks, out, 7, &written));
    EXPECT_EQ(written, 0u);
    ASSERT_TRUE(Base64Encode("foobar", Base64NoLineBreaks, out, 8, &written));
    EXPECT_EQ(std::string(out, written), "Zm9vYmFy");
}

TEST(SocketErrorText, PublishedDescriptionsAndFallback) {
    EXPECT_EQ(SocketErrorText(0), u" ");
    EXPECT_EQ(SocketErrorText(-1), u" ");
    EXPECT_EQ(SocketErrorText(12345), u"socket error 3039");
    EXPECT_EQ(SocketErrorText(10005), u"socket error 2715");
    EXPECT_EQ(SocketErrorText(WSAHOST_NOT_FOUND), u"No such host is known.");
    EXPECT_EQ(SocketErrorText(WSAECONNREFUSED),
              u"No connection could be made because the target machine actively refused it.");
    EXPECT_EQ(SocketErrorText(WSAEHOSTUNREACH), u"A socket operation was attempted to an unreachable host.");
    EXPECT_EQ(SocketErrorText(WSAENETDOWN), u"A socket operation encountered a dead network.");
    EXPECT_EQ(SocketErrorText(WSAECONNRESET), u"An existing connection was forcibly closed by the remote host.");
    EXPECT_EQ(SocketErrorText(WSAEWOULDBLOCK), u"A non-blocking socket operation could not be completed immediately.");
    EXPECT_EQ(SocketErrorText(WSAEINPROGRESS), u"A blocking operation is currently executing.");
    EXPECT_EQ(SocketErrorText(WSA_E_NO_MORE), SocketErrorText(WSAENOMORE));
    EXPECT_EQ(SocketErrorText(WSA_E_CANCELLED), SocketErrorText(WSAECANCELLED));
    EXPECT_EQ(SocketErrorText(10900), u"A duplicate name exists on the network");
    // Every listed code has its own sentence; the gaps between ranges do not.
    std::vector<int> covered = {10004, 10009, 10013, 10014, 10022, 10024, 10091, 10092, 10093, 10900};
    for (int c = 10035; c <= 10071; ++c) covered.push_back(c);
    for (int c = 10101; c <= 10112; ++c) covered.push_back(c);
    for (int c = 11001; c <= 11031; ++c) covered.push_back(c);
    for (int code : covered) {
        std::u16string text = SocketErrorText(code);
        EXPECT_EQ(text.find(u"socket error"), std::u16string::npos) << code;
        EXPECT_GT(text.size(), 10u) << code;
    }
    for (int code : {10003, 10034, 10072, 10090, 10094, 10100, 10113, 11000, 11032})
        EXPECT_EQ(SocketErrorText(code).rfind(u"socket error ", 0), 0u) << code;
}

namespace {
void SetDword(HKEY key, const WCHAR* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}
void SetString(HKEY key, const WCHAR* name, std::u16string_view value) {
    std::u16string text(value);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}
}  // namespace

class ConnectionSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        SetString(key_, u"ProxyServer", u"proxy.example");
        SetDword(key_, u"ProxyPort", 3128);
        SetString(key_, u"ProxyUserName", u"joe");
        SetString(key_, u"ProxyPassword", u"pw");
    }
    void TearDown() override { RegCloseKey(key_); }

    skyvane::test::ScopedDeviceRoot root_;
    HKEY key_ = nullptr;
};

TEST_F(ConnectionSettingsTest, MissingKeyMeansDirect) {
    RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather");
    EXPECT_FALSE(ReadConnectionSettings().useProxy);
}

TEST_F(ConnectionSettingsTest, ProxyAppliesOnlyOutsideTheTwoDirectPairs) {
    EXPECT_FALSE(ReadConnectionSettings().useProxy);  // ProxyFlags absent: 0
    SetDword(key_, u"ProxyFlags", 1);
    EXPECT_FALSE(ReadConnectionSettings().useProxy);  // the defaults 5 and 1 are a direct pair
    SetDword(key_, u"ConnectionGUID", 0);
    SetDword(key_, u"ConnectionIteration", 2);
    EXPECT_FALSE(ReadConnectionSettings().useProxy);
    SetDword(key_, u"ConnectionIteration", 1);
    ConnectionSettings s = ReadConnectionSettings();
    ASSERT_TRUE(s.useProxy);
    EXPECT_EQ(s.proxyServer, u"proxy.example");
    EXPECT_EQ(s.proxyPort, 3128);
    EXPECT_EQ(s.userName, u"joe");
    EXPECT_EQ(s.password, u"pw");
    EXPECT_EQ(s.proxyFlags, 1u);
    SetString(key_, u"ProxyServer", u"");
    EXPECT_FALSE(ReadConnectionSettings().useProxy);
}

TEST_F(ConnectionSettingsTest, MistypedValuesGiveTheirDefaults) {
    SetDword(key_, u"ProxyFlags", 255);
    SetDword(key_, u"ConnectionGUID", 3);
    SetString(key_, u"ProxyPort", u"8080");  // a text where a number belongs
    ConnectionSettings s = ReadConnectionSettings();
    ASSERT_TRUE(s.useProxy);
    EXPECT_EQ(s.proxyPort, 0);
    EXPECT_EQ(s.proxyFlags, 255u);
    // A port beyond 16 bits keeps its low 16 bits.
    SetDword(key_, u"ProxyPort", 0x10050);
    EXPECT_EQ(ReadConnectionSettings().proxyPort, 0x50);
    // A number where a text belongs, and a text over 10000 bytes.
    SetDword(key_, u"ProxyUserName", 7);
    SetString(key_, u"ProxyPassword", std::u16string(5000, u'p'));
    s = ReadConnectionSettings();
    EXPECT_EQ(s.userName, u"");
    EXPECT_EQ(s.password, u"");
    SetString(key_, u"ProxyPassword", std::u16string(4999, u'p'));  // 10000 bytes with the terminator
    EXPECT_EQ(ReadConnectionSettings().password.size(), 4999u);
    // A DWORD of another size is not a DWORD.
    BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    RegSetValueExW(key_, u"ProxyFlags", 0, REG_DWORD, eight, sizeof(eight));
    EXPECT_FALSE(ReadConnectionSettings().useProxy);
}

TEST(DeviceHeaders, LinesInOrder) {
    DeviceFacts facts;
    facts.version = DeviceFacts::Version{5, 2, 21234, 3, u""};
    facts.architecture = 5;
    facts.processorType = 2577;
    facts.processorLevel = 4;
    facts.processorRevision = 0;
    facts.screenWidth = 240;
    facts.screenHeight = 320;
    facts.timeZoneBias = -180;
    facts.deviceId = u"0123456789ABCDEF0123456789ABCDEF";
    EXPECT_EQ(FormatDeviceHeaders(facts), u"UA-OS: CE/5.2-21234/\r\n"
                                          u"UA-CPU: ARM-/type-2577.4.0\r\n"
                                          u"UA-DISP: 240-320\r\n"
                                          u"UA-TZ: -180\r\n"
                                          u"UA-ID: 0123456789ABCDEF0123456789ABCDEF\r\n"
                                          u"UA-Z: 1\r\n");
    // Failed calls: unknown version, unknown time zone, no identifier.
    facts.version.reset();
    facts.timeZoneBias.reset();
    facts.deviceId.clear();
    facts.architecture = 9;
    EXPECT_EQ(FormatDeviceHeaders(facts), u"UA-OS: unk\r\n"
                                          u"UA-CPU: unk-/type-2577.4.0\r\n"
                                          u"UA-DISP: 240-320\r\n"
                                          u"UA-ID: \r\n"
                                          u"UA-Z: 1\r\n");
    facts.version = DeviceFacts::Version{4, 10, 1998, 7, u"Service Pack 1"};
    facts.architecture = 0;
    EXPECT_EQ(FormatDeviceHeaders(facts).substr(0, 59), u"UA-OS: 7/4.10-1998/Service Pack 1\r\nUA-CPU: INTEL-/type-2577");
}

TEST(DeviceHeaders, IdentifierFromTheAnswerBytes) {
    // Positions count hexadecimal characters: bytes 20..27, 28..29 and 32..37.
    std::string answer(40, '\0');
    for (int i = 0; i < 40; ++i) answer[i] = static_cast<char>(i);
    EXPECT_EQ(DeviceIdFromAnswer(answer), u"1415161718191A1B" u"1C1D" u"202122232425");
    EXPECT_EQ(DeviceIdFromAnswer(answer.substr(0, 37)), u"");
}
