#include "net/strings.h"

namespace skyvane::net {

const char16_t* LoadNetString(unsigned id) {
    switch (id) {
        case 3: return kStringHttpError;
        case 4: return kStringUpdateFailed;
        case 12: return kStringRequestInfo;
        case 13: return kStringTransferCoding;
        case 14: return kStringContentCoding;
        case 15: return kStringDocumentTooLarge;
        default: return nullptr;
    }
}

}  // namespace skyvane::net
