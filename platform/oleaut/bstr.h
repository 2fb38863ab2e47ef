// BSTR: a length-prefixed UTF-16 text. The 32-bit byte length sits just before
// the characters, a terminator after them; NULL stands for the empty text.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/base/win_types.h"

typedef OLECHAR* BSTR;

// Copies up to the terminator; NULL gives NULL.
BSTR SysAllocString(const OLECHAR* psz);
// Copies len characters (embedded zeros kept); a NULL source leaves them zero.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT len);
// A BSTR of len bytes; the last odd byte, if any, is kept.
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr with a copy of psz; FALSE on failure (the old text kept).
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
void SysFreeString(BSTR bstr);
// Characters, from the length prefix; 0 for NULL.
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

namespace skyvane {

// Number of BSTRs alive in this process (allocated and not yet freed); tests
// use it to find leaks.
long LiveBstrCount();

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const OLECHAR* s) : p_(SysAllocString(s)) {}
    explicit Bstr(std::u16string_view s) : p_(SysAllocStringLen(s.data(), UINT(s.size()))) {}
    Bstr(const Bstr& o) : p_(o.p_ ? SysAllocStringLen(o.p_, SysStringLen(o.p_)) : nullptr) {}
    Bstr(Bstr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Bstr& operator=(Bstr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Bstr() { SysFreeString(p_); }

    // Takes ownership of a BSTR handed out by someone else.
    static Bstr Attach(BSTR b) {
        Bstr r;
        r.p_ = b;
        return r;
    }
    BSTR Detach() { return std::exchange(p_, nullptr); }
    // For out-parameters: frees the old text and hands out the slot.
    BSTR* Out() {
        SysFreeString(std::exchange(p_, nullptr));
        return &p_;
    }
    // A new copy for handing out through an out-parameter.
    BSTR Copy() const { return p_ ? SysAllocStringLen(p_, SysStringLen(p_)) : nullptr; }

    BSTR get() const { return p_; }
    operator BSTR() const { return p_; }
    UINT Length() const { return SysStringLen(p_); }
    bool Empty() const { return Length() == 0; }
    std::u16string_view View() const { return p_ ? std::u16string_view(p_, SysStringLen(p_)) : std::u16string_view(); }
    std::u16string Str() const { return std::u16string(View()); }

private:
    BSTR p_ = nullptr;
};

// A new BSTR holding the text (never NULL, even when empty): what getters hand out.
inline BSTR AllocBstr(std::u16string_view s) { return SysAllocStringLen(s.data(), UINT(s.size())); }
// The text of a BSTR (NULL is empty).
inline std::u16string_view BstrView(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

}  // namespace skyvane
