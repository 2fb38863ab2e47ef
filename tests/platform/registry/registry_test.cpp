// Conformance of the registry functions with the platform's documented results.
// Out-parameters are pre-filled with sentinels (0xdeadbeef) and buffers carry
// canary bytes, so that writes that should not happen are seen.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_util/test_util.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
const HKEY kBadHandle = reinterpret_cast<HKEY>(std::uintptr_t(0xcafebabe));

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &main_, nullptr));
    }
    void TearDown() override { RegCloseKey(main_); }

    HKEY Create(HKEY parent, const char16_t* sub, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(parent, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
        return key;
    }
    LONG Open(HKEY parent, const char16_t* sub, HKEY* key) { return RegOpenKeyExW(parent, sub, 0, KEY_READ, key); }
    void SetBytes(HKEY key, const char16_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
    }
    void SetDword(HKEY key, const char16_t* name, DWORD value) { SetBytes(key, name, REG_DWORD, &value, 4); }
    void SetText(HKEY key, const char16_t* name, std::u16string_view text) {
        std::u16string s(text);
        SetBytes(key, name, REG_SZ, s.c_str(), DWORD((s.size() + 1) * 2));
    }
    DWORD SubkeyCount(HKEY key) {
        DWORD count = kSentinel;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr));
        return count;
    }

    skyvane::test::ScopedDeviceRoot root_;
    HKEY main_ = nullptr;
};

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndCreatesNothing) {
    HKEY key = kBadHandle;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(main_, u"Missing\\Deeper", &key));
    EXPECT_EQ(nullptr, key);  // the result is cleared on failure
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(main_, u"Missing", &key));
    EXPECT_EQ(0u, SubkeyCount(main_));

    // Reading a value under a missing key creates nothing either.
    DWORD size = kSentinel;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Nope", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(0u, SubkeyCount(main_));
}

TEST_F(RegistryTest, BadHandlesAndParameters) {
    HKEY key = kBadHandle;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(main_, u"x", 0, KEY_READ, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, Open(nullptr, u"Software", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, Open(kBadHandle, u"Software", &key));

    DWORD value = 1;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(kBadHandle, u"v", 0, REG_DWORD, (BYTE*)&value, 4));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(nullptr, u"v", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(kBadHandle, u"v"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(kBadHandle, u"v"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegFlushKey(kBadHandle));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryInfoKeyW(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr, nullptr));

    // A closed handle is as bad as a made-up one, and closing twice fails.
    HKEY closed = Create(main_, u"Closed");
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(closed, u"v", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));  // closing a root is allowed
    EXPECT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, u"Software", &key));  // ... and it stays usable
    RegCloseKey(key);
}

TEST_F(RegistryTest, EmptySubkeyOpensANewHandleToTheSameKey) {
    SetDword(main_, u"v", 7);
    for (const char16_t* sub : {static_cast<const char16_t*>(nullptr), u""}) {
        HKEY again = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, Open(main_, sub, &again));
        EXPECT_NE(main_, again);
        DWORD value = kSentinel, size = 4;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"v", nullptr, nullptr, (BYTE*)&value, &size));
        EXPECT_EQ(7u, value);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"v", nullptr, nullptr, nullptr, nullptr));  // still open
    }
    HKEY root = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, nullptr, &root));
    EXPECT_NE(HKEY_CURRENT_USER, root);
    HKEY viaRoot = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, Open(root, u"Software\\Test", &viaRoot));
    RegCloseKey(viaRoot);
    RegCloseKey(root);
}

