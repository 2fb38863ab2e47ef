#include "platform/htmlview/html_document.h"

#include <cstdlib>
#include <map>

#include "platform/base/wide_string.h"

namespace skyvane::htmlview {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

struct Tag {
    std::u16string name;  // lower case
    bool closing = false;
    std::map<std::u16string, std::u16string> attributes;  // names in lower case
};

// "a: b; c: d" into lower-case names and trimmed values.
std::map<std::u16string, std::u16string> ParseStyle(std::u16string_view style) {
    std::map<std::u16string, std::u16string> out;
    std::size_t i = 0;
    while (i < style.size()) {
        std::size_t end = style.find(u';', i);
        if (end == std::u16string_view::npos) end = style.size();
        std::u16string_view decl = style.substr(i, end - i);
        std::size_t colon = decl.find(u':');
        if (colon != std::u16string_view::npos) {
            auto trim = [](std::u16string_view s) {
                while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
                while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
                return std::u16string(s);
            };
            out[ToLower(trim(decl.substr(0, colon)))] = trim(decl.substr(colon + 1));
        }
        i = end + 1;
    }
    return out;
}

std::optional<Align> AlignOf(const Tag& tag) {
    std::u16string value;
    if (auto it = tag.attributes.find(u"align"); it != tag.attributes.end()) value = ToLower(it->second);
    if (auto it = tag.attributes.find(u"style"); it != tag.attributes.end()) {
        auto style = ParseStyle(it->second);
        if (auto a = style.find(u"text-align"); a != style.end()) value = ToLower(a->second);
    }
    if (value == u"center") return Align::Center;
    if (value == u"right") return Align::Right;
    if (value == u"left") return Align::Left;
    return std::nullopt;
}

char16_t DecodeEntity(std::u16string_view name) {
    static const std::map<std::u16string, char16_t> named = {
        {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}, {u"nbsp", u'\u00A0'},
        {u"deg", u'\u00B0'}, {u"copy", u'\u00A9'}, {u"reg", u'\u00AE'}, {u"middot", u'\u00B7'}, {u"bull", u'\u2022'},
        {u"ndash", u'\u2013'}, {u"mdash", u'\u2014'}, {u"hellip", u'\u2026'}, {u"laquo", u'\u00AB'}, {u"raquo", u'\u00BB'}};
    if (!name.empty() && name[0] == u'#') {
        bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        long value = 0;
        for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i) {
            char16_t c = name[i];
            int d = c >= u'0' && c <= u'9' ? c - u'0' : hex && c >= u'a' && c <= u'f' ? c - u'a' + 10 : hex && c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
            if (d < 0 || value > 0x10FFFF) return 0;
            value = value * (hex ? 16 : 10) + d;
        }
        return value > 0 && value < 0xFFFF ? static_cast<char16_t>(value) : u'\uFFFD';
    }
    auto it = named.find(ToLower(name));
    return it == named.end() ? 0 : it->second;
}

class Builder {
public:
    Document Build(std::u16string_view html) {
        std::size_t i = 0;
        while (i < html.size()) {
            if (html[i] == u'<') {
                i = ReadMarkup(html, i);
            } else {
                std::size_t end = html.find(u'<', i);
                if (end == std::u16string_view::npos) end = html.size();
                if (skipUntil_.empty()) Text(html.substr(i, end - i));
                i = end;
            }
        }
        Flush();
        return std::move(doc_);
    }

private:
    struct Open {
        std::u16string name;
        Run style;
    };

    // A tag, comment or declaration starting at i; returns where it ends.
    std::size_t ReadMarkup(std::u16string_view html, std::size_t i) {
        if (html.substr(i, 4) == u"<!--") {
            std::size_t end = html.find(u"-->", i + 4);
            return end == std::u16string_view::npos ? html.size() : end + 3;
        }
        std::size_t end = html.find(u'>', i);
        if (end == std::u16string_view::npos) {
            if (skipUntil_.empty()) Text(html.substr(i));
            return html.size();
        }
        std::u16string_view inner = html.substr(i + 1, end - i - 1);
        if (inner.empty() || inner[0] == u'!' || inner[0] == u'?') return end + 1;
        Tag tag = ParseTag(inner);
        if (!skipUntil_.empty()) {
            if (tag.closing && tag.name == skipUntil_) skipUntil_.clear();
            return end + 1;
        }
        if (tag.closing) Close(tag);
        else OpenTag(tag);
        return end + 1;
    }

