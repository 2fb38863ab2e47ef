// Files on the device: opening with share modes, reading, writing, and the
// operations on names (delete, move, copy, attributes, folders).
//
// Share modes live in open file description locks (F_OFD_SETLK) on four bytes
// far past any real file content. An open holds a shared lock on the byte of
// each access it has (read, write) and of each access it denies; it conflicts
// with another open when one holds an access byte whose deny byte the other
// holds. Because these locks belong to the open description rather than to the
// process, two opens in one process see each other exactly as two processes
// do. Every lock taken is shared, so taking one never blocks: an open first
// takes its own bytes and then looks for conflicting bytes held by others. Of
// two conflicting opens racing each other at least one sees the other and
// fails, never both succeed; the loser gets ERROR_SHARING_VIOLATION and may
// retry.

#include "platform/kernel/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/kernel/device_root.h"
#include "platform/kernel/file_support.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/log.h"

namespace skyvane {

DWORD Win32ErrorFromErrno(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EAGAIN: return ERROR_SHARING_VIOLATION;
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case EIO: return ERROR_GEN_FAILURE;
    default: return ERROR_GEN_FAILURE;
    }
}

DWORD Win32ErrorFromPathErrno(int err, const std::string& hostPath) {
    if (err != ENOENT) return Win32ErrorFromErrno(err);
    // The platform tells a missing file in an existing folder from a missing folder.
    size_t slash = hostPath.find_last_of('/');
    std::string folder = slash == std::string::npos || slash == 0 ? std::string("/") : hostPath.substr(0, slash);
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

FILETIME FileTimeFromTimespec(const struct timespec& ts) {
    // 100-ns ticks between 1601-01-01 and 1970-01-01.
    constexpr LONGLONG kEpochDifference = 116444736000000000LL;
    LONGLONG ticks = kEpochDifference + static_cast<LONGLONG>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100;
    if (ticks < 0) ticks = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(ticks) >> 32);
    return ft;
}