TEST_F(RegistryTest, PathSeparators) {
    HKEY key = kBadHandle;
    // A leading backslash is refused, as desktop Windows does.
    EXPECT_EQ(ERROR_BAD_PATHNAME, Open(HKEY_CURRENT_USER, u"\\Software\\Test", &key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExW(main_, u"\\Sub", 0, nullptr, 0, 0, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteKeyW(HKEY_CURRENT_USER, u"\\Software\\Test"));
    EXPECT_EQ(0u, SubkeyCount(main_));

    // Trailing and doubled backslashes are tolerated.
    HKEY created = Create(main_, u"A\\\\B\\\\");
    ASSERT_NE(nullptr, created);
    RegCloseKey(created);
    ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, u"Software\\Test\\A\\B\\", &key));
    RegCloseKey(key);
    EXPECT_EQ(1u, SubkeyCount(main_));
}

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsDisposition) {
    DWORD disposition = kSentinel;
    HKEY deep = Create(main_, u"One\\Two\\Three", &disposition);
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(deep);

    HKEY two = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, Open(main_, u"One\\Two", &two));
    EXPECT_EQ(1u, SubkeyCount(two));
    RegCloseKey(two);

    disposition = kSentinel;
    HKEY again = Create(main_, u"one\\TWO\\three", &disposition);
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(again);

    // A new last level is "created" even when the levels above existed.
    disposition = kSentinel;
    HKEY four = Create(main_, u"One\\Two\\Four", &disposition);
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(four);
    EXPECT_EQ(1u, SubkeyCount(main_));
}

TEST_F(RegistryTest, CreateParameterChecks) {
    HKEY key = kBadHandle;
    EXPECT_EQ(ERROR_BADKEY, RegCreateKeyExW(main_, u"Sub", 0, nullptr, 0, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(main_, u"Sub", 1, nullptr, 0, 0, nullptr, &key, nullptr));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExW(kBadHandle, u"Sub", 0, nullptr, 0, 0, nullptr, &key, nullptr));

    // A key name has at most 255 characters.
    std::u16string longest(255, u'k'), tooLong(256, u'k');
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(main_, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr));
    EXPECT_EQ(0u, SubkeyCount(main_));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, longest.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr));
    RegCloseKey(key);

    // NULL subkey opens the key itself.
    DWORD disposition = kSentinel;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, nullptr, 0, nullptr, 0, 0, nullptr, &key, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_NE(main_, key);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirCase) {
    RegCloseKey(Create(main_, u"MixedCase"));
    RegCloseKey(Create(main_, u"Город"));  // Cyrillic folds too
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, Open(main_, u"MIXEDCASE", &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, Open(main_, u"ГОРОД", &key));
    RegCloseKey(key);
    EXPECT_EQ(2u, SubkeyCount(main_));

    WCHAR name[64];
    DWORD cch = 64;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(main_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(std::u16string(u"MixedCase"), name);

    SetDword(main_, u"UnitType", 1);
    SetDword(main_, u"UNITTYPE", 2);  // the same value: overwritten, first spelling kept
    SetDword(main_, u"Ωμέγα", 3);
    DWORD value = kSentinel, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"unittype", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(2u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"ΩΜΈΓΑ", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(3u, value);
    cch = 64;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(main_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(std::u16string(u"UnitType"), name);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(main_, u"UNITtype"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"UnitType", nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, ValuesComeBackExactlyAsStored) {
    struct Case {
        const char16_t* name;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {u"ShortDword", REG_DWORD, {0x2a, 0x00}},                  // 2 bytes stay 2 bytes
        {u"LongDword", REG_DWORD, {1, 2, 3, 4, 5, 6}},             // so do 6
        {u"NoTerminator", REG_SZ, {'a', 0, 'b', 0}},               // no terminator is added
        {u"OddString", REG_SZ, {'a', 0, 'b'}},                     // odd sizes are kept
        {u"Empty", REG_BINARY, {}},                                // zero bytes
        {u"OleDate", REG_BINARY, {0, 0, 0, 0, 0xc0, 0xd5, 0xe1, 0x40}},  // 36526.0 as a double
        {u"Custom", 0x12345678, {0xff, 0x00, 0xfe}},               // any type number
        {u"Multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {u"Expand", REG_EXPAND_SZ, {'%', 0, 'x', 0, '%', 0, 0, 0}},
    };
    for (const auto& c : cases) SetBytes(main_, c.name, c.type, c.bytes.data(), DWORD(c.bytes.size()));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        BYTE buffer[32];
        std::memset(buffer, 0xab, sizeof buffer);
        DWORD type = kSentinel, size = sizeof buffer;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, c.name, nullptr, &type, buffer, &size));
        EXPECT_EQ(c.type, type);
        ASSERT_EQ(c.bytes.size(), size);
        EXPECT_EQ(c.bytes, std::vector<BYTE>(buffer, buffer + size));
        EXPECT_EQ(0xab, buffer[size]);  // nothing past the data
    }

    // Overwriting replaces type and size.
    SetText(main_, u"ShortDword", u"now text");
    DWORD type = kSentinel, size = kSentinel;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"ShortDword", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(18u, size);
}

TEST_F(RegistryTest, QueryValueBufferRules) {
    SetText(main_, u"Text", u"abcd");  // 10 bytes with the terminator
    DWORD type = kSentinel, size = kSentinel;

    // No buffer: the size.
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"Text", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(10u, size);

    // A buffer one byte short: ERROR_MORE_DATA, the needed size, the buffer untouched.
    BYTE buffer[16];
    std::memset(buffer, 0xab, sizeof buffer);
    type = kSentinel;
    size = 9;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(main_, u"Text", nullptr, &type, buffer, &size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(DWORD(REG_SZ), type);
    for (BYTE b : buffer) ASSERT_EQ(0xab, b);

    // Exactly big enough.
    size = 10;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"Text", nullptr, nullptr, buffer, &size));
    EXPECT_EQ(0, std::memcmp(buffer, u"abcd", 10));
    EXPECT_EQ(0xab, buffer[10]);

    // Type and size are optional; with neither, the call only tells existence.
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"Text", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(main_, u"Text", nullptr, nullptr, buffer, nullptr));
    DWORD reserved = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(main_, u"Text", &reserved, nullptr, nullptr, &size));

    // A missing value: asking the size answers 0; with a buffer the size stays.
    type = kSentinel;
    size = kSentinel;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(kSentinel, type);
    size = sizeof buffer;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Missing", nullptr, nullptr, buffer, &size));
    EXPECT_EQ(sizeof buffer, size);
}

