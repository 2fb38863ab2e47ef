// Several processes on one registry at once: no write lost, no value torn, and
// a key deleted by one process is deleted for every handle of the others.
//
// The program doubles as its own helper: "registry_multiprocess_test --child
// MODE ..." runs one helper process instead of the tests.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "test_util/test_util.h"

extern char** environ;

namespace {

constexpr const char16_t* kStressKey = u"Software\\Stress";
constexpr int kStampBlocks = 8;

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }
std::u16string ValueName(int writer, int index) {
    return Wide("P" + std::to_string(writer) + "_" + std::to_string(index));
}
DWORD ValueOf(int writer, int index) { return DWORD(writer * 100000 + index); }

// A stamp is 64 bytes: the same 8-byte identity repeated, so that a value
// mixed from two writes shows.
struct Stamp {
    ULONGLONG blocks[kStampBlocks];
};
Stamp MakeStamp(int writer, int index) {
    Stamp s;
    for (auto& b : s.blocks) b = (ULONGLONG(writer + 1) << 32) | ULONGLONG(index);
    return s;
}
bool Consistent(const Stamp& s) {
    for (const auto& b : s.blocks) {
        if (b != s.blocks[0]) return false;
    }
    return true;
}

// --- helper processes ----------------------------------------------------

int Fail(const char* what, LONG r) {
    std::fprintf(stderr, "child %d: %s failed with %d\n", int(getpid()), what, int(r));
    return 2;
}

int RunWriter(int writer, int count) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, kStressKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW", r);
    for (int i = 0; i < count; ++i) {
        DWORD value = ValueOf(writer, i);
        if ((r = RegSetValueExW(key, ValueName(writer, i).c_str(), 0, REG_DWORD, (BYTE*)&value, 4)) != ERROR_SUCCESS)
            return Fail("RegSetValueExW", r);
        Stamp stamp = MakeStamp(writer, i);
        if ((r = RegSetValueExW(key, u"Stamp", 0, REG_BINARY, (BYTE*)&stamp, sizeof stamp)) != ERROR_SUCCESS)
            return Fail("RegSetValueExW Stamp", r);
        Stamp seen{};
        DWORD size = sizeof seen, type = 0;
        if ((r = RegQueryValueExW(key, u"Stamp", nullptr, &type, (BYTE*)&seen, &size)) != ERROR_SUCCESS)
            return Fail("RegQueryValueExW Stamp", r);
        if (type != REG_BINARY || size != sizeof seen || !Consistent(seen)) {
            std::fprintf(stderr, "child %d: torn stamp\n", int(getpid()));
            return 3;
        }
        if (i % 10 == 0) {  // keys come and go too
            std::u16string sub = Wide("C" + std::to_string(writer) + "\\" + std::to_string(i));
            HKEY child = nullptr;
            if ((r = RegCreateKeyExW(key, sub.c_str(), 0, nullptr, 0, 0, nullptr, &child, nullptr)) != ERROR_SUCCESS)
                return Fail("RegCreateKeyExW child", r);
            RegCloseKey(child);
            if ((r = RegDeleteKeyW(key, sub.c_str())) != ERROR_SUCCESS) return Fail("RegDeleteKeyW", r);
        }
    }
    RegCloseKey(key);
    return 0;
}

// Writes Counter = 1..count into Software\Poll, one transaction each.
int RunCounter(int count) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Poll", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW", r);
    for (DWORD i = 1; i <= DWORD(count); ++i) {
        if ((r = RegSetValueExW(key, u"Counter", 0, REG_DWORD, (BYTE*)&i, 4)) != ERROR_SUCCESS)
            return Fail("RegSetValueExW", r);
    }
    RegCloseKey(key);
    return 0;
}

// Sets (or with "-" deletes) one REG_DWORD value of Software\Poll.
int RunSetter(const char* name, const char* value) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Poll", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW", r);
    std::u16string wide = Wide(name);
    DWORD v = DWORD(std::strtoul(value, nullptr, 10));
    r = std::strcmp(value, "-") == 0 ? RegDeleteValueW(key, wide.c_str())
                                     : RegSetValueExW(key, wide.c_str(), 0, REG_DWORD, (BYTE*)&v, 4);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? 0 : Fail("set", r);
}

