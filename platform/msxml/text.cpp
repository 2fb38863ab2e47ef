// Text conversions of the DOM and the text of a node.
#include "platform/msxml/internal.h"

namespace skyvane::msxml {

std::string ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    EncodeUtf8(s, [&](char c) { out.push_back(c); });
    return out;
}

BSTR Utf8ToBstr(std::string_view s) {
    size_t ascii = 0;
    while (ascii < s.size() && static_cast<unsigned char>(s[ascii]) < 0x80) ++ascii;
    size_t units = ascii;
    if (ascii < s.size()) DecodeUtf8(s.substr(ascii), [&](char16_t) { ++units; });
    BSTR b = SysAllocStringLen(nullptr, UINT(units));
    if (!b) return nullptr;
    for (size_t i = 0; i < ascii; ++i) b[i] = char16_t(s[i]);
    size_t i = ascii;
    if (ascii < s.size()) DecodeUtf8(s.substr(ascii), [&](char16_t c) { b[i++] = c; });
    return b;
}

namespace {
bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// White space at both ends removed, as get_text gives texts.
std::string_view TrimXmlSpace(std::string_view s) {
    while (!s.empty() && IsXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}
}  // namespace

std::string_view NodeText(const DomPos& pos, std::string& scratch) {
    const pugi::xml_node node = pos.node;
    switch (pos.Type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi:
            return TrimXmlSpace(pos.Value());
        case pugi::node_element:
        case pugi::node_document:
            break;
        default:
            return {};
    }
    // The common case: an element holding its one text, or nothing.
    pugi::xml_node first = node.first_child();
    if (!first) return TrimXmlSpace(node.value());
    scratch.clear();
    // Every element's held text comes before its children.
    for (pugi::xml_node cur = node;;) {
        if (cur.type() == pugi::node_element || IsText(cur)) scratch += cur.value();
        if (pugi::xml_node child = cur.first_child()) {
            cur = child;
            continue;
        }
        while (cur != node && !cur.next_sibling()) cur = cur.parent();
        if (cur == node) break;
        cur = cur.next_sibling();
    }
    return TrimXmlSpace(scratch);
}

}  // namespace skyvane::msxml

namespace skyvane {

void XmlTextToUtf16(std::string_view utf8, std::u16string& out) {
    size_t ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    // ASCII widens unit for unit.
    out.resize(ascii);
    for (size_t i = 0; i < ascii; ++i) out[i] = char16_t(utf8[i]);
    if (ascii < utf8.size()) msxml::DecodeUtf8(utf8.substr(ascii), [&](char16_t c) { out.push_back(c); });
}

std::u16string XmlTextToUtf16(std::string_view utf8) {
    std::u16string out;
    XmlTextToUtf16(utf8, out);
    return out;
}

}  // namespace skyvane