DWORD AttributesFromStat(const struct stat& st, const std::string& hostPath) {
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return access(hostPath.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

FILETIME CreationTime(int dirfd, const char* path, int flags, const struct stat& st) {
    struct statx sx;
    if (statx(dirfd, path, flags, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        struct timespec ts{sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec};
        return FileTimeFromTimespec(ts);
    }
    return FileTimeFromTimespec(st.st_mtim);  // file systems without a birth time
}

}  // namespace skyvane

namespace {

using skyvane::Win32ErrorFromErrno;
using skyvane::Win32ErrorFromPathErrno;

constexpr off_t kShareLockBase = 0x7FFFFFFFFFFFFF00LL;
enum ShareByte { kHasRead = 0, kHasWrite = 1, kDeniesRead = 2, kDeniesWrite = 3, kShareByteCount = 4 };

struct flock ShareLock(short type, int byte, off_t length = 1) {
    struct flock lk{};
    lk.l_type = type;
    lk.l_whence = SEEK_SET;
    lk.l_start = kShareLockBase + byte;
    lk.l_len = length;
    return lk;
}

// Another open description holds a lock on one of the bytes [byte, byte + length).
bool HeldByOthers(int fd, int byte, off_t length = 1) {
    struct flock lk = ShareLock(F_WRLCK, byte, length);
    return fcntl(fd, F_OFD_GETLK, &lk) == 0 && lk.l_type != F_UNLCK;
}

// Takes this open's share bytes, then checks for opens it conflicts with.
DWORD AcquireShare(int fd, DWORD access, DWORD share) {
    const bool reads = access & GENERIC_READ, writes = access & GENERIC_WRITE;
    const bool deniesRead = !(share & FILE_SHARE_READ), deniesWrite = !(share & FILE_SHARE_WRITE);
    const std::pair<bool, int> held[] = {
        {reads, kHasRead}, {writes, kHasWrite}, {deniesRead, kDeniesRead}, {deniesWrite, kDeniesWrite}};
    for (auto [wanted, byte] : held) {
        if (!wanted) continue;
        struct flock lk = ShareLock(F_RDLCK, byte);
        if (fcntl(fd, F_OFD_SETLK, &lk) != 0) {
            if (errno == EAGAIN || errno == EACCES) return ERROR_SHARING_VIOLATION;
            // A file system without locks: share modes cannot be kept there.
            SKYVANE_LOG("platform", "share lock unavailable (errno %d); opening without share check", errno);
            return ERROR_SUCCESS;
        }
    }
    if ((reads && HeldByOthers(fd, kDeniesRead)) || (writes && HeldByOthers(fd, kDeniesWrite)) ||
        (deniesRead && HeldByOthers(fd, kHasRead)) || (deniesWrite && HeldByOthers(fd, kHasWrite)))
        return ERROR_SHARING_VIOLATION;
    return ERROR_SUCCESS;
}

class FileObject final : public skyvane::KernelObject {
public:
    FileObject(int fd, DWORD access) : fd_(fd), access_(access) {}
    ~FileObject() override { close(fd_); }  // also drops the share locks
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int fd() const { return fd_; }
    bool canRead() const { return access_ & GENERIC_READ; }
    bool canWrite() const { return access_ & GENERIC_WRITE; }

private:
    int fd_;
    DWORD access_;
};

// Owns a descriptor until it is handed to a FileObject.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

// Opens hostPath with the platform's access, share and creation rules. On
// failure returns -1 with *error set; *existed tells whether the file was
// there before.
int OpenShared(const std::string& hostPath, DWORD access, DWORD share, DWORD disposition, DWORD* error,
               bool* existed) {
    int flags = O_CLOEXEC;
    // Share locks are shared locks, which need a readable descriptor, so a
    // writer opens for reading too; ReadFile still checks the handle's access.
    flags |= (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
    bool truncate = false;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!(access & GENERIC_WRITE)) {
            *error = ERROR_INVALID_PARAMETER;
            return -1;
        }
        truncate = true;
        break;
    default: *error = ERROR_INVALID_PARAMETER; return -1;
    }

    struct stat before;
    *existed = stat(hostPath.c_str(), &before) == 0;
    if (*existed && S_ISDIR(before.st_mode)) {
        *error = ERROR_ACCESS_DENIED;
        return -1;
    }
    Fd fd(open(hostPath.c_str(), flags, 0666));
    if (fd.fd < 0) {
        *error = Win32ErrorFromPathErrno(errno, hostPath);
        return -1;
    }
    if (access & (GENERIC_READ | GENERIC_WRITE)) {
        if (DWORD e = AcquireShare(fd.fd, access, share); e != ERROR_SUCCESS) {
            *error = e;
            return -1;
        }
    }
    if (truncate && ftruncate(fd.fd, 0) != 0) {
        *error = Win32ErrorFromErrno(errno);
        return -1;
    }
    *error = ERROR_SUCCESS;
    return fd.release();
}

FileObject* FileFromHandle(HANDLE h) { return skyvane::HandleAs<FileObject>(h); }

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// An open that takes part in share checks holds one of the share bytes.
bool InUse(const std::string& hostPath) {
    Fd fd(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return fd.fd >= 0 && HeldByOthers(fd.fd, 0, kShareByteCount);
}

bool CopyContents(int from, int to) {
    char buf[65536];
    for (;;) {
        ssize_t n = read(from, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buf + done, n - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
    }
}

}  // namespace

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string host = skyvane::HostPath(lpFileName);
    DWORD error = ERROR_SUCCESS;
    bool existed = false;
    int fd = OpenShared(host, dwDesiredAccess, dwShareMode, dwCreationDisposition, &error, &existed);
    if (fd < 0) {
        SKYVANE_LOG("platform", "CreateFileW %s failed: %u", host.c_str(), static_cast<unsigned>(error));
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = skyvane::MakeHandle(std::make_unique<FileObject>(fd, dwDesiredAccess));
    bool reportsExisting = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

namespace {

// The body of ReadFile and WriteFile: moves all size bytes, retrying short
// counts and interrupted calls; a read stops early at the end of the file.
// *done is the count moved, also on failure.
template <bool kWrite>
BOOL Transfer(HANDLE hFile, std::conditional_t<kWrite, const char*, char*> buffer, DWORD size, LPDWORD done,
              void* overlapped) {
    if (done) *done = 0;
    FileObject* file = FileFromHandle(hFile);
    if (!file) return FALSE;
    if (overlapped || (!buffer && size)) return Fail(ERROR_INVALID_PARAMETER);
    if (!(kWrite ? file->canWrite() : file->canRead())) return Fail(ERROR_ACCESS_DENIED);
    DWORD total = 0;
    while (total < size) {
        ssize_t n;
        if constexpr (kWrite)
            n = write(file->fd(), buffer + total, size - total);
        else
            n = read(file->fd(), buffer + total, size - total);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 && !kWrite) break;  // end of file
        if (n <= 0) {
            if (done) *done = total;
            return Fail(n < 0 ? Win32ErrorFromErrno(errno) : ERROR_WRITE_FAULT);
        }
        total += static_cast<DWORD>(n);
    }
    if (done) *done = total;
    return TRUE;
}

}  // namespace

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              void* lpOverlapped) {
    return Transfer<false>(hFile, static_cast<char*>(lpBuffer), nNumberOfBytesToRead, lpNumberOfBytesRead,
                           lpOverlapped);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               void* lpOverlapped) {
    return Transfer<true>(hFile, static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                          lpOverlapped);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    FileObject* file = FileFromHandle(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    int whence = dwMoveMethod == FILE_BEGIN ? SEEK_SET : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
               : dwMoveMethod == FILE_END   ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit number.
    LONGLONG distance = lpDistanceToMoveHigh
        ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                static_cast<DWORD>(lDistanceToMove))
        : static_cast<LONGLONG>(lDistanceToMove);
    off_t pos = lseek(file->fd(), static_cast<off_t>(distance), whence);
    if (pos < 0) {
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(pos) >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(pos & 0xFFFFFFFF);
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    FileObject* file = FileFromHandle(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd(), &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(st.st_size & 0xFFFFFFFF);
}

BOOL SetEndOfFile(HANDLE hFile) {
    FileObject* file = FileFromHandle(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
    off_t pos = lseek(file->fd(), 0, SEEK_CUR);
    if (pos < 0 || ftruncate(file->fd(), pos) != 0) return Fail(Win32ErrorFromErrno(errno));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    FileObject* file = FileFromHandle(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
    if (fsync(file->fd()) != 0) return Fail(Win32ErrorFromErrno(errno));
    return TRUE;
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime, LPFILETIME lpLastWriteTime) {
    FileObject* file = FileFromHandle(hFile);
    if (!file) return FALSE;
    struct stat st;
    if (fstat(file->fd(), &st) != 0) return Fail(Win32ErrorFromErrno(errno));
    if (lpCreationTime) *lpCreationTime = skyvane::CreationTime(file->fd(), "", AT_EMPTY_PATH, st);
    if (lpLastAccessTime) *lpLastAccessTime = skyvane::FileTimeFromTimespec(st.st_atim);
    if (lpLastWriteTime) *lpLastWriteTime = skyvane::FileTimeFromTimespec(st.st_mtim);
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
    if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER);
    std::string host = skyvane::HostPath(lpFileName);
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return Fail(Win32ErrorFromPathErrno(errno, host));
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (S_ISREG(st.st_mode) && InUse(host)) return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(host.c_str()) != 0) return Fail(Win32ErrorFromPathErrno(errno, host));
    return TRUE;
}

BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER);
    std::string from = skyvane::HostPath(lpExistingFileName);
    std::string to = skyvane::HostPath(lpNewFileName);
    struct stat src, dst;
    if (lstat(from.c_str(), &src) != 0) return Fail(Win32ErrorFromPathErrno(errno, from));
    if (S_ISREG(src.st_mode) && InUse(from)) return Fail(ERROR_SHARING_VIOLATION);
    if (lstat(to.c_str(), &dst) == 0) {
        if (dst.st_dev != src.st_dev || dst.st_ino != src.st_ino) return Fail(ERROR_ALREADY_EXISTS);
        // The new name finds the file itself: a change of case only, which
        // renames to the new name exactly as written.
        std::u16string_view given = lpNewFileName;
        size_t cut = given.find_last_of(u"\\/");
        std::u16string_view last = cut == std::u16string_view::npos ? given : given.substr(cut + 1);
        to = to.substr(0, to.find_last_of('/') + 1) + skyvane::ToUtf8(last);
        if (to == from) return TRUE;
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system without RENAME_NOREPLACE: the check above has to do.
        if (rename(from.c_str(), to.c_str()) == 0) return TRUE;
        err = errno;
    }
    if (err == EXDEV && S_ISREG(src.st_mode)) {
        // Another Linux file system: files move by copy and delete.
        if (!CopyFileW(lpExistingFileName, lpNewFileName, TRUE)) return FALSE;
        if (unlink(from.c_str()) != 0) return Fail(Win32ErrorFromErrno(errno));
        return TRUE;
    }
    if (err == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    return Fail(Win32ErrorFromPathErrno(err, to));
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return MoveFileW(lpExistingFileName, lpNewFileName);
    if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER);
    std::string from = skyvane::HostPath(lpExistingFileName);
    std::string to = skyvane::HostPath(lpNewFileName);
    struct stat src, dst;
    if (lstat(from.c_str(), &src) != 0) return Fail(Win32ErrorFromPathErrno(errno, from));
    if (!S_ISREG(src.st_mode)) return MoveFileW(lpExistingFileName, lpNewFileName);
    if (InUse(from)) return Fail(ERROR_SHARING_VIOLATION);
    if (lstat(to.c_str(), &dst) == 0) {
        if (S_ISDIR(dst.st_mode)) return Fail(ERROR_ACCESS_DENIED);
        // A file that someone has open cannot be replaced.
        if (S_ISREG(dst.st_mode) && InUse(to)) return Fail(ERROR_SHARING_VIOLATION);
    }
    // rename() replaces in one step: a reader opening the new name sees the
    // old file or the new one, never a part of either.
    if (rename(from.c_str(), to.c_str()) == 0) return TRUE;
    return Fail(Win32ErrorFromPathErrno(errno, to));
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER);
    std::string from = skyvane::HostPath(lpExistingFileName);
    std::string to = skyvane::HostPath(lpNewFileName);
    DWORD error = ERROR_SUCCESS;
    bool existed = false;
    // The source denies writers while it is copied; the target is exclusive.
    Fd in(OpenShared(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error, &existed));
    if (in.fd < 0) return Fail(error);
    Fd out(OpenShared(to, GENERIC_WRITE, 0, bFailIfExists ? CREATE_NEW : CREATE_ALWAYS, &error, &existed));
    if (out.fd < 0) return Fail(error);
    struct stat st;
    if (!CopyContents(in.fd, out.fd) || fstat(in.fd, &st) != 0) {
        DWORD copyError = Win32ErrorFromErrno(errno);
        unlink(to.c_str());  // no half copy is left behind
        return Fail(copyError);
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.fd, times);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string host = skyvane::HostPath(lpFileName);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(Win32ErrorFromPathErrno(errno, host));
        return INVALID_FILE_ATTRIBUTES;
    }
    return skyvane::AttributesFromStat(st, host);
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, void* lpSecurityAttributes) {
    if (!lpPathName) return Fail(ERROR_INVALID_PARAMETER);
    std::string host = skyvane::HostPath(lpPathName);
    if (mkdir(host.c_str(), 0777) == 0) return TRUE;
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
    if (!lpPathName) return Fail(ERROR_INVALID_PARAMETER);
    std::string host = skyvane::HostPath(lpPathName);
    if (host == skyvane::DeviceRoot()) return Fail(ERROR_ACCESS_DENIED);
    if (rmdir(host.c_str()) == 0) return TRUE;
    if (errno == ENOTEMPTY || errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
    if (errno == ENOTDIR) return Fail(ERROR_DIRECTORY);
    return Fail(Win32ErrorFromPathErrno(errno, host));
}
