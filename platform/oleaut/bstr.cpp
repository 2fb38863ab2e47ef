#include "platform/oleaut/bstr.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

std::atomic<long> g_liveBstrs{0};

// The byte length prefix sits just before the characters; the allocation
// also holds a two-byte terminator (and a spare byte for odd lengths).
BSTR AllocBytes(const void* source, size_t byteLen) {
    if (byteLen > std::numeric_limits<UINT>::max() - 8) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(DWORD) + byteLen + 3));
    if (!block) return nullptr;
    DWORD len = DWORD(byteLen);
    std::memcpy(block, &len, sizeof len);
    unsigned char* chars = block + sizeof(DWORD);
    if (source)
        std::memcpy(chars, source, byteLen);
    else
        std::memset(chars, 0, byteLen);
    chars[byteLen] = chars[byteLen + 1] = chars[byteLen + 2] = 0;
    g_liveBstrs.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<BSTR>(chars);
}

size_t Terminated(const OLECHAR* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return AllocBytes(psz, Terminated(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT len) {
    if (len > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) return nullptr;
    return AllocBytes(pch, size_t(len) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocBytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    BSTR fresh = nullptr;
    if (psz) {
        fresh = SysAllocString(psz);
        if (!fresh) return FALSE;
    }
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (!pbstr) return FALSE;
    // psz may point into *pbstr itself, so copy before freeing.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstr) {
    if (!bstr) return;
    g_liveBstrs.fetch_sub(1, std::memory_order_relaxed);
    std::free(reinterpret_cast<unsigned char*>(bstr) - sizeof(DWORD));
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    DWORD len;
    std::memcpy(&len, reinterpret_cast<unsigned char*>(bstr) - sizeof(DWORD), sizeof len);
    return len;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

namespace skyvane {
long LiveBstrCount() { return g_liveBstrs.load(std::memory_order_relaxed); }
}  // namespace skyvane
