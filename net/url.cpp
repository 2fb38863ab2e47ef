#include "net/url.h"

#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

namespace skyvane::net {
namespace {

struct SchemeRow {
    std::u16string_view name;
    uint16_t defaultPort;
};

constexpr SchemeRow kSchemes[] = {
    {u"ftp", 21}, {u"gopher", 70}, {u"http", 80}, {u"https", 443},
    {u"file", 0}, {u"news", 0},    {u"mailto", 0}, {u"socks", 1080},
};

bool IsSafeByte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '!': case '\'': case '(': case ')': case '*': case '-':
        case '.': case '/': case ':': case '_': case '~': case '%':
            return true;
        default:
            return false;
    }
}

}  // namespace

int32_t FindScheme(std::u16string_view name) {
    for (size_t i = 0; i < std::size(kSchemes); ++i)
        if (EqualsNoCase(name, kSchemes[i].name)) return static_cast<int32_t>(i);
    return kSchemeNone;
}

uint16_t SchemeDefaultPort(int32_t schemeIndex) {
    if (schemeIndex < 0 || schemeIndex >= static_cast<int32_t>(std::size(kSchemes))) return 0;
    return kSchemes[schemeIndex].defaultPort;
}

std::u16string EscapeUrl(std::u16string_view url, bool wholeText) {
    size_t cut = wholeText ? std::u16string_view::npos : url.find_first_of(u"?#");
    std::u16string_view head = url.substr(0, cut);
    std::string bytes = ToUtf8(head);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    out.reserve(bytes.size() + 16);
    auto escape = [&](unsigned c) {
        out.push_back(u'%');
        out.push_back(kHex[(c >> 4) & 15]);
        out.push_back(kHex[c & 15]);
    };
    for (unsigned char c : bytes) {
        if (IsSafeByte(c))
            out.push_back(c);
        else
            escape(c);
    }
    if (cut == std::u16string_view::npos) return out;
    for (char16_t c : url.substr(cut)) {
        if (c < 0x20 || c == 0x7F)
            escape(c);
        else
            out.push_back(c);
    }
    return out;
}

bool SplitUrl(std::u16string_view url, ParsedUrl& out) {
    ParsedUrl result;
    size_t colon = url.find(u':');
    if (colon == std::u16string_view::npos || colon == 0) return false;
    std::u16string_view scheme = url.substr(0, colon);
    if (scheme.size() > ParsedUrl::kMaxScheme) return false;
    result.schemeIndex = FindScheme(scheme);
    if (result.schemeIndex == kSchemeNone) return false;
    result.scheme.assign(scheme);

    std::u16string_view rest = url.substr(colon + 1);
    if (result.schemeIndex != kSchemeMailto) {
        if (rest.substr(0, 2) != u"//") return false;
        rest.remove_prefix(2);
    }

    // The authority ends at the path or at the extra info.
    size_t authorityEnd = rest.find_first_of(u"/?#");
    std::u16string_view authority = rest.substr(0, authorityEnd);
    rest = authorityEnd == std::u16string_view::npos ? std::u16string_view() : rest.substr(authorityEnd);

    size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) {
        std::u16string_view user = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        size_t sep = user.find(u':');
        if (sep != std::u16string_view::npos) {
            result.password.assign(user.substr(sep + 1));
            user = user.substr(0, sep);
        }
        result.userName.assign(user);
    }

    result.port = SchemeDefaultPort(result.schemeIndex);
    size_t portSep = authority.rfind(u':');
    // A colon inside a bracketed IPv6 literal is not a port separator.
    if (portSep != std::u16string_view::npos && authority.find(u']', portSep) == std::u16string_view::npos) {
        std::u16string_view digits = authority.substr(portSep + 1);
        authority = authority.substr(0, portSep);
        if (!digits.empty()) {
            uint32_t port = 0;
            for (char16_t c : digits) {
                if (c < u'0' || c > u'9') return false;
                port = port * 10 + (c - u'0');
                if (port > 65535) return false;
            }
            result.port = static_cast<uint16_t>(port);
        }
    }
    result.host.assign(authority);

    size_t extra = rest.find_first_of(u"?#");
    result.path.assign(rest.substr(0, extra));
    if (extra != std::u16string_view::npos) result.extraInfo.assign(rest.substr(extra));

    if (result.host.size() > ParsedUrl::kMaxHost || result.userName.size() > ParsedUrl::kMaxUserName ||
        result.password.size() > ParsedUrl::kMaxPassword || result.path.size() > ParsedUrl::kMaxPath ||
        result.extraInfo.size() > ParsedUrl::kMaxExtraInfo)
        return false;
    out = std::move(result);
    return true;
}

bool BuildAbsoluteUrl(const ParsedUrl& url, std::u16string& out, size_t maxLength) {
    std::u16string text = url.scheme;
    text += url.schemeIndex == kSchemeMailto ? u":" : u"://";
    if (!url.userName.empty()) {
        text += url.userName;
        if (!url.password.empty()) {
            text += u':';
            text += url.password;
        }
        text += u'@';
    }
    text += url.host;
    if (url.port != SchemeDefaultPort(url.schemeIndex)) {
        text += u':';
        text += W(std::to_string(url.port));
    }
    if (url.path.empty() || (url.path[0] != u'/' && url.path[0] != u'\\')) text += u'/';
    text += url.path;
    text += url.extraInfo;
    if (text.size() > maxLength) return false;
    out = std::move(text);
    return true;
}

}  // namespace skyvane::net
