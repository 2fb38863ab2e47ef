// Registering an in-process COM server library in the device: the library is
// loaded and its own DllRegisterServer (or DllUnregisterServer) runs, as the
// platform's regsvr tool and the package installer do it.
#pragma once

#include <string>

#include "platform/base/win_types.h"

namespace skyvane {

// path: the library's Linux path; a relative one is made absolute first,
// because the registration records the path it was loaded from. The entry's
// HRESULT, or E_FAIL when the library cannot be loaded or lacks the entry;
// *error (when given) then says why in a sentence.
HRESULT RegisterServerLibrary(const std::string& path, bool unregister, std::string* error = nullptr);

}  // namespace skyvane
