// URLs as the HTTP client handles them: escaping, splitting into parts and
// building the absolute form again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace skyvane::net {

// Indexes of the scheme table; only kSchemeHttp is accepted for requests.
enum : int32_t {
    kSchemeNone = -1,
    kSchemeFtp = 0,
    kSchemeGopher = 1,
    kSchemeHttp = 2,
    kSchemeHttps = 3,
    kSchemeFile = 4,
    kSchemeNews = 5,
    kSchemeMailto = 6,
    kSchemeSocks = 7,
};

// The longest URL the client builds or accepts after escaping.
constexpr size_t kMaxUrlLength = 2083;

// One URL split into its parts. Every part has a maximum length in
// characters; a longer part makes the URL invalid.
struct ParsedUrl {
    static constexpr size_t kMaxScheme = 32;
    static constexpr size_t kMaxHost = 256;
    static constexpr size_t kMaxUserName = 128;
    static constexpr size_t kMaxPassword = 128;
    static constexpr size_t kMaxPath = 2048;
    static constexpr size_t kMaxExtraInfo = 2048;

    std::u16string scheme = u"http";
    std::u16string host;
    std::u16string userName;
    std::u16string password;
    std::u16string path;       // begins with "/" when present
    std::u16string extraInfo;  // from the first "?" or "#" on, that character included
    uint16_t port = 0;
    int32_t schemeIndex = kSchemeNone;
};

// The index of a scheme name in the scheme table (case-insensitive), or -1.
int32_t FindScheme(std::u16string_view name);
// The scheme's default port (0 for file, news, mailto and unknown schemes).
uint16_t SchemeDefaultPort(int32_t schemeIndex);

// Escapes a URL for a request: the text is taken as UTF-8 and every byte
// outside the safe set (letters, digits and ! ' ( ) * - . / : _ ~) becomes "%"
// and two hexadecimal digits; "%" stays as it is. Unless wholeText is set,
// everything from the first "?" or "#" on is left as it is, but for control
// characters (CR, LF and the others below U+0020, and DEL): those are escaped
// everywhere, since they would end the request line.
std::u16string EscapeUrl(std::u16string_view url, bool wholeText = false);

// Splits scheme "://" [user [":" password] "@"] host [":" port] path extra.
// False when the scheme is unknown, the port is not a 16-bit decimal number or
// a part is longer than its maximum.
bool SplitUrl(std::u16string_view url, ParsedUrl& out);

// The absolute form of a split URL; false when it would exceed maxLength.
bool BuildAbsoluteUrl(const ParsedUrl& url, std::u16string& out, size_t maxLength = kMaxUrlLength);

}  // namespace skyvane::net