int RunDeleter(const char* path) {
    std::u16string sub = Wide(path);
    LONG r = RegDeleteKeyW(HKEY_CURRENT_USER, sub.c_str());
    return r == ERROR_SUCCESS ? 0 : Fail("RegDeleteKeyW", r);
}

// --- the parent side -----------------------------------------------------

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string self = "registry_multiprocess_test";
    argv.push_back(self.data());
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(RegistryMultiProcess, ConcurrentWritersLoseNothingAndTearNothing) {
    // A fresh device: the writers also race to create the database itself.
    skyvane::test::ScopedDeviceRoot root;
    constexpr int kWriters = 8, kWrites = 150;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = Spawn({"--child", "writer", std::to_string(w), std::to_string(kWrites)});
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    for (pid_t pid : children) EXPECT_EQ(0, Wait(pid)) << "writer " << pid;

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kStressKey, 0, KEY_READ, &key));
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kWrites; ++i) {
            DWORD value = 0xdeadbeef, size = 4, type = 0;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegQueryValueExW(key, ValueName(w, i).c_str(), nullptr, &type, (BYTE*)&value, &size))
                << "writer " << w << " write " << i;
            EXPECT_EQ(DWORD(REG_DWORD), type);
            EXPECT_EQ(ValueOf(w, i), value);
        }
    }
    DWORD values = 0, subkeys = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(kWriters * kWrites + 1), values);
    EXPECT_EQ(DWORD(kWriters), subkeys);  // C0..C7, each emptied again

    // The shared stamp is one writer's last stamp, whole.
    Stamp stamp{};
    DWORD size = sizeof stamp;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Stamp", nullptr, nullptr, (BYTE*)&stamp, &size));
    EXPECT_EQ(sizeof stamp, size);
    EXPECT_TRUE(Consistent(stamp));
    const int writer = int(stamp.blocks[0] >> 32) - 1;
    EXPECT_GE(writer, 0);
    EXPECT_LT(writer, kWriters);
    EXPECT_EQ(ULONGLONG(kWrites - 1), stamp.blocks[0] & 0xffffffffu);
    RegCloseKey(key);
}

// Reads of unchanged values are answered from memory; every change made by
// another process must still be seen by the next read.
TEST(RegistryMultiProcess, RepeatedReadsSeeEveryChangeOfOtherProcesses) {
    skyvane::test::ScopedDeviceRoot root;
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Stamp", "1"})));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Poll", 0, KEY_READ, &key));
    auto read = [&](const char16_t* name, DWORD* value) {
        DWORD size = 4;
        *value = 0xdeadbeef;
        return RegQueryValueExW(key, name, nullptr, nullptr, (BYTE*)value, &size);
    };
    DWORD value = 0;
    for (int round = 2; round < 12; ++round) {
        for (int i = 0; i < 3; ++i) {  // the same answer however often it is asked
            ASSERT_EQ(ERROR_SUCCESS, read(u"Stamp", &value));
            ASSERT_EQ(DWORD(round - 1), value);
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, read(u"Other", &value));
        }
        ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Stamp", std::to_string(round)})));
    }
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Other", "5"})));
    EXPECT_EQ(ERROR_SUCCESS, read(u"Other", &value));
    EXPECT_EQ(5u, value);
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Stamp", "-"})));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, read(u"Stamp", &value));
    ASSERT_EQ(0, Wait(Spawn({"--child", "deleter", "Software\\Poll"})));
    EXPECT_EQ(ERROR_KEY_DELETED, read(u"Other", &value));
    RegCloseKey(key);
}

TEST(RegistryMultiProcess, ReadsAfterOwnWritesSeeOwnAndOtherProcessesChanges) {
    skyvane::test::ScopedDeviceRoot root;
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Stamp", "1"})));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Poll", 0, KEY_ALL_ACCESS, &key));
    auto read = [&](const char16_t* name) {
        DWORD value = 0xdeadbeef, size = 4;
        LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, (BYTE*)&value, &size);
        return rc == ERROR_SUCCESS ? value : DWORD(rc) | 0x80000000u;
    };
    auto write = [&](const char16_t* name, DWORD value) {
        return RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    };
    const DWORD kMissing = ERROR_FILE_NOT_FOUND | 0x80000000u;
    EXPECT_EQ(1u, read(u"Stamp"));  // the whole key is read and kept
    EXPECT_EQ(kMissing, read(u"Mine"));
    ASSERT_EQ(ERROR_SUCCESS, write(u"Mine", 7));
    EXPECT_EQ(7u, read(u"Mine"));   // a new name of a key known whole
    EXPECT_EQ(1u, read(u"Stamp"));
    // Another process writes, then this one: the other's change is seen too.
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Stamp", "2"})));
    ASSERT_EQ(ERROR_SUCCESS, write(u"Mine", 8));
    EXPECT_EQ(2u, read(u"Stamp"));
    EXPECT_EQ(8u, read(u"Mine"));
    // A write that fails leaves nothing wrong behind.
    ASSERT_EQ(0, Wait(Spawn({"--child", "deleter", "Software\\Poll"})));
    EXPECT_EQ(ERROR_KEY_DELETED, write(u"Mine", 9));
    EXPECT_EQ(ERROR_KEY_DELETED | 0x80000000u, read(u"Mine"));
    RegCloseKey(key);
}

