// The exports of an in-process COM server, written once for every server of
// the system. In one source file of the server:
//
//   constexpr skyvane::ClassEntry kClasses[] = {
//       skyvane::ClassEntry::Of<Thing>(CLSID_Thing),
//   };
//   HRESULT Register(std::u16string_view modulePath);    // the server's own
//   HRESULT Unregister(std::u16string_view modulePath);
//
//   SKYVANE_SERVER_EXPORTS(kClasses, Register, Unregister)
//   SKYVANE_SERVER_EXPORT_ALIAS(DllRegisterSkyvane, DllRegisterServer)  // if wanted
//
// defines, with C linkage and default visibility, DllGetClassObject (the
// factory of a class in the table, else CLASS_E_CLASSNOTAVAILABLE),
// DllCanUnloadNow (S_OK once the library's objects and server locks are all
// gone) and DllRegisterServer / DllUnregisterServer, which call the server's
// functions with the full path of the library file (its %MODULE%). No
// exception leaves an export: one is written to the "com" developer log and
// answered as HresultOf does (E_OUTOFMEMORY for bad_alloc, else E_FAIL).
#pragma once

#include <string_view>

#include "platform/com/com_object.h"
#include "platform/com/registrar.h"

namespace skyvane {

// The body of DllRegisterServer and DllUnregisterServer: runs fn with the path
// of the library file that holds anchor.
template <class F>
SKYVANE_MODULE_LOCAL HRESULT RunServerRegistration(const char* exportName, const void* anchor, F&& fn) noexcept {
    return HresultOf(exportName, [&] { return fn(std::u16string_view(ModulePathOf(anchor))); });
}

}  // namespace skyvane

#define SKYVANE_SERVER_EXPORTS(classTable, registerServer, unregisterServer)                                  \
    extern "C" {                                                                                              \
    SKYVANE_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {                     \
        return ::skyvane::GetClassObjectFromTable(classTable, rclsid, riid, ppv);                             \
    }                                                                                                         \
    SKYVANE_EXPORT HRESULT DllCanUnloadNow() { return ::skyvane::ModuleCanUnloadNow(); }                      \
    SKYVANE_EXPORT HRESULT DllRegisterServer() {                                                              \
        static const char anchor = 0; /* an address inside this library */                                   \
        return ::skyvane::RunServerRegistration("DllRegisterServer", &anchor, registerServer);                \
    }                                                                                                         \
    SKYVANE_EXPORT HRESULT DllUnregisterServer() {                                                            \
        static const char anchor = 0;                                                                         \
        return ::skyvane::RunServerRegistration("DllUnregisterServer", &anchor, unregisterServer);            \
    }                                                                                                         \
    }

// Exports name as a second name of one of the entries above, with the same
// address (DllRegisterSkyvane, which the package installer calls, is
// DllRegisterServer).
#define SKYVANE_SERVER_EXPORT_ALIAS(name, target) \
    extern "C" SKYVANE_EXPORT HRESULT name() __attribute__((alias(#target)));