    static Tag ParseTag(std::u16string_view s) {
        Tag tag;
        std::size_t i = 0;
        if (i < s.size() && s[i] == u'/') {
            tag.closing = true;
            ++i;
        }
        std::size_t start = i;
        while (i < s.size() && !IsSpace(s[i]) && s[i] != u'/') ++i;
        tag.name = ToLower(s.substr(start, i - start));
        while (i < s.size()) {
            while (i < s.size() && (IsSpace(s[i]) || s[i] == u'/')) ++i;
            std::size_t nameStart = i;
            while (i < s.size() && !IsSpace(s[i]) && s[i] != u'=' && s[i] != u'/') ++i;
            std::u16string name = ToLower(s.substr(nameStart, i - nameStart));
            while (i < s.size() && IsSpace(s[i])) ++i;
            std::u16string value;
            if (i < s.size() && s[i] == u'=') {
                ++i;
                while (i < s.size() && IsSpace(s[i])) ++i;
                if (i < s.size() && (s[i] == u'"' || s[i] == u'\'')) {
                    char16_t quote = s[i++];
                    std::size_t close = s.find(quote, i);
                    if (close == std::u16string_view::npos) close = s.size();
                    value = s.substr(i, close - i);
                    i = std::min(close + 1, s.size());
                } else {
                    std::size_t valueStart = i;
                    while (i < s.size() && !IsSpace(s[i])) ++i;
                    value = s.substr(valueStart, i - valueStart);
                }
            }
            if (!name.empty()) tag.attributes[name] = value;
        }
        return tag;
    }

    Run Style() const { return open_.empty() ? Run{} : open_.back().style; }

    std::vector<Run>& Runs() {
        if (inRow_ && !block_.cells.empty()) return block_.cells.back();
        return block_.runs;
    }

    bool AtLineStart() {
        std::vector<Run>& runs = Runs();
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            if (!it->text.empty()) return it->text.back() == u'\n' || it->text.back() == u' ';
        return true;
    }

    void Append(const std::u16string& text) {
        if (text.empty()) return;
        Run style = Style();
        std::vector<Run>& runs = Runs();
        if (!runs.empty() && runs.back().bold == style.bold && runs.back().italic == style.italic &&
            runs.back().sizeStep == style.sizeStep && runs.back().colour == style.colour && runs.back().href == style.href) {
            runs.back().text += text;
        } else {
            style.text = text;
            runs.push_back(std::move(style));
        }
    }

