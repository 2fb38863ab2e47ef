// A registry tree as sorted lines, for comparing what a registration wrote
// with what it must write: "path" for a key, "path|name=value" for a value
// ("@" the default value; texts as they are, other types as "<type N>").
#pragma once

#include <set>
#include <string>

#include "platform/registry/registry.h"

namespace skyvane::test {

std::set<std::string> DumpRegistry(HKEY root);
// The lines of a that b lacks.
std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b);
std::string Join(const std::set<std::string>& lines);

// One REG_DWORD value below HKEY_LOCAL_MACHINE, or missing when the key or
// value is absent or not a DWORD.
DWORD MachineDword(const char16_t* path, const char16_t* name, DWORD missing);

}  // namespace skyvane::test
