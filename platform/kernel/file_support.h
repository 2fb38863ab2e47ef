// Helpers shared by the platform's file functions: error numbers from errno,
// and file times and attributes from stat.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <string>

#include "platform/base/win_types.h"

namespace skyvane {
// The Win32 error number for an errno value.
DWORD Win32ErrorFromErrno(int err);
// As above; ENOENT becomes ERROR_FILE_NOT_FOUND when the folder of hostPath
// exists and ERROR_PATH_NOT_FOUND when it does not.
DWORD Win32ErrorFromPathErrno(int err, const std::string& hostPath);
FILETIME FileTimeFromTimespec(const struct timespec& ts);
DWORD AttributesFromStat(const struct stat& st, const std::string& hostPath);
// The birth time where the file system keeps one, else the last write time.
FILETIME CreationTime(int dirfd, const char* path, int flags, const struct stat& st);
}  // namespace skyvane
