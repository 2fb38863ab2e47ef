// Pieces shared by the files of the DOM: the text conversions between the
// interfaces' UTF-16 and the parser's UTF-8, the tree as the interfaces show
// it, the text of a node as get_text gives it, and the private interface
// through which XmlDocumentView finds the parsed tree behind a document.
#pragma once

#include <pugixml.hpp>

#include <bit>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/guid.h"
#include "platform/msxml/msxml.h"

namespace skyvane::msxml {

// Walks UTF-16 units as UTF-8 bytes; a surrogate without its partner becomes
// U+FFFD so that the parser only ever sees valid UTF-8.
template <class Sink>
void EncodeUtf8(std::u16string_view s, Sink&& put) {
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            put(char(c));
        } else if (c < 0x800) {
            put(char(0xC0 | (c >> 6)));
            put(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            put(char(0xE0 | (c >> 12)));
            put(char(0x80 | ((c >> 6) & 0x3F)));
            put(char(0x80 | (c & 0x3F)));
        } else {
            put(char(0xF0 | (c >> 18)));
            put(char(0x80 | ((c >> 12) & 0x3F)));
            put(char(0x80 | ((c >> 6) & 0x3F)));
            put(char(0x80 | (c & 0x3F)));
        }
    }
}

std::string ToUtf8(std::u16string_view s);

inline bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Walks UTF-8 bytes as UTF-16 units. The parser's strings are valid UTF-8,
// except that character references may name a lone surrogate, which comes
// back as that unit; any other bad byte becomes U+FFFD.
template <class Sink>
void DecodeUtf8(std::string_view s, Sink&& put) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = p[i];
        if (c < 0x80) {
            put(char16_t(c));
            i += 1;
        } else if (c >= 0xC2 && c <= 0xDF && i + 1 < n && IsContinuation(p[i + 1])) {
            put(char16_t(((c & 0x1F) << 6) | (p[i + 1] & 0x3F)));
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < n && IsContinuation(p[i + 1]) && IsContinuation(p[i + 2]) &&
                   (c != 0xE0 || p[i + 1] >= 0xA0)) {
            put(char16_t(((c & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)));
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4 && i + 3 < n && IsContinuation(p[i + 1]) && IsContinuation(p[i + 2]) &&
                   IsContinuation(p[i + 3]) && (c != 0xF0 || p[i + 1] >= 0x90) && (c != 0xF4 || p[i + 1] < 0x90)) {
            char32_t v = ((c & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            v -= 0x10000;
            put(char16_t(0xD800 + (v >> 10)));
            put(char16_t(0xDC00 + (v & 0x3FF)));
            i += 4;
        } else {
            put(char16_t(0xFFFD));
            i += 1;
        }
    }
}

// A BSTR of a UTF-8 text, sized exactly in a first pass. Names and texts of
// the answers are mostly ASCII, which is copied without decoding. NULL only
// when out of memory.
BSTR Utf8ToBstr(std::string_view s);

inline bool IsText(const pugi::xml_node& n) { return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata; }

// The parser keeps the text that opens an element as the element's own value
// (parse_embed_pcdata), which spares a node for every leaf; the interfaces
// show that text as the element's first child, a text node. A position in
// the tree as the interfaces see it is therefore a parser node, or the text
// held by an element.
struct DomPos {
    pugi::xml_node node;
    bool heldText = false;  // the text held by the element `node`, not the element

    explicit operator bool() const { return bool(node); }
    pugi::xml_node_type Type() const { return heldText ? pugi::node_pcdata : node.type(); }
    const char* Value() const { return node.value(); }
};

// Whether an element holds the text that opens it.
inline bool HoldsText(const pugi::xml_node& n) { return n.type() == pugi::node_element && *n.value(); }
// The first child and the next sibling as the interfaces show them.
inline DomPos FirstChildOf(const DomPos& p) {
    if (p.heldText) return {};
    if (HoldsText(p.node)) return {p.node, true};
    return {p.node.first_child()};
}
inline DomPos NextSiblingOf(const DomPos& p) {
    if (p.heldText) return {p.node.first_child()};
    if (p.node.type() == pugi::node_document) return {};
    return {p.node.next_sibling()};
}

// The concatenated text of a node and its descendants, white space at both
// ends removed. The walk is iterative: a deeply nested document must not
// exhaust the stack.
std::string_view NodeText(const DomPos& node, std::string& scratch);

// One parsed text, shared by the document and every node handed out from it.
struct DomTree {
    pugi::xml_document doc;
};
using TreePtr = std::shared_ptr<const DomTree>;

// What XmlDocumentView::Of asks a document for: its parsed tree. Only this
// DOM's documents answer it.
struct IXmlNativeDocument : IUnknown {
    virtual TreePtr STDMETHODCALLTYPE NativeTree() = 0;
};
inline constexpr IID IID_IXmlNativeDocument = MakeGuid("{5E1A7C3B-2D94-4F08-9B61-7C0D3E8A4F26}");

// The parser's node as the pointer an XmlElementView keeps, and back.
inline void* ToView(pugi::xml_node n) { return std::bit_cast<void*>(n); }
inline pugi::xml_node FromView(void* p) { return std::bit_cast<pugi::xml_node>(p); }

}  // namespace skyvane::msxml
