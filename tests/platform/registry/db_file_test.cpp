// The registry's database file: created when missing, and a clear failure
// (ERROR_BADDB or ERROR_CANTOPEN, one message naming the file) when it is
// damaged, foreign or unreadable. Never a crash, never an overwritten file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/registry/registry.h"
#include "test_util/test_util.h"

namespace fs = std::filesystem;

namespace {

class RegistryDatabaseTest : public ::testing::Test {
protected:
    std::string Db() const { return root_.path() + "/registry.db"; }

    static LONG CreateKey(const char16_t* path) {
        HKEY key = nullptr;
        LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (r == ERROR_SUCCESS) RegCloseKey(key);
        return r;
    }
    static LONG OpenKey(const char16_t* path) {
        HKEY key = nullptr;
        LONG r = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
        if (r == ERROR_SUCCESS) RegCloseKey(key);
        return r;
    }
    // Makes this process let go of the device's database (it follows the
    // device root), so that the file can be changed behind its back.
    static void LetGo() {
        skyvane::test::ScopedDeviceRoot elsewhere;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key));
        RegCloseKey(key);
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    // A registry of a few hundred keys, let go so that all of it is in the file.
    void BuildRegistry() {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Big", 0, nullptr, 0, 0, nullptr,
                                                 &key, nullptr));
        std::string filler(200, 'x');
        for (int i = 0; i < 300; ++i) {
            const std::string number = std::to_string(i);
            std::u16string name = u"Key" + std::u16string(number.begin(), number.end());
            HKEY sub = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, 0, nullptr, &sub, nullptr));
            ASSERT_EQ(ERROR_SUCCESS,
                      RegSetValueExW(sub, u"v", 0, REG_BINARY, (const BYTE*)filler.data(), DWORD(filler.size())));
            RegCloseKey(sub);
        }
        RegCloseKey(key);
        LetGo();
        ASSERT_FALSE(fs::exists(Db() + "-wal")) << "the last connection should have checkpointed";
    }

    skyvane::test::ScopedDeviceRoot root_;
};

TEST_F(RegistryDatabaseTest, MissingDatabaseAndFolderAreCreated) {
    const std::string nested = root_.path() + "/not/yet/there";
    skyvane::test::ScopedDeviceMove move(nested);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(u"Software"));
    EXPECT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Skyvane"));
    EXPECT_TRUE(fs::is_regular_file(nested + "/registry.db"));
}

TEST_F(RegistryDatabaseTest, ZeroLengthFileBecomesAnEmptyRegistry) {
    WriteFile(Db(), "");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(u"Software"));
    EXPECT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Skyvane"));
    EXPECT_EQ(ERROR_SUCCESS, OpenKey(u"software\\skyvane"));
}

TEST_F(RegistryDatabaseTest, RandomBytesGiveBadDbWithOneMessageAndStayUntouched) {
    std::mt19937 random(42);
    std::string junk(8192, '\0');
    for (char& c : junk) c = char(random());
    WriteFile(Db(), junk);

    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_BADDB, OpenKey(u"Software"));
    EXPECT_EQ(ERROR_BADDB, CreateKey(u"Software\\Skyvane"));
    DWORD size = 0xdeadbeef;
    EXPECT_EQ(ERROR_BADDB, RegQueryValueExW(HKEY_LOCAL_MACHINE, u"v", nullptr, nullptr, nullptr, &size));
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1u, Count(messages, Db())) << messages;
    EXPECT_NE(std::string::npos, messages.find("registry database")) << messages;
    EXPECT_EQ(junk, ReadFile(Db()));

    // Once the file is gone, a fresh registry is created in its place.
    fs::remove(Db());
    EXPECT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Skyvane"));
}

TEST_F(RegistryDatabaseTest, AnotherSqliteDatabaseIsRefused) {
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Skyvane"));
    LetGo();
    // The schema version lives in the header at offset 60 (big-endian).
    std::string bytes = ReadFile(Db());
    ASSERT_GT(bytes.size(), 64u);

    bytes[63] = 7;  // a version this build does not know
    WriteFile(Db(), bytes);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_BADDB, OpenKey(u"Software\\Skyvane"));
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, messages.find(Db())) << messages;
    EXPECT_EQ(bytes, ReadFile(Db()));

    bytes[63] = 0;  // no version, but tables of someone else's
    WriteFile(Db(), bytes);
    LetGo();
    EXPECT_EQ(ERROR_BADDB, CreateKey(u"Software\\Other"));
    EXPECT_EQ(bytes, ReadFile(Db()));
}

TEST_F(RegistryDatabaseTest, DamagedPagesGiveBadDb) {
    BuildRegistry();
    std::string bytes = ReadFile(Db());
    ASSERT_GT(bytes.size(), 16384u);
    // Keep the header page; every page after it becomes garbage.
    std::mt19937 random(7);
    for (size_t i = 4096; i < bytes.size(); ++i) bytes[i] = char(random());
    WriteFile(Db(), bytes);

    testing::internal::CaptureStderr();
    LONG opened = OpenKey(u"Software\\Big\\Key150");
    LONG created = CreateKey(u"Software\\Big\\Key400");
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ERROR_BADDB, opened);
    EXPECT_EQ(ERROR_BADDB, created);
    EXPECT_EQ(1u, Count(messages, Db())) << messages;
}

TEST_F(RegistryDatabaseTest, FolderInPlaceOfTheFileGivesCantOpen) {
    fs::create_directory(Db());
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_CANTOPEN, OpenKey(u"Software"));
    EXPECT_EQ(ERROR_CANTOPEN, CreateKey(u"Software"));
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1u, Count(messages, Db())) << messages;
    EXPECT_TRUE(fs::is_directory(Db()));
}

TEST_F(RegistryDatabaseTest, SymlinkLoopGivesCantOpen) {
    fs::create_symlink(Db(), Db());  // a link to itself: no user can open it
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_CANTOPEN, CreateKey(u"Software"));
    testing::internal::GetCapturedStderr();
}

TEST_F(RegistryDatabaseTest, UnreadableFileGivesCantOpen) {
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Skyvane"));
    LetGo();
    ASSERT_EQ(0, chmod(Db().c_str(), 0));
    ASSERT_EQ(0, chmod(root_.path().c_str(), 0755));  // the folder stays open to others
    // Root reads any file: the open runs without its privileges.
    EXPECT_EQ(skyvane::test::RunUnprivileged([]() -> std::string {
                  int devnull = open("/dev/null", O_WRONLY);  // the one message the failure prints
                  dup2(devnull, 2);
                  LONG r = OpenKey(u"Software\\Skyvane");
                  return r == ERROR_CANTOPEN ? "" : "the open answered " + std::to_string(r);
              }),
              "");
}

TEST_F(RegistryDatabaseTest, RemovedDatabaseIsRecreated) {
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\Old"));
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(Db() + suffix);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(u"Software\\Old"));
    EXPECT_EQ(ERROR_SUCCESS, CreateKey(u"Software\\New"));
    EXPECT_TRUE(fs::exists(Db()));
}

}  // namespace