    void Text(std::u16string_view raw) {
        std::u16string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            char16_t c = raw[i];
            if (c == u'&') {
                std::size_t semi = raw.find(u';', i);
                if (semi != std::u16string_view::npos && semi - i <= 10) {
                    if (char16_t decoded = DecodeEntity(raw.substr(i + 1, semi - i - 1))) {
                        out += decoded;
                        i = semi;
                        continue;
                    }
                }
            }
            if (IsSpace(c)) {
                // Runs of white space show as one space, none at a line's start.
                bool lineStart = out.empty() ? AtLineStart() : out.back() == u' ';
                if (!lineStart) out += u' ';
                continue;
            }
            out += c;
        }
        Append(out);
    }

    // Ends the block being filled, if it holds anything.
    void Flush() {
        auto trim = [](std::vector<Run>& runs) {
            while (!runs.empty() && !runs.back().text.empty() && runs.back().text.back() == u' ') runs.back().text.pop_back();
            std::erase_if(runs, [](const Run& r) { return r.text.empty(); });
        };
        trim(block_.runs);
        for (auto& cell : block_.cells) trim(cell);
        if (!block_.runs.empty() || !block_.cells.empty() || block_.rule) doc_.blocks.push_back(std::move(block_));
        block_ = Block{};
        block_.align = CurrentAlign();
        inRow_ = false;
    }

    Align CurrentAlign() const { return aligns_.empty() ? doc_.align : aligns_.back(); }

    void StartBlock(const Tag& tag, bool spaced) {
        Flush();
        block_.spaced = spaced;
        if (auto a = AlignOf(tag)) block_.align = *a;
    }

    void Push(const Tag& tag, Run style) { open_.push_back(Open{tag.name, std::move(style)}); }

    void OpenTag(const Tag& tag) {
        const std::u16string& n = tag.name;
        Run style = Style();
        if (n == u"head" || n == u"title" || n == u"style" || n == u"script") {
            skipUntil_ = n;
        } else if (n == u"body") {
            Body(tag);
        } else if (n == u"p") {
            StartBlock(tag, true);
        } else if (n == u"br") {
            Append(u"\n");
        } else if (n == u"hr") {
            Flush();
            block_.rule = true;
            Flush();
        } else if (n == u"div" || n == u"center") {
            Flush();
            aligns_.push_back(n == u"center" ? Align::Center : AlignOf(tag).value_or(CurrentAlign()));
            block_.align = aligns_.back();
        } else if (n == u"h1" || n == u"h2" || n == u"h3") {
            StartBlock(tag, true);
            style.bold = true;
            style.sizeStep += u'3' - n[1];
            Push(tag, style);
        } else if (n == u"li") {
            Flush();
            Append(u"\u2022 ");
        } else if (n == u"tr") {
            Flush();
            inRow_ = true;
        } else if (n == u"td" || n == u"th") {
            if (!inRow_) {
                Flush();
                inRow_ = true;
            }
            block_.cells.emplace_back();
            if (n == u"th") {
                style.bold = true;
                Push(tag, style);
            }
        } else if (n == u"b" || n == u"strong") {
            style.bold = true;
            Push(tag, style);
        } else if (n == u"i" || n == u"em") {
            style.italic = true;
            Push(tag, style);
        } else if (n == u"small" || n == u"big") {
            style.sizeStep += n == u"small" ? -1 : 1;
            Push(tag, style);
        } else if (n == u"font" || n == u"span" || n == u"a") {
            if (auto it = tag.attributes.find(u"color"); it != tag.attributes.end())
                if (auto c = ParseColour(it->second)) style.colour = c;
            if (auto it = tag.attributes.find(u"style"); it != tag.attributes.end()) {
                auto css = ParseStyle(it->second);
                if (auto c = css.find(u"color"); c != css.end())
                    if (auto colour = ParseColour(c->second)) style.colour = colour;
                if (auto w = css.find(u"font-weight"); w != css.end()) style.bold = ToLower(w->second) == u"bold";
            }
            if (n == u"a") style.href = tag.attributes.count(u"href") ? tag.attributes.at(u"href") : u"";
            Push(tag, style);
        }
    }

    void Close(const Tag& tag) {
        const std::u16string& n = tag.name;
        if (n == u"p" || n == u"h1" || n == u"h2" || n == u"h3" || n == u"li") Flush();
        if (n == u"tr" || n == u"table") Flush();
        if (n == u"div" || n == u"center") {
            Flush();
            if (!aligns_.empty()) aligns_.pop_back();
            block_.align = CurrentAlign();
        }
        // Closes the innermost open tag of that name (and any left open inside it).
        for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
            if (it->name == n) {
                open_.erase(std::next(it).base(), open_.end());
                break;
            }
        }
    }

    void Body(const Tag& tag) {
        if (auto it = tag.attributes.find(u"bgcolor"); it != tag.attributes.end()) doc_.background = ParseColour(it->second);
        if (auto it = tag.attributes.find(u"text"); it != tag.attributes.end()) doc_.text = ParseColour(it->second);
        if (auto it = tag.attributes.find(u"style"); it != tag.attributes.end()) {
            auto css = ParseStyle(it->second);
            if (auto c = css.find(u"background-color"); c != css.end()) doc_.background = ParseColour(c->second);
            if (auto c = css.find(u"color"); c != css.end()) doc_.text = ParseColour(c->second);
            if (auto c = css.find(u"font-family"); c != css.end()) doc_.fontFace = c->second;
            if (auto c = css.find(u"font-size"); c != css.end()) {
                std::u16string v = ToLower(c->second);
                int number = _wtoi(v.c_str());
                if (number > 0) doc_.fontPoints = v.find(u"px") != std::u16string::npos ? (number * 3 + 2) / 4 : number;
            }
        }
        if (auto a = AlignOf(tag)) doc_.align = *a;
        block_.align = CurrentAlign();
    }

    Document doc_;
    Block block_;
    bool inRow_ = false;
    std::vector<Open> open_;
    std::vector<Align> aligns_;
    std::u16string skipUntil_;
};

}  // namespace

std::optional<COLORREF> ParseColour(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text[0] == u'#') {
        std::u16string_view hex = text.substr(1);
        auto digit = [](char16_t c) {
            return c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
        };
        for (char16_t c : hex)
            if (digit(c) < 0) return std::nullopt;
        if (hex.size() == 3) return RGB(digit(hex[0]) * 17, digit(hex[1]) * 17, digit(hex[2]) * 17);
        if (hex.size() == 6)
            return RGB(digit(hex[0]) * 16 + digit(hex[1]), digit(hex[2]) * 16 + digit(hex[3]), digit(hex[4]) * 16 + digit(hex[5]));
        return std::nullopt;
    }
    static const std::map<std::u16string, COLORREF> names = {
        {u"black", RGB(0, 0, 0)},        {u"white", RGB(255, 255, 255)}, {u"red", RGB(255, 0, 0)},
        {u"green", RGB(0, 128, 0)},      {u"blue", RGB(0, 0, 255)},      {u"yellow", RGB(255, 255, 0)},
        {u"gray", RGB(128, 128, 128)},   {u"grey", RGB(128, 128, 128)},  {u"silver", RGB(192, 192, 192)},
        {u"maroon", RGB(128, 0, 0)},     {u"navy", RGB(0, 0, 128)},      {u"olive", RGB(128, 128, 0)},
        {u"purple", RGB(128, 0, 128)},   {u"teal", RGB(0, 128, 128)},    {u"aqua", RGB(0, 255, 255)},
        {u"fuchsia", RGB(255, 0, 255)},  {u"lime", RGB(0, 255, 0)},      {u"orange", RGB(255, 165, 0)}};
    auto it = names.find(ToLower(text));
    if (it == names.end()) return std::nullopt;
    return it->second;
}

Document ParseHtml(std::u16string_view html) { return Builder().Build(html); }

}  // namespace skyvane::htmlview
