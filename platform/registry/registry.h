// The registry: keys and typed values under HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT, kept in one SQLite database per
// device root and shared safely by every process of the device.
#pragma once

#include "platform/base/unique_resource.h"
#include "platform/base/win_types.h"

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_OPTION_NON_VOLATILE 0
#define REG_OPTION_VOLATILE 1
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// RegSetValueExW with no data but a non-zero size.
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

// Every function answers a Win32 error number (ERROR_SUCCESS on success).
// Names of keys and values compare case-insensitively and keep the case they
// were created with. A NULL or empty value name is the key's default value.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
// lpData NULL with lpcbData set asks for the size. A buffer too small gives
// ERROR_MORE_DATA with the needed size in *lpcbData. Type and bytes come back
// exactly as stored.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
// REG_SZ data is stored as given; callers pass the terminator in cbData.
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes the key with all its subkeys and values (as the handheld platform does).
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
// Subkeys in name order (case-insensitive); ERROR_NO_MORE_ITEMS past the last.
// *lpcchName is in characters and excludes the terminator on return.
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPWSTR lpClass,
                   LPDWORD lpcchClass, FILETIME* lpftLastWriteTime);
// Values in the order they were first written.
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      FILETIME* lpftLastWriteTime);
LONG RegCloseKey(HKEY hKey);
LONG RegFlushKey(HKEY hKey);

namespace skyvane {
struct HkeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle key) { return key != nullptr; }
    static void Close(Handle key) { RegCloseKey(key); }
};
// Owns an open key and closes it (RegCloseKey) when it goes.
using UniqueHkey = UniqueResource<HkeyTraits>;
}  // namespace skyvane
