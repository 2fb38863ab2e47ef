// Name resolution: getaddrinfo and freeaddrinfo with the platform's list
// layout and error numbers.
#include <cstdlib>
#include <cstring>

#include "platform/winsock/host.h"
#include "platform/winsock/socket_table.h"
#include "platform/winsock/winsock.h"

using namespace skyvane::winsock;

namespace {

// One entry of the list: the entry, its address and its canonical name in one
// allocation, so that freeaddrinfo frees each entry with one call.
ADDRINFOA* NewEntry(const HostAddress& found) {
    const size_t nameSize = found.canonicalName.empty() ? 0 : found.canonicalName.size() + 1;
    const size_t addressAt = (sizeof(ADDRINFOA) + 7) & ~size_t(7);
    void* block = std::calloc(1, addressAt + found.address.size() + nameSize);
    if (!block) return nullptr;
    auto* entry = static_cast<ADDRINFOA*>(block);
    unsigned char* bytes = static_cast<unsigned char*>(block);
    entry->ai_flags = found.flags;
    entry->ai_family = found.family;
    entry->ai_socktype = found.socktype;
    entry->ai_protocol = found.protocol;
    entry->ai_addrlen = found.address.size();
    entry->ai_addr = reinterpret_cast<SOCKADDR*>(bytes + addressAt);
    std::memcpy(entry->ai_addr, found.address.data(), found.address.size());
    if (nameSize) {
        entry->ai_canonname = reinterpret_cast<char*>(bytes + addressAt + found.address.size());
        std::memcpy(entry->ai_canonname, found.canonicalName.c_str(), nameSize);
    }
    return entry;
}

}  // namespace

int getaddrinfo(const char* pNodeName, const char* pServiceName, const ADDRINFOA* pHints, PADDRINFOA* ppResult) {
    if (!Started()) return WSANOTINITIALISED;
    if (!ppResult) {
        SetLastError(WSAEINVAL);
        return WSAEINVAL;
    }
    *ppResult = nullptr;
    std::vector<HostAddress> found;
    const ADDRINFOA none{};
    const ADDRINFOA& hints = pHints ? *pHints : none;
    int error = HostResolve(pNodeName, pServiceName, hints.ai_flags, hints.ai_family, hints.ai_socktype,
                            hints.ai_protocol, &found);
    ADDRINFOA* first = nullptr;
    ADDRINFOA** link = &first;
    for (const HostAddress& address : found) {
        if (error) break;
        ADDRINFOA* entry = NewEntry(address);
        if (!entry) {
            freeaddrinfo(first);
            first = nullptr;
            error = WSA_NOT_ENOUGH_MEMORY;
            break;
        }
        *link = entry;
        link = &entry->ai_next;
    }
    if (error) {
        SetLastError(static_cast<DWORD>(error));
        return error;
    }
    *ppResult = first;
    return 0;
}

void freeaddrinfo(PADDRINFOA pAddrInfo) {
    while (pAddrInfo) {
        ADDRINFOA* next = pAddrInfo->ai_next;
        std::free(pAddrInfo);
        pAddrInfo = next;
    }
}
