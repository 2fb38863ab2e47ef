#include "net/strings.h"

namespace skyvane::net {

const char16_t* LoadNetString(unsigned id) {
    switch (id) {
        case 3: return kStringHttpError;
        case 4: return kStringUpdateFailed;
        case 12: return kStringRequestInfo;
        default: return nullptr;
    }
}

}  // namespace skyvane::net
