#include "platform/kernel/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/test_util.h"

namespace fs = std::filesystem;
using skyvane::UniqueFindHandle;
using skyvane::UniqueHandle;

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SHARE_RW = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteText(const char16_t* path, const std::string& text) {
    UniqueHandle h(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(h);
    DWORD written = kSentinel;
    ASSERT_TRUE(WriteFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    ASSERT_EQ(written, text.size());
}

std::string ReadText(const char16_t* path) {
    UniqueHandle h(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!h) return "<cannot open>";
    std::string text(1024, '\0');
    DWORD read = kSentinel;
    if (!ReadFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) return "<cannot read>";
    text.resize(read);
    return text;
}

class FilesTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot device_;
    std::string root_ = skyvane::DeviceRoot();
};

TEST_F(FilesTest, CreationDispositions) {
    SetLastError(kSentinel);
    HANDLE h = Open(u"\\My Documents\\a.txt", RW, 0, OPEN_EXISTING);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(u"\\No Such Folder\\a.txt", RW, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    {
        SetLastError(kSentinel);
        UniqueHandle created(Open(u"\\My Documents\\a.txt", RW, 0, CREATE_NEW));
        ASSERT_TRUE(created);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    }
    EXPECT_TRUE(fs::exists(root_ + "/My Documents/a.txt"));
    // A name that exists in another case is the same file.
    EXPECT_EQ(Open(u"\\MY DOCUMENTS\\A.TXT", RW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    WriteText(u"\\My Documents\\a.txt", "hello");
    {
        UniqueHandle h2(Open(u"\\My Documents\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS));
        ASSERT_TRUE(h2);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);  // the existing file is opened, not emptied
        EXPECT_EQ(GetFileSize(h2.get(), nullptr), 5u);
    }
    {
        UniqueHandle h3(Open(u"\\My Documents\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS));
        ASSERT_TRUE(h3);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_EQ(GetFileSize(h3.get(), nullptr), 0u);
    }
    {
        UniqueHandle h4(Open(u"\\My Documents\\b.txt", GENERIC_WRITE, 0, OPEN_ALWAYS));
        ASSERT_TRUE(h4);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    }
    WriteText(u"\\My Documents\\b.txt", "abc");
    EXPECT_EQ(Open(u"\\My Documents\\b.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);  // truncating needs write access
    { UniqueHandle h5(Open(u"\\My Documents\\b.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING)); }
    EXPECT_EQ(fs::file_size(root_ + "/My Documents/b.txt"), 0u);
    EXPECT_EQ(Open(u"\\My Documents\\c.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // Folders are not files.
    EXPECT_EQ(Open(u"\\Windows", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(u"\\Windows", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(u"\\x", GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, ReadWriteSeekAndSize) {
    UniqueHandle h(Open(u"\\data.bin", RW, 0, CREATE_NEW));
    ASSERT_TRUE(h);
    DWORD n = kSentinel;
    ASSERT_TRUE(WriteFile(h.get(), "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);

    char buf[16];
    std::memset(buf, '#', sizeof buf);
    n = kSentinel;
    EXPECT_TRUE(ReadFile(h.get(), buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);  // at the end: success with nothing read

    EXPECT_EQ(SetFilePointer(h.get(), 2, nullptr, FILE_BEGIN), 2u);
    ASSERT_TRUE(ReadFile(h.get(), buf, 3, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "234");
    EXPECT_EQ(SetFilePointer(h.get(), -2, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(h.get(), -1, nullptr, FILE_CURRENT), 7u);
    SetLastError(kSentinel);
    EXPECT_EQ(SetFilePointer(h.get(), -8, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h.get(), 0, nullptr, FILE_CURRENT), 7u);  // unchanged by the failure
    EXPECT_EQ(GetLastError(), NO_ERROR);

    // Past the end, then cut there: the file grows.
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h.get(), 20, &high, FILE_BEGIN), 20u);
    EXPECT_EQ(high, 0);
    ASSERT_TRUE(SetEndOfFile(h.get()));
    DWORD sizeHigh = kSentinel;
    EXPECT_EQ(GetFileSize(h.get(), &sizeHigh), 20u);
    EXPECT_EQ(sizeHigh, 0u);
    SetFilePointer(h.get(), 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h.get()));
    EXPECT_EQ(GetFileSize(h.get(), nullptr), 4u);

    // A 64-bit position through the high part.
    high = 1;
    EXPECT_EQ(SetFilePointer(h.get(), 16, &high, FILE_BEGIN), 16u);
    EXPECT_EQ(high, 1);
    EXPECT_TRUE(FlushFileBuffers(h.get()));
    EXPECT_EQ(SetFilePointer(h.get(), 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, AccessIsCheckedPerHandle) {
    WriteText(u"\\a.txt", "abc");
    char buf[4];
    DWORD n = kSentinel;
    {
        UniqueHandle writer(Open(u"\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
        ASSERT_TRUE(writer);
        EXPECT_FALSE(ReadFile(writer.get(), buf, 3, &n, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(n, 0u);
    }
    UniqueHandle reader(Open(u"\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    n = kSentinel;
    EXPECT_FALSE(WriteFile(reader.get(), "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(SetEndOfFile(reader.get()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Handles that are not files.
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(u"\\*", &data));
    ASSERT_TRUE(find);
    EXPECT_FALSE(ReadFile(find.get(), buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(reader.get()));  // a file is not a find
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Two opens of one file, in the order given, and whether the second is let in.
// The rule: the second is refused when its access is not in the first's share
// mode or the first's access is not in its share mode.
TEST_F(FilesTest, ShareModesBetweenTwoOpensInOneProcess) {
    WriteText(u"\\store.bin", "weather");
    struct Case {
        DWORD access1, share1, access2, share2;
        bool allowed;
        const char* what;
    } cases[] = {
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true, "two readers that deny writers"},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, 0, false, "exclusive writer after a reader"},
        {GENERIC_WRITE, 0, GENERIC_READ, FILE_SHARE_READ, false, "reader after an exclusive writer"},
        {GENERIC_WRITE, 0, GENERIC_WRITE, 0, false, "two exclusive writers"},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, SHARE_RW, true, "reader, then reader sharing all"},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, SHARE_RW, false, "first reader denies the writer"},
        {GENERIC_WRITE, SHARE_RW, GENERIC_READ, FILE_SHARE_READ, false, "second reader denies the writer"},
        {GENERIC_WRITE, SHARE_RW, RW, SHARE_RW, true, "everything shared"},
        {GENERIC_WRITE, FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_WRITE, true, "writers denying only readers"},
        {GENERIC_READ, 0, GENERIC_READ, SHARE_RW, false, "first denies readers"},
        {GENERIC_READ, SHARE_RW, GENERIC_READ, FILE_SHARE_WRITE, false, "second denies the first's reading"},
        {0, 0, GENERIC_WRITE, 0, true, "attribute-only open takes no part"},
        {GENERIC_WRITE, 0, 0, 0, true, "attribute-only open after an exclusive writer"},
    };
    for (const Case& c : cases) {
        UniqueHandle first(Open(u"\\store.bin", c.access1, c.share1, OPEN_EXISTING));
        ASSERT_TRUE(first) << c.what;
        SetLastError(kSentinel);
        UniqueHandle second(Open(u"\\STORE.BIN", c.access2, c.share2, OPEN_EXISTING));
        EXPECT_EQ(second.valid(), c.allowed) << c.what;
        if (!c.allowed) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << c.what;
        }
    }
}

TEST_F(FilesTest, RefusedOpenRetriesAfterCloseAndNeverTruncates) {
    WriteText(u"\\store.bin", "complete file");
    UniqueHandle reader(Open(u"\\store.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    ASSERT_TRUE(reader);
    // A writer that would empty the file is refused before it touches it.
    EXPECT_EQ(Open(u"\\store.bin", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Open(u"\\store.bin", GENERIC_WRITE, SHARE_RW, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fs::file_size(root_ + "/store.bin"), 13u);
    // Nor can the file be deleted, moved or overwritten by a copy while it is open.
    EXPECT_FALSE(DeleteFileW(u"\\store.bin"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFileW(u"\\store.bin", u"\\moved.bin"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    WriteText(u"\\other.bin", "other");
    EXPECT_FALSE(CopyFileW(u"\\other.bin", u"\\store.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    reader.reset();
    UniqueHandle writer(Open(u"\\store.bin", GENERIC_WRITE, 0, CREATE_ALWAYS));
    EXPECT_TRUE(writer);
}

// The sharing partner is another process: a child holds the file while the
// parent tries, then lets go.
TEST_F(FilesTest, ShareModesAcrossProcesses) {
    WriteText(u"\\store.bin", "weather");
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE h = Open(u"\\store.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
        char c = h == INVALID_HANDLE_VALUE ? 'f' : 'o';
        if (write(toParent[1], &c, 1) != 1 || read(toChild[0], &c, 1) != 1) _exit(2);
        CloseHandle(h);
        c = 'c';
        _exit(write(toParent[1], &c, 1) == 1 ? 0 : 3);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, 'o') << "child could not open the file";

    EXPECT_EQ(Open(u"\\store.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(DeleteFileW(u"\\store.bin"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    c = 'x';
    ASSERT_EQ(write(toChild[1], &c, 1), 1);
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    EXPECT_EQ(c, 'c');
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    UniqueHandle reader(Open(u"\\store.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_TRUE(reader);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

// Exclusive writers racing from several processes: each takes the file,
// increments the counter in it and lets go. If two were ever let in at once,
// increments would be lost.
TEST_F(FilesTest, ExclusiveOpensSerialiseRacingProcesses) {
    WriteText(u"\\counter", "0");
    constexpr int kWorkers = 3, kRounds = 100;
    std::vector<pid_t> workers;
    for (int w = 0; w < kWorkers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kRounds; ++i) {
                HANDLE h;
                while ((h = Open(u"\\counter", RW, 0, OPEN_EXISTING)) == INVALID_HANDLE_VALUE)
                    if (GetLastError() != ERROR_SHARING_VIOLATION) _exit(2);
                    else sched_yield();
                char buf[16] = {};
                DWORD n = 0;
                if (!ReadFile(h, buf, sizeof buf - 1, &n, nullptr)) _exit(3);
                std::string next = std::to_string(std::atoi(buf) + 1);
                usleep(100);  // widens the window a second holder would need
                SetFilePointer(h, 0, nullptr, FILE_BEGIN);
                if (!WriteFile(h, next.data(), static_cast<DWORD>(next.size()), &n, nullptr)) _exit(4);
                CloseHandle(h);
            }
            _exit(0);
        }
        workers.push_back(pid);
    }
    for (pid_t pid : workers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(ReadText(u"\\counter"), std::to_string(kWorkers * kRounds));
}

TEST_F(FilesTest, UniqueHandleClosesAndKeepsTheLastError) {
    WriteText(u"\\a.txt", "x");
    {
        UniqueHandle h(Open(u"\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
        ASSERT_TRUE(h);
        UniqueHandle moved(std::move(h));
        EXPECT_FALSE(h);
        EXPECT_TRUE(moved);
        SetLastError(ERROR_DISK_FULL);
    }
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    UniqueHandle again(Open(u"\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
    EXPECT_TRUE(again);  // the first was closed with its scope
}

TEST_F(FilesTest, DeleteMoveAndCopy) {
    EXPECT_FALSE(DeleteFileW(u"\\missing.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(u"\\missing\\x.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(u"\\Windows"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    WriteText(u"\\a.txt", "alpha");
    WriteText(u"\\b.txt", "beta");
    EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\B.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadText(u"\\b.txt"), "beta");
    ASSERT_TRUE(MoveFileW(u"\\a.txt", u"\\My Documents\\c.txt"));
    EXPECT_EQ(ReadText(u"\\My Documents\\c.txt"), "alpha");
    EXPECT_FALSE(fs::exists(root_ + "/a.txt"));
    // A change of case only renames.
    ASSERT_TRUE(MoveFileW(u"\\b.txt", u"\\B.TXT"));
    EXPECT_TRUE(fs::exists(root_ + "/B.TXT"));
    EXPECT_FALSE(fs::exists(root_ + "/b.txt"));
    // Folders move with their contents.
    ASSERT_TRUE(MoveFileW(u"\\My Documents", u"\\Docs"));
    EXPECT_EQ(ReadText(u"\\docs\\C.TXT"), "alpha");
    EXPECT_FALSE(MoveFileW(u"\\nothing", u"\\x"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(CopyFileW(u"\\Docs\\c.txt", u"\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadText(u"\\b.txt"), "beta");
    ASSERT_TRUE(CopyFileW(u"\\Docs\\c.txt", u"\\b.txt", FALSE));
    EXPECT_EQ(ReadText(u"\\b.txt"), "alpha");
    ASSERT_TRUE(CopyFileW(u"\\Docs\\c.txt", u"\\d.txt", TRUE));
    EXPECT_EQ(ReadText(u"\\d.txt"), "alpha");
    EXPECT_EQ(fs::last_write_time(root_ + "/d.txt"), fs::last_write_time(root_ + "/Docs/c.txt"));
    // Onto itself: refused, and the file is unharmed.
    EXPECT_FALSE(CopyFileW(u"\\d.txt", u"\\D.TXT", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadText(u"\\d.txt"), "alpha");
    EXPECT_FALSE(CopyFileW(u"\\none.txt", u"\\e.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(root_ + "/e.txt"));

    ASSERT_TRUE(DeleteFileW(u"\\D.TXT"));
    EXPECT_FALSE(fs::exists(root_ + "/d.txt"));
}

TEST_F(FilesTest, AttributesFoldersAndTimes) {
    EXPECT_EQ(GetFileAttributesW(u"\\Windows"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(u"\\nothing\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    WriteText(u"\\a.txt", "x");
    EXPECT_EQ(GetFileAttributesW(u"\\A.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    // Read-only for everyone; root may write anything, so the check runs unprivileged.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(root_ + "/a.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(skyvane::test::RunUnprivileged([]() -> std::string {
                  if (GetFileAttributesW(u"\\a.txt") != FILE_ATTRIBUTE_READONLY) return "not FILE_ATTRIBUTE_READONLY";
                  SetLastError(kSentinel);
                  if (Open(u"\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING) != INVALID_HANDLE_VALUE) return "opened for writing";
                  if (GetLastError() != ERROR_ACCESS_DENIED) return "error " + std::to_string(GetLastError());
                  return {};
              }),
              "");

    ASSERT_TRUE(CreateDirectoryW(u"\\Application Data\\SkyvaneWeather", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\APPLICATION DATA\\skyvaneweather", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(u"\\a\\b\\c", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    WriteText(u"\\Application Data\\SkyvaneWeather\\x.bin", "x");
    EXPECT_FALSE(RemoveDirectoryW(u"\\Application Data\\SkyvaneWeather"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(u"\\Application Data\\SkyvaneWeather\\x.bin"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(RemoveDirectoryW(u"\\"));
    ASSERT_TRUE(DeleteFileW(u"\\Application Data\\SkyvaneWeather\\x.bin"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\application data\\SKYVANEWEATHER"));
    EXPECT_FALSE(fs::exists(root_ + "/Application Data/SkyvaneWeather"));

    // 2009-02-13 23:31:30 UTC is 1234567890 s after 1970, 128790414900000000 ticks after 1601.
    WriteText(u"\\t.txt", "t");
    const struct timespec times[2] = {{1234567890, 0}, {1234567890, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (root_ + "/t.txt").c_str(), times, 0), 0);
    UniqueHandle h(Open(u"\\t.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    FILETIME created{kSentinel, kSentinel}, written{kSentinel, kSentinel}, accessed{kSentinel, kSentinel};
    ASSERT_TRUE(GetFileTime(h.get(), &created, &accessed, &written));
    ULONGLONG ticks = (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    EXPECT_EQ(ticks, 128790414900000000ull);
    ticks = (ULONGLONG(accessed.dwHighDateTime) << 32) | accessed.dwLowDateTime;
    EXPECT_EQ(ticks, 128790414900000000ull);
    EXPECT_NE(created.dwHighDateTime, kSentinel);
    EXPECT_TRUE(GetFileTime(h.get(), nullptr, nullptr, nullptr));
}

std::vector<std::string> Find(const char16_t* pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    SetLastError(kSentinel);
    UniqueFindHandle find(FindFirstFileW(pattern, &data));
    if (!find) {
        if (error) *error = GetLastError();
        return names;
    }
    do names.push_back(skyvane::ToUtf8(data.cFileName));
    while (FindNextFileW(find.get(), &data));
    if (error) *error = GetLastError();
    return names;
}

TEST_F(FilesTest, FindWithWildcards) {
    const std::string folder = root_ + "/My Documents/";
    for (const char* name : {"a.txt", "B.TXT", "README", "c.dat", "banana.txt", "x.txt.bak"})
        std::ofstream(folder + name) << name;
    fs::create_directory(folder + "Sub");
    using V = std::vector<std::string>;

    DWORD error = 0;
    EXPECT_EQ(Find(u"\\My Documents\\*.txt", &error), (V{"a.txt", "B.TXT", "banana.txt"}));
    EXPECT_EQ(error, ERROR_NO_MORE_FILES);
    // "*.*" also finds names without a dot; "." and ".." never appear.
    EXPECT_EQ(Find(u"\\my documents\\*.*"), (V{"a.txt", "B.TXT", "banana.txt", "c.dat", "README", "Sub", "x.txt.bak"}));
    EXPECT_EQ(Find(u"\\My Documents\\*"), Find(u"\\My Documents\\*.*"));
    EXPECT_EQ(Find(u"/My Documents/?.dat"), (V{"c.dat"}));
    EXPECT_EQ(Find(u"\\My Documents\\b*na*.t?t"), (V{"banana.txt"}));
    EXPECT_EQ(Find(u"\\My Documents\\*.txt*"), (V{"a.txt", "B.TXT", "banana.txt", "x.txt.bak"}));
    EXPECT_EQ(Find(u"\\My Documents\\readme"), (V{"README"}));
    EXPECT_EQ(Find(u"\\My Documents\\README.*"), (V{"README"}));
    EXPECT_EQ(Find(u"\\My Documents\\?"), V{});

    EXPECT_EQ(Find(u"\\My Documents\\*.zdx", &error), V{});
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Find(u"\\Nowhere\\*.*", &error), V{});
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Find(u"\\My*\\*.*", &error), V{});
    EXPECT_EQ(error, ERROR_INVALID_NAME);

    WIN32_FIND_DATAW data;
    std::memset(&data, 0xCD, sizeof data);
    UniqueFindHandle find(FindFirstFileW(u"\\My Documents\\S*", &data));
    ASSERT_TRUE(find);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(std::u16string(data.cFileName), u"Sub");
    EXPECT_FALSE(FindNextFileW(find.get(), &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_FALSE(FindNextFileW(find.get(), &data));  // and stays there

    UniqueFindHandle file(FindFirstFileW(u"\\My Documents\\banana.txt", &data));
    ASSERT_TRUE(file);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(data.nFileSizeLow, 10u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
}

TEST_F(FilesTest, SpecialFolders) {
    struct Case {
        int csidl;
        const char16_t* path;
    } cases[] = {
        {CSIDL_APPDATA, u"\\Application Data"}, {CSIDL_PERSONAL, u"\\My Documents"},
        {CSIDL_STARTUP, u"\\Windows\\StartUp"}, {CSIDL_WINDOWS, u"\\Windows"},
        {CSIDL_PROGRAM_FILES, u"\\Program Files"},
    };
    for (const Case& c : cases) {
        WCHAR path[MAX_PATH];
        std::fill(std::begin(path), std::end(path), u'#');
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, c.csidl, FALSE)) << c.csidl;
        EXPECT_EQ(std::u16string(path), c.path);
        EXPECT_EQ(path[std::u16string_view(c.path).size() + 1], u'#');  // nothing past the terminator
        EXPECT_EQ(GetFileAttributesW(path), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }

    // A folder someone removed: found again only when asked to create it.
    fs::remove_all(root_ + "/Application Data");
    WCHAR path[MAX_PATH] = u"untouched";
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, FALSE));
    EXPECT_EQ(std::u16string(path), u"untouched");
    fs::remove_all(root_ + "/Windows");
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, TRUE));
    EXPECT_TRUE(fs::is_directory(root_ + "/Windows/StartUp"));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x1234, TRUE));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_APPDATA, TRUE));

    // The data folder the system builds on CSIDL_APPDATA.
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, TRUE));
    std::u16string data = std::u16string(path) + u"\\SkyvaneWeather";
    ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
    WriteText((data + u"\\RSXX0091.bin").c_str(), "store");
    EXPECT_EQ(ReadText((data + u"\\rsxx0091.bin").c_str()), "store");
}

}  // namespace