TEST_F(RegistryTest, DefaultValueAndSetValueChecks) {
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, nullptr, nullptr, nullptr, nullptr, nullptr));
    SetText(main_, nullptr, u"default");
    DWORD size = kSentinel;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"", nullptr, nullptr, nullptr, &size));  // "" is NULL
    EXPECT_EQ(16u, size);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(main_, u""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(main_, nullptr));

    // No data with a size is refused; no data without one stores zero bytes.
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(main_, u"v", 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"v", nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(main_, u"v", 0, REG_BINARY, nullptr, 0));
    size = kSentinel;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(0u, size);

    // Value names have at most 16383 characters.
    std::u16string longest(16383, u'v'), tooLong(16384, u'v');
    DWORD one = 1;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(main_, tooLong.c_str(), 0, REG_DWORD, (BYTE*)&one, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(main_, longest.c_str(), 0, REG_DWORD, (BYTE*)&one, 4));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeSubtree) {
    HKEY a = Create(main_, u"A\\B\\C");
    SetDword(a, u"deep", 1);
    RegCloseKey(a);
    HKEY b = Create(main_, u"A\\Sibling");
    SetDword(b, u"v", 1);
    RegCloseKey(b);
    RegCloseKey(Create(main_, u"Keep"));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(main_, u"a"));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(main_, u"A", &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(main_, u"A\\B\\C", &key));
    EXPECT_EQ(1u, SubkeyCount(main_));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(main_, u"A"));

    // Recreating the path brings back empty keys, not the old values.
    HKEY fresh = Create(main_, u"A\\B\\C");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(fresh, u"deep", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(fresh);

    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(main_, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, u""));
    HKEY rootHandle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_LOCAL_MACHINE, nullptr, &rootHandle));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(rootHandle, u""));
    RegCloseKey(rootHandle);

    // An empty subkey deletes the key of the handle itself.
    HKEY self = Create(main_, u"Self\\Child");
    RegCloseKey(self);
    ASSERT_EQ(ERROR_SUCCESS, Open(main_, u"Self", &self));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(self, u""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(main_, u"Self", &key));
    RegCloseKey(self);
}

