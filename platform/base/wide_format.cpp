#include "platform/base/wide_format.h"

#include <locale.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/kernel/nls/text_conv.h"

namespace {

struct Spec {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = -1;
    int precision = -1;
    enum { None, Short, Long, LongLong, Wide, Narrow } length = None;
};

void Pad(std::u16string& out, size_t n, char16_t c) { out.append(n, c); }

// Places body in the field: right-aligned by default, zero padding goes after
// the sign or the 0x prefix.
void Emit(std::u16string& out, const Spec& sp, std::u16string_view prefix, std::u16string_view body,
          bool numeric) {
    size_t len = prefix.size() + body.size();
    size_t width = sp.width > 0 ? size_t(sp.width) : 0;
    size_t fill = width > len ? width - len : 0;
    if (sp.left) {
        out.append(prefix);
        out.append(body);
        Pad(out, fill, u' ');
    } else if (sp.zero && numeric) {
        out.append(prefix);
        Pad(out, fill, u'0');
        out.append(body);
    } else {
        Pad(out, fill, u' ');
        out.append(prefix);
        out.append(body);
    }
}

std::u16string Ascii(const char* s) {
    std::u16string r;
    for (; *s; ++s) r.push_back(char16_t(static_cast<unsigned char>(*s)));
    return r;
}

void FormatInteger(std::u16string& out, const Spec& sp, char conv, unsigned long long magnitude, bool negative) {
    const char* digits = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = (conv == 'x' || conv == 'X' || conv == 'p') ? 16 : conv == 'o' ? 8 : 10;
    std::u16string body;
    while (magnitude) {
        body.insert(body.begin(), char16_t(digits[magnitude % base]));
        magnitude /= base;
    }
    if (sp.precision >= 0) {
        if (body.size() < size_t(sp.precision)) body.insert(0, size_t(sp.precision) - body.size(), u'0');
    } else if (body.empty()) {
        body = u"0";
    }
    std::u16string prefix;
    if (negative)
        prefix = u"-";
    else if ((conv == 'd' || conv == 'i') && sp.plus)
        prefix = u"+";
    else if ((conv == 'd' || conv == 'i') && sp.space)
        prefix = u" ";
    if (sp.alt && base == 16 && !body.empty() && body != u"0") prefix += conv == 'X' ? u"0X" : u"0x";
    if (sp.alt && base == 8 && body[0] != u'0') body.insert(body.begin(), u'0');
    Spec s = sp;
    if (sp.precision >= 0) s.zero = false;
    Emit(out, s, prefix, body, true);
}

void FormatFloat(std::u16string& out, const Spec& sp, char conv, double v) {
    // The "C" locale's decimal point, whatever the process locale says.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char fmt[32];
    char* f = fmt;
    *f++ = '%';
    if (sp.left) *f++ = '-';
    if (sp.plus) *f++ = '+';
    if (sp.space) *f++ = ' ';
    if (sp.zero) *f++ = '0';
    if (sp.alt) *f++ = '#';
    if (sp.width >= 0) f += std::snprintf(f, 12, "%d", sp.width);
    if (sp.precision >= 0) f += std::snprintf(f, 13, ".%d", sp.precision);
    *f++ = conv;
    *f = 0;
    locale_t old = uselocale(cLocale);
    int n = std::snprintf(nullptr, 0, fmt, v);
    std::string text(size_t(n > 0 ? n : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, fmt, v);
    uselocale(old);
    out += Ascii(text.c_str());
}

}  // namespace

namespace skyvane {

std::u16string VFormatW(const WCHAR* fmt, va_list ap) {
    std::u16string out;
    if (!fmt) return out;
    va_list args;
    va_copy(args, ap);
    for (const WCHAR* p = fmt; *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.push_back(u'%');
            continue;
        }
        Spec sp;
        for (;; ++p) {
            if (*p == u'-') sp.left = true;
            else if (*p == u'+') sp.plus = true;
            else if (*p == u' ') sp.space = true;
            else if (*p == u'0') sp.zero = true;
            else if (*p == u'#') sp.alt = true;
            else break;
        }
        if (*p == u'*') {
            sp.width = va_arg(args, int);
            if (sp.width < 0) {
                sp.left = true;
                sp.width = -sp.width;
            }
            ++p;
        } else {
            for (; *p >= u'0' && *p <= u'9'; ++p) sp.width = (sp.width < 0 ? 0 : sp.width) * 10 + (*p - u'0');
        }
        if (*p == u'.') {
            ++p;
            sp.precision = 0;
            if (*p == u'*') {
                sp.precision = va_arg(args, int);
                if (sp.precision < 0) sp.precision = -1;
                ++p;
            } else {
                for (; *p >= u'0' && *p <= u'9'; ++p) sp.precision = sp.precision * 10 + (*p - u'0');
            }
        }
        if (*p == u'h') {
            sp.length = Spec::Short;
            ++p;
        } else if (*p == u'l') {
            ++p;
            if (*p == u'l') {
                sp.length = Spec::LongLong;
                ++p;
            } else {
                sp.length = Spec::Long;
            }
        } else if (*p == u'w') {
            sp.length = Spec::Wide;
            ++p;
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            sp.length = Spec::LongLong;
            p += 3;
        } else if (*p == u'I' && p[1] == u'3' && p[2] == u'2') {
            p += 3;
        }
        WCHAR conv = *p;
        if (!conv) break;
        switch (conv) {
            case u'd':
            case u'i': {
                long long v = sp.length == Spec::LongLong ? va_arg(args, long long)
                              : sp.length == Spec::Short  ? (short)va_arg(args, int)
                                                          : va_arg(args, int);
                unsigned long long mag = v < 0 ? 0ull - (unsigned long long)v : (unsigned long long)v;
                FormatInteger(out, sp, char(conv), mag, v < 0);
                break;
            }
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                unsigned long long v = sp.length == Spec::LongLong ? va_arg(args, unsigned long long)
                                       : sp.length == Spec::Short  ? (unsigned short)va_arg(args, unsigned)
                                                                   : va_arg(args, unsigned);
                FormatInteger(out, sp, char(conv), v, false);
                break;
            }
            case u'p': {
                Spec ps = sp;
                ps.precision = int(sizeof(void*) * 2);
                FormatInteger(out, ps, 'X', (unsigned long long)(uintptr_t)va_arg(args, void*), false);
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
                FormatFloat(out, sp, char(conv), va_arg(args, double));
                break;
            case u'c':
            case u'C': {
                int c = va_arg(args, int);
                char16_t ch;
                if ((conv == u'C') != (sp.length == Spec::Short)) {
                    char narrow = char(c);
                    std::u16string w = FromAnsi(std::string_view(&narrow, 1));
                    ch = w.empty() ? u'?' : w[0];
                } else {
                    ch = char16_t(c);
                }
                Emit(out, sp, u"", std::u16string_view(&ch, 1), false);
                break;
            }
            case u's':
            case u'S': {
                bool narrow = (conv == u'S' && sp.length != Spec::Long && sp.length != Spec::Wide) ||
                              (conv == u's' && sp.length == Spec::Short);
                std::u16string text;
                if (narrow) {
                    const char* s = va_arg(args, const char*);
                    if (!s) {
                        text = u"(null)";
                    } else {
                        size_t n = 0;
                        while (s[n] && (sp.precision < 0 || n < size_t(sp.precision))) ++n;
                        text = FromAnsi(std::string_view(s, n));
                    }
                } else {
                    const WCHAR* s = va_arg(args, const WCHAR*);
                    if (!s) s = u"(null)";
                    size_t n = 0;
                    while (s[n] && (sp.precision < 0 || n < size_t(sp.precision))) ++n;
                    text.assign(s, n);
                }
                if (sp.precision >= 0 && text.size() > size_t(sp.precision)) text.resize(size_t(sp.precision));
                Emit(out, sp, u"", text, false);
                break;
            }
            case u'n':
                // Writing through %n is refused, as hardened C libraries do.
                (void)va_arg(args, int*);
                break;
            default:
                // An unknown conversion is printed as it stands.
                out.push_back(u'%');
                out.push_back(conv);
                break;
        }
    }
    va_end(args);
    return out;
}

std::u16string FormatW(const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::u16string r = VFormatW(fmt, args);
    va_end(args);
    return r;
}

}  // namespace skyvane

int _vsnwprintf(WCHAR* buf, size_t cchMax, const WCHAR* fmt, va_list args) {
    std::u16string text = skyvane::VFormatW(fmt, args);
    if (!buf || cchMax == 0) return -1;
    if (text.size() >= cchMax) {
        std::memcpy(buf, text.data(), (cchMax - 1) * sizeof(WCHAR));
        buf[cchMax - 1] = 0;
        return -1;
    }
    std::memcpy(buf, text.data(), text.size() * sizeof(WCHAR));
    buf[text.size()] = 0;
    return int(text.size());
}

int _snwprintf(WCHAR* buf, size_t cchMax, const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int r = _vsnwprintf(buf, cchMax, fmt, args);
    va_end(args);
    return r;
}

int wsprintfW(WCHAR* buf, const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int r = _vsnwprintf(buf, 1025, fmt, args);
    va_end(args);
    // The platform cuts at 1024 characters and reports what it wrote.
    return r < 0 ? 1024 : r;
}
