// The COM registrar: runs the registry scripts that in-process servers carry
// for DllRegisterServer and DllUnregisterServer.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {F9FCC6F4-43CE-4431-8234-ED648982713C} = s 'KWeatherService Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Free'
//               }
//           }
//       }
//   }
//
// Roots HKCR, HKCU, HKLM (or their long names). A key is a name, quoted with
// single quotes ('' stands for one quote) or a run of non-blank characters,
// optionally preceded by NoRemove (kept on unregistration), ForceRemove
// (deleted with everything below it and written afresh on registration,
// deleted whole on unregistration) or Delete (deleted on registration), and
// optionally followed by "= type value" (its default value) and a braced body
// of subkeys and "val name = type value" entries. Types: s (text), d (a
// 32-bit number, decimal or 0x hex), b (hex bytes). %NAME% in names and
// values is replaced from the caller's map (%% is a percent sign); the
// replacement is taken literally, whatever characters it holds.
//
// The whole script is parsed before the registry is touched, so a bad script
// changes nothing. Unregistration removes the values and keys the script
// names; a key without NoRemove is deleted only if nothing else is left in it
// (or whole when it is ForceRemove).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/win_types.h"

namespace skyvane {

enum class RegistrarError {
    None,
    Syntax,              // unexpected token, unterminated quote, missing brace ...
    UnknownRoot,         // a root other than HKCR, HKCU, HKLM
    UnknownReplacement,  // %NAME% not in the map, or an unterminated %
    BadValue,            // a d or b value that does not parse, an unknown type
    TooDeep,             // keys nested deeper than the registrar follows
    Registry,            // a registry function failed (win32 says which)
};

struct RegistrarResult {
    RegistrarError error = RegistrarError::None;
    int line = 0;             // 1-based line of the script where it failed
    LONG win32 = ERROR_SUCCESS;
    std::string message;      // developer text for logs

    bool ok() const { return error == RegistrarError::None; }
    explicit operator bool() const { return ok(); }
    // S_OK; E_INVALIDARG for a script that does not parse; the registry's
    // error as an HRESULT.
    HRESULT ToHresult() const;
};

class Registrar {
public:
    // %name% → value; names compare case-insensitively, a later one replaces
    // an earlier one.
    void AddReplacement(std::u16string_view name, std::u16string_view value);
    void ClearReplacements() { replacements_.clear(); }

    RegistrarResult Register(std::u16string_view script) const;
    RegistrarResult Unregister(std::u16string_view script) const;
    // Parses without touching the registry.
    RegistrarResult Check(std::u16string_view script) const;

    // Scripts kept as UTF-8 text.
    RegistrarResult Register(std::string_view utf8Script) const;
    RegistrarResult Unregister(std::string_view utf8Script) const;

private:
    std::vector<std::pair<std::u16string, std::u16string>> replacements_;
};

// The full path of the shared library (or program) holding `address`, for
// %MODULE%: a server passes the address of one of its own functions.
std::u16string ModulePathOf(const void* address);

}  // namespace skyvane