TEST_F(RegistryTest, HandlesToDeletedKeysAnswerKeyDeleted) {
    HKEY parent = Create(main_, u"Doomed");
    HKEY child = Create(main_, u"Doomed\\Child");
    SetDword(child, u"v", 1);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(main_, u"Doomed"));
    // The key comes back under the same name, but the old handles still refer
    // to the deleted key.
    HKEY reborn = Create(main_, u"Doomed\\Child");
    SetDword(reborn, u"v", 2);

    for (HKEY h : {parent, child}) {
        DWORD value = 0, size = 4, count = 0;
        HKEY sub = nullptr;
        WCHAR name[16];
        DWORD cch = 16;
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(h, u"v", nullptr, nullptr, (BYTE*)&value, &size));
        EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(h, u"v", 0, REG_DWORD, (BYTE*)&value, 4));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueW(h, u"v"));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(h, u"Child", 0, KEY_READ, &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(h, nullptr, 0, KEY_READ, &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExW(h, u"New", 0, nullptr, 0, 0, nullptr, &sub, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExW(h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueW(h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                                      nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyW(h, u""));
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(h));
    }
    DWORD value = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(reborn, u"v", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(2u, value);
    RegCloseKey(reborn);
}

TEST_F(RegistryTest, EnumKeyOrderAndBuffers) {
    // Name order without case, as CompareNoCase orders: "_" (0x5F) before letters.
    for (const char16_t* n : {u"beta", u"Zeta", u"_under", u"Alpha", u"gamma"}) RegCloseKey(Create(main_, n));
    HKEY withClass = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"delta", 0, const_cast<LPWSTR>(u"cls"), 0, 0, nullptr,
                                             &withClass, nullptr));
    RegCloseKey(withClass);

    const std::u16string expected[] = {u"_under", u"Alpha", u"beta", u"delta", u"gamma", u"Zeta"};
    for (DWORD i = 0; i < 6; ++i) {
        WCHAR name[32];
        DWORD cch = 32;
        FILETIME written{kSentinel, kSentinel};
        ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(main_, i, name, &cch, nullptr, nullptr, nullptr, &written));
        EXPECT_EQ(expected[i], name);
        EXPECT_EQ(expected[i].size(), cch);  // characters without the terminator
        EXPECT_NE(kSentinel, written.dwHighDateTime);
    }
    WCHAR name[32];
    DWORD cch = 32;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(main_, 6, name, &cch, nullptr, nullptr, nullptr, nullptr));

    // The terminator must fit too; nothing is written when it does not.
    std::memset(name, 0xab, sizeof name);
    cch = 6;  // "_under" has 6 characters
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(main_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(6u, cch);
    EXPECT_EQ(0xabab, name[0]);
    cch = 7;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(main_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(6u, cch);

    // The class comes with the name.
    WCHAR cls[8];
    DWORD cchClass = 8;
    cch = 32;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(main_, 3, name, &cch, nullptr, cls, &cchClass, nullptr));
    EXPECT_EQ(std::u16string(u"cls"), cls);
    EXPECT_EQ(3u, cchClass);
    cchClass = 3;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(main_, 3, name, &cch, nullptr, cls, &cchClass, nullptr));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumKeyExW(main_, 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumKeyExW(main_, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, EnumValueOrderAndBuffers) {
    // Values come in the order they were first written; rewriting keeps the place.
    SetDword(main_, u"b", 1);
    SetDword(main_, u"a", 2);
    SetDword(main_, u"c", 3);
    SetDword(main_, u"a", 4);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(main_, u"b"));
    SetDword(main_, u"b", 5);  // deleted and written again: now last
    const char16_t* order[] = {u"a", u"c", u"b"};
    const DWORD values[] = {4, 3, 5};
    for (DWORD i = 0; i < 3; ++i) {
        WCHAR name[8];
        DWORD cch = 8, type = kSentinel, data = kSentinel, size = 4;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(main_, i, name, &cch, nullptr, &type, (BYTE*)&data, &size));
        EXPECT_EQ(std::u16string(order[i]), name);
        EXPECT_EQ(1u, cch);
        EXPECT_EQ(DWORD(REG_DWORD), type);
        EXPECT_EQ(values[i], data);
    }
    WCHAR name[8];
    DWORD cch = 8;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(main_, 3, name, &cch, nullptr, nullptr, nullptr, nullptr));

    // The buffer rules of desktop Windows (Wine's registry tests).
    HKEY key = Create(main_, u"Enum");
    SetBytes(key, u"Test", REG_SZ, u"foobar", 14);
    WCHAR valueName[9], data[9];
    auto reset = [&] {
        std::u16string x = u"xxxxxxxx";
        std::memcpy(valueName, x.c_str(), 18);
        std::memcpy(data, x.c_str(), 18);
    };
    DWORD type, size;
    // Name too small: nothing copied, the name count unchanged; type and size reported.
    reset();
    cch = 3, size = 20, type = kSentinel;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, valueName, &cch, nullptr, &type, (BYTE*)data, &size));
    EXPECT_EQ(3u, cch);
    EXPECT_EQ(14u, size);
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(std::u16string(u"xxxxxxxx"), valueName);
    EXPECT_EQ(std::u16string(u"xxxxxxxx"), data);
    // Data too small: the name is copied, the data not.
    reset();
    cch = 20, size = 2;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, valueName, &cch, nullptr, &type, (BYTE*)data, &size));
    EXPECT_EQ(4u, cch);
    EXPECT_EQ(14u, size);
    EXPECT_EQ(std::u16string(u"Test"), valueName);
    EXPECT_EQ(std::u16string(u"xxxxxxxx"), data);
    // Both fit.
    reset();
    cch = 20, size = 20;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(key, 0, valueName, &cch, nullptr, &type, (BYTE*)data, &size));
    EXPECT_EQ(std::u16string(u"foobar"), data);
    EXPECT_EQ(14u, size);
    // No data buffer: the size.
    cch = 20, size = kSentinel;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(key, 0, valueName, &cch, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(14u, size);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueW(key, 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueW(key, 0, valueName, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueW(key, 0, valueName, &cch, nullptr, nullptr, (BYTE*)data, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryInfoKeyCountsAndMaxima) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"Info", 0, const_cast<LPWSTR>(u"subkey class"), 0, 0, nullptr,
                                             &key, nullptr));
    DWORD classLen = kSentinel, subkeys = kSentinel, maxSubkey = kSentinel, maxClass = kSentinel;
    DWORD values = kSentinel, maxName = kSentinel, maxValue = kSentinel, sd = kSentinel;
    FILETIME written{0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, &classLen, nullptr, &subkeys, &maxSubkey, &maxClass,
                                              &values, &maxName, &maxValue, &sd, &written));
    EXPECT_EQ(12u, classLen);
    EXPECT_EQ(0u, subkeys);
    EXPECT_EQ(0u, maxSubkey);
    EXPECT_EQ(0u, maxClass);
    EXPECT_EQ(0u, values);
    EXPECT_EQ(0u, maxName);
    EXPECT_EQ(0u, maxValue);

    // The last write time is the time of day in FILETIME ticks, within a few seconds.
    ULONGLONG ticks = (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    ULONGLONG now = ULONGLONG(std::time(nullptr)) * 10000000ull + 116444736000000000ull;
    EXPECT_LT(ticks, now + 50000000ull);
    EXPECT_GT(ticks, now - 50000000ull);

    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, u"subsubkey", 0, const_cast<LPWSTR>(u"subsubkey class"), 0, 0,
                                             nullptr, &sub, nullptr));
    RegCloseKey(sub);
    RegCloseKey(Create(key, u"k"));
    SetText(key, nullptr, u"data");
    SetBytes(key, u"value one", REG_SZ, u"first value data", 34);
    SetDword(key, u"value 2", 2);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, &maxClass,
                                              &values, &maxName, &maxValue, nullptr, nullptr));
    EXPECT_EQ(2u, subkeys);
    EXPECT_EQ(9u, maxSubkey);  // "subsubkey", in characters
    EXPECT_EQ(15u, maxClass);  // "subsubkey class"
    EXPECT_EQ(3u, values);
    EXPECT_EQ(9u, maxName);    // "value one"
    EXPECT_EQ(34u, maxValue);  // bytes

    WCHAR cls[16];
    classLen = 16;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, cls, &classLen, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(std::u16string(u"subkey class"), cls);
    EXPECT_EQ(12u, classLen);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryInfoKeyW(key, cls, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeysWithManyOrLargeValuesReadCorrectly) {
    // More values, and more bytes, than one read loads at once.
    HKEY many = Create(main_, u"Many");
    for (DWORD i = 0; i < 1100; ++i) {
        std::u16string name = u"V" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(0x400 + i));
        SetDword(many, name.c_str(), i);
    }
    HKEY large = Create(main_, u"Large");
    std::vector<BYTE> big(300 * 1024, 0x5a);
    SetBytes(large, u"Big", REG_BINARY, big.data(), DWORD(big.size()));
    SetDword(large, u"Small", 7);
    for (int pass = 0; pass < 2; ++pass) {  // the second pass may be answered from memory
        for (DWORD i : {0u, 1023u, 1024u, 1099u}) {
            std::u16string name =
                u"V" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(0x400 + i));
            DWORD value = kSentinel, size = 4;
            ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(many, name.c_str(), nullptr, nullptr, (BYTE*)&value, &size));
            EXPECT_EQ(i, value);
        }
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(many, u"Absent", nullptr, nullptr, nullptr, nullptr));
        DWORD value = kSentinel, size = 4;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(large, u"Small", nullptr, nullptr, (BYTE*)&value, &size));
        EXPECT_EQ(7u, value);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(large, u"Absent", nullptr, nullptr, nullptr, nullptr));
        size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(large, u"Big", nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(big.size(), size);
    }
    SetDword(large, u"Small", 8);  // a change is seen at once
    DWORD value = kSentinel, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(large, u"Small", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(8u, value);
    RegCloseKey(many);
    RegCloseKey(large);
}