TEST(RegistryMultiProcess, PollingWhileAnotherProcessWritesNeverGoesBack) {
    skyvane::test::ScopedDeviceRoot root;
    constexpr int kCount = 2000;
    ASSERT_EQ(0, Wait(Spawn({"--child", "setter", "Counter", "0"})));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Poll", 0, KEY_READ, &key));
    pid_t writer = Spawn({"--child", "counter", std::to_string(kCount)});
    ASSERT_GT(writer, 0);
    DWORD last = 0;
    int status = -1, reads = 0;
    for (bool running = true; running;) {
        running = waitpid(writer, &status, WNOHANG) == 0;  // one more poll after the writer ended
        DWORD value = 0, size = 4;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Counter", nullptr, nullptr, (BYTE*)&value, &size));
        ASSERT_GE(value, last) << "a read went back to an older value";
        last = value;
        ++reads;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(DWORD(kCount), last) << "after " << reads << " reads";
    RegCloseKey(key);
}

TEST(RegistryMultiProcess, KeyDeletedByAnotherProcessIsDeletedForOpenHandles) {
    skyvane::test::ScopedDeviceRoot root;
    HKEY key = nullptr, child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Victim\\Inner", 0, nullptr, 0, 0,
                                             nullptr, &child, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Victim", 0, KEY_READ, &key));
    DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"v", 0, REG_DWORD, (BYTE*)&one, 4));

    ASSERT_EQ(0, Wait(Spawn({"--child", "deleter", "Software\\Victim"})));

    DWORD value = 0, size = 4;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, u"v", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(child, u"v", 0, REG_DWORD, (BYTE*)&one, 4));
    HKEY again = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Victim", 0, KEY_READ, &again));
    RegCloseKey(key);
    RegCloseKey(child);
}

TEST(RegistryMultiProcess, ForkedChildHasARegistryOfItsOwnConnection) {
    // A child of fork() must not use the parent's database connection; it
    // gets its own and sees the same registry.
    skyvane::test::ScopedDeviceRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Fork", 0, nullptr, 0, 0, nullptr, &key, nullptr));
    DWORD parentValue = 11;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"parent", 0, REG_DWORD, (BYTE*)&parentValue, 4));
    pid_t pid = fork();
    ASSERT_NE(-1, pid);
    if (pid == 0) {
        DWORD seen = 0, size = 4, childValue = 22;
        bool ok = RegQueryValueExW(key, u"parent", nullptr, nullptr, (BYTE*)&seen, &size) == ERROR_SUCCESS &&
                  seen == 11 &&
                  RegSetValueExW(key, u"child", 0, REG_DWORD, (BYTE*)&childValue, 4) == ERROR_SUCCESS;
        _exit(ok ? 0 : 1);
    }
    ASSERT_EQ(0, Wait(pid));
    DWORD value = 0, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"child", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(22u, value);
    // The parent's own connection still works after the child is gone.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"after", 0, REG_DWORD, (BYTE*)&value, 4));
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "writer") == 0 && argc == 5) return RunWriter(std::atoi(argv[3]), std::atoi(argv[4]));
        if (std::strcmp(argv[2], "deleter") == 0 && argc == 4) return RunDeleter(argv[3]);
        if (std::strcmp(argv[2], "counter") == 0 && argc == 4) return RunCounter(std::atoi(argv[3]));
        if (std::strcmp(argv[2], "setter") == 0 && argc == 5) return RunSetter(argv[3], argv[4]);
        std::fprintf(stderr, "unknown helper mode\n");
        return 64;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
