// Two ways of reading elements of an answer, with one set of operations, so
// that the reader's logic is written once:
// - ComDom goes through the DOM interfaces and works with any DOM;
// - NativeDom reads this platform's own DOM directly (UTF-8, no objects or
//   BSTRs per step), which keeps a whole answer cheap to read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/msxml/msxml.h"
#include "weather/dom_walk.h"

namespace skyvane::weather {

// Element and attribute names compare exactly, whole name and case.
inline bool NameIs(std::string_view name, std::string_view wanted) { return name == wanted; }
inline bool NameIs(std::u16string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] != char16_t(static_cast<unsigned char>(wanted[i]))) return false;
    return true;
}

// An element name as this platform's DOM keeps it: NUL-terminated UTF-8.
struct CName;

// The first character of a name (0 for an empty one), for choosing among the
// names an element may have before comparing whole names.
inline char16_t FirstLetter(std::u16string_view name) { return name.empty() ? 0 : name[0]; }

struct CName {
    const char* p;
    bool empty() const { return *p == 0; }
    char operator[](size_t i) const { return p[i]; }
    std::string_view substr(size_t from) const { return std::string_view(p).substr(from); }
};
inline char16_t FirstLetter(CName name) { return char16_t(static_cast<unsigned char>(name.p[0])); }
inline bool NameIs(CName name, std::string_view wanted) {
    // Stops at the first difference, so never reads past the name's NUL.
    for (size_t i = 0; i < wanted.size(); ++i)
        if (name.p[i] != wanted[i]) return false;
    return name.p[wanted.size()] == 0;
}

struct ComDom {
    using Element = IXMLDOMElement*;

    // A text read through the interfaces.
    class Text {
    public:
        std::u16string_view View() const { return text_.View(); }
        std::u16string Wide() const { return text_.Str(); }
        void AssignTo(std::u16string& out) const { out.assign(text_.View()); }

    private:
        friend struct ComDom;
        skyvane::Bstr text_;
    };

    // f(Element child, std::u16string_view name) for each child element.
    template <class F>
    static HRESULT ForEachChild(Element e, F&& f) {
        return ForEachChildElement(e, std::forward<F>(f));
    }
    static bool GetText(Element e, Text& out) { return NodeText(e, out.text_); }
    static std::u16string Name(Element e) { return TagName(e); }
    static bool GetAttribute(Element e, std::string_view name, Text& out) {
        std::u16string wide(name.begin(), name.end());
        auto value = AttributeText(e, wide);
        if (!value) return false;
        out.text_ = skyvane::Bstr(*value);
        return true;
    }
};

struct NativeDom {
    // An element met in a walk, and the walk's list of children: the
    // children of every element on the way down, each run cut off again once
    // it has been walked.
    struct Element {
        skyvane::XmlChild node;
        std::vector<skyvane::XmlChild>* children;
    };

    class Text {
    public:
        Text() = default;
        Text(const Text&) = delete;  // the view may point into the scratch
        Text& operator=(const Text&) = delete;
        std::string_view View() const { return view_; }
        std::u16string Wide() const { return skyvane::XmlTextToUtf16(view_); }
        void AssignTo(std::u16string& out) const { skyvane::XmlTextToUtf16(view_, out); }

    private:
        friend struct NativeDom;
        std::string scratch_;
        std::string_view view_;
    };

    // The start of a walk.
    static Element Of(const skyvane::XmlElementView& e, std::vector<skyvane::XmlChild>& children) {
        return {{e, e.NameData(), nullptr}, &children};
    }

    template <class F>
    static HRESULT ForEachChild(const Element& e, F&& f) {
        std::vector<skyvane::XmlChild>& list = *e.children;
        const size_t first = list.size();
        e.node.element.AppendChildren(list);
        const size_t end = list.size();
        HRESULT hr = S_OK;
        for (size_t i = first; i < end && SUCCEEDED(hr); ++i) {
            const Element child{list[i], e.children};  // a copy: the walk below grows the list
            hr = f(child, CName{child.node.name});
        }
        list.resize(first);
        return hr;
    }
    static bool GetText(const Element& e, Text& out) {
        out.view_ = e.node.Text(out.scratch_);
        return true;
    }
    static CName Name(const Element& e) { return CName{e.node.name}; }
    static bool GetAttribute(const Element& e, std::string_view name, Text& out) {
        return e.node.element.Attribute(name, out.view_);
    }
};

}  // namespace skyvane::weather