TEST_F(RegistryTest, ThreadsShareHandlesSafely) {
    // The plugin calls from one thread, but the layer must not break when a
    // process uses it from several.
    constexpr int kThreads = 4, kWrites = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            HKEY own = nullptr;
            std::u16string name = u"T" + std::u16string(1, char16_t(u'0' + t));
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, name.c_str(), 0, nullptr, 0, 0, nullptr, &own, nullptr));
            for (int i = 0; i < kWrites; ++i) {
                DWORD v = DWORD(t * 1000 + i);
                ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(own, u"counter", 0, REG_DWORD, (BYTE*)&v, 4));
                ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(main_, u"shared", 0, REG_DWORD, (BYTE*)&v, 4));
                DWORD back = 0, size = 4;
                ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(own, u"counter", nullptr, nullptr, (BYTE*)&back, &size));
                ASSERT_EQ(v, back);
            }
            RegCloseKey(own);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(DWORD(kThreads), SubkeyCount(main_));
    DWORD shared = 0, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"shared", nullptr, nullptr, (BYTE*)&shared, &size));
    EXPECT_EQ(DWORD(kWrites - 1), shared % 1000);  // the last write of some thread
}

TEST(RegistryDeviceRoot, EachDeviceHasItsOwnRegistry) {
    skyvane::test::ScopedDeviceRoot first;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Device", 0, nullptr, 0, 0, nullptr,
                                             &key, nullptr));
    DWORD width = 480;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"ScreenWidth", 0, REG_DWORD, (BYTE*)&width, 4));
    EXPECT_TRUE(std::filesystem::exists(first.path() + "/registry.db"));
    {
        skyvane::test::ScopedDeviceRoot second;
        HKEY other = nullptr;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Device", 0, 0, &other));
        EXPECT_TRUE(std::filesystem::exists(second.path() + "/registry.db"));
        // The handles of the device left behind are gone: no key of two devices at once.
        DWORD value = 0xdeadbeef, size = 4;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(key, u"ScreenWidth", nullptr, nullptr, (BYTE*)&value, &size));
        EXPECT_EQ(0xdeadbeefu, value);
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(key, u"ScreenWidth", 0, REG_DWORD, (BYTE*)&width, 4));
    }
    // Back on the first device, its keys are there; the old handle stays closed.
    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Device", 0, 0, &again));
    DWORD value = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"ScreenWidth", nullptr, nullptr, (BYTE*)&value, &size));
    EXPECT_EQ(480u, value);
    RegCloseKey(again);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
}

}  // namespace
