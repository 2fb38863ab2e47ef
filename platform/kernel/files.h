// Files, folders and special folders of the device.
//
// Paths are device paths ("\Application Data\SkyvaneWeather\RSXX0091.bin")
// mapped below the device root by skyvane::HostPath, or Linux absolute paths.
// Names compare without case. Share modes are kept between every two opens of
// a file, in one process or in several: an open fails with
// ERROR_SHARING_VIOLATION when its access is denied by an earlier open's share
// mode or its share mode denies an earlier open's access, and may be retried.
#pragma once

#include <utility>

#include "platform/base/hwnd.h"
#include "platform/base/unique_resource.h"
#include "platform/kernel/handles.h"
#include "platform/base/win_types.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#ifndef ERROR_NO_MORE_FILES
#define ERROR_NO_MORE_FILES 18L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif

// Special folders.
#define CSIDL_PERSONAL 0x0005
#define CSIDL_STARTUP 0x0007
#define CSIDL_APPDATA 0x001a
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026

// The handheld platform's layout: dwOID where the desktop has reserved fields,
// and no short name.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

// dwDesiredAccess 0 opens for attributes only and takes part in no share
// check. CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with
// ERROR_ALREADY_EXISTS as last error (0 otherwise). A file is truncated only
// after its share check passed, so a refused writer never harms a reader.
// Folders cannot be opened (ERROR_ACCESS_DENIED). lpSecurityAttributes,
// dwFlagsAndAttributes and hTemplateFile are accepted and ignored.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// TRUE with *lpNumberOfBytesRead 0 at the end of the file. lpOverlapped must be NULL.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              void* lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               void* lpOverlapped);
// Returns the low 32 bits of the new position (the high ones in
// *lpDistanceToMoveHigh when given). INVALID_SET_FILE_POINTER is also a valid
// low part, so the last error is set to NO_ERROR on success; a position before
// the start fails with ERROR_NEGATIVE_SEEK.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod);
// Same convention: NO_ERROR as last error on success.
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
BOOL SetEndOfFile(HANDLE hFile);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime, LPFILETIME lpLastWriteTime);

// An open file cannot be deleted or moved (ERROR_SHARING_VIOLATION); a folder
// cannot be deleted with DeleteFileW (ERROR_ACCESS_DENIED).
BOOL DeleteFileW(LPCWSTR lpFileName);
// Files and folders; fails with ERROR_ALREADY_EXISTS when the new name exists.
BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
#define MOVEFILE_REPLACE_EXISTING 0x00000001
// With MOVEFILE_REPLACE_EXISTING a file replaces an existing file of the new
// name in one step (ERROR_SHARING_VIOLATION while either is open, as for a
// delete); without it, as MoveFileW.
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
// ERROR_FILE_EXISTS when bFailIfExists and the target exists. The copy keeps
// the source's last write time.
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
// FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_READONLY for what
// cannot be written, FILE_ATTRIBUTE_NORMAL for other files;
// INVALID_FILE_ATTRIBUTES when missing.
DWORD GetFileAttributesW(LPCWSTR lpFileName);
BOOL CreateDirectoryW(LPCWSTR lpPathName, void* lpSecurityAttributes);
BOOL RemoveDirectoryW(LPCWSTR lpPathName);

// The last component of lpFileName may hold the wildcards * and ?; matching
// ignores case, and a pattern ending in ".*" also matches names without an
// extension ("*.*" matches every name). "." and ".." are never reported.
// No match gives ERROR_FILE_NOT_FOUND, a missing folder ERROR_PATH_NOT_FOUND.
// Entries come in name order and are those present at FindFirstFileW.
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

// Writes the device path of a special folder (CSIDL_APPDATA "\Application
// Data", CSIDL_PERSONAL "\My Documents", CSIDL_STARTUP "\Windows\StartUp",
// CSIDL_WINDOWS "\Windows", CSIDL_PROGRAM_FILES "\Program Files") into
// lpszPath, which holds MAX_PATH characters. With fCreate the folder is
// created when missing; without it a missing folder gives FALSE. Any other
// csidl gives FALSE.
BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
inline BOOL SHGetSpecialFolderPathW(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate) {
    return SHGetSpecialFolderPath(hwndOwner, lpszPath, nFolder, fCreate);
}

namespace skyvane {
// A kernel handle closed with CloseFn; closing keeps the caller's last error.
template <BOOL (*CloseFn)(HANDLE)>
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) {
        DWORD error = GetLastError();
        CloseFn(h);
        SetLastError(error);
    }
};
template <BOOL (*CloseFn)(HANDLE)>
using BasicUniqueHandle = UniqueResource<KernelHandleTraits<CloseFn>>;

// A file, process or thread handle (CreateFileW, CreateProcessW).
using UniqueHandle = BasicUniqueHandle<CloseHandle>;
// A FindFirstFileW handle.
using UniqueFindHandle = BasicUniqueHandle<FindClose>;
}  // namespace skyvane
