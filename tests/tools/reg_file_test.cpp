// REGEDIT4 export and import: the text form, exact round trips of types and
// bytes, and errors that name the line.
#include "tools/reg_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_util/test_util.h"

using namespace skyvane::regedit;

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> list) {
    std::vector<BYTE> v;
    for (int b : list) v.push_back(BYTE(b));
    return v;
}
std::vector<BYTE> Text(std::u16string_view s, bool terminator = true) {
    std::vector<BYTE> v((s.size() + (terminator ? 1 : 0)) * 2, 0);
    std::memcpy(v.data(), s.data(), s.size() * 2);
    return v;
}

struct Entry {
    HKEY root;
    std::u16string key;
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data = {};
};

void Put(const Entry& e) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(e.root, e.key.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, e.name.c_str(), 0, e.type, e.data.data(), DWORD(e.data.size())));
    RegCloseKey(key);
}

// The value's type and bytes in the current device, or type REG_NONE with
// data {0xee} when it is missing.
Entry Get(const Entry& e) {
    Entry got = e;
    got.type = REG_NONE;
    got.data = {0xee};
    HKEY key = nullptr;
    if (RegOpenKeyExW(e.root, e.key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return got;
    DWORD size = 0;
    if (RegQueryValueExW(key, e.name.c_str(), nullptr, &got.type, nullptr, &size) == ERROR_SUCCESS) {
        got.data.assign(size, 0);
        RegQueryValueExW(key, e.name.c_str(), nullptr, &got.type, got.data.data(), &size);
    }
    RegCloseKey(key);
    return got;
}

std::string Export(const char* key = nullptr) {
    std::string text;
    RegError error;
    KeyPath path;
    if (key) {
        EXPECT_TRUE(ParseKeyPath(key, &path));
    }
    EXPECT_TRUE(ExportRegistry(key ? &path : nullptr, &text, &error)) << error.Text();
    return text;
}

bool KeyExists(HKEY root, const char16_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TEST(RegFile, ExportWritesThePlainestExactForm) {
    skyvane::test::ScopedDeviceRoot root;
    const std::u16string key = u"Software\\A";
    Put({HKEY_CURRENT_USER, key, u"Name", REG_SZ, Text(u"C:\\dir \"q\"")});
    Put({HKEY_CURRENT_USER, key, u"", REG_DWORD, Bytes({0x2a, 0, 0, 0})});
    Put({HKEY_CURRENT_USER, key, u"Bin", REG_BINARY, Bytes({1, 2, 0xff})});
    Put({HKEY_CURRENT_USER, key, u"Short", REG_DWORD, Bytes({0x2a, 0})});
    Put({HKEY_CURRENT_USER, key, u"Raw", REG_SZ, Text(u"ab", false)});
    Put({HKEY_CURRENT_USER, key, u"Multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 0, 0})});
    Put({HKEY_CURRENT_USER, key + u"\\Empty", u"Город", REG_SZ, Text(u"Москва")});
    EXPECT_EQ(
        "REGEDIT4\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software]\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\A]\n"
        "\"Name\"=\"C:\\\\dir \\\"q\\\"\"\n"
        "@=dword:0000002a\n"
        "\"Bin\"=hex:01,02,ff\n"
        "\"Short\"=hex(4):2a,00\n"
        "\"Raw\"=hex(1):61,00,62,00\n"
        "\"Multi\"=hex(7):61,00,00,00,00,00\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\A\\Empty]\n"
        "\"Город\"=\"Москва\"\n"
        "\n",
        Export());
    // A key given in another case is exported with the case it was created with.
    EXPECT_EQ(0u, Export("hkcu\\SOFTWARE\\a\\empty").find("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A\\Empty]\n"));
}

TEST(RegFile, LongHexListsAreWrappedAndReadBack) {
    skyvane::test::ScopedDeviceRoot root;
    std::vector<BYTE> data(100);
    for (size_t i = 0; i < data.size(); ++i) data[i] = BYTE(i * 7);
    const Entry e{HKEY_LOCAL_MACHINE, u"Software\\Wrap", u"Blob", REG_BINARY, data};
    Put(e);
    const std::string text = Export("HKLM\\Software\\Wrap");
    size_t lines = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        if (lines > 3 && !line.empty()) {
            EXPECT_EQ("  ", line.substr(0, 2));  // continuation lines
        }
        start = end + 1;
        ++lines;
    }
    EXPECT_GT(lines, 6u);

    skyvane::test::ScopedDeviceRoot other;
    RegError error;
    ASSERT_TRUE(ImportRegistry(text, &error)) << error.Text();
    EXPECT_EQ(data, Get(e).data);
}

TEST(RegFile, ExportThenImportGivesBackEveryTypeAndByte) {
    std::vector<Entry> entries = {
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"UnitType", REG_DWORD, Bytes({2, 0, 0, 0})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"CityName", REG_SZ, Text(u"Москва \\ \"x\" 😀")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"", REG_SZ, Text(u"")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"@", REG_SZ, Text(u"a value named @")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Lines", REG_SZ, Text(u"one\r\ntwo")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Unpaired", REG_SZ, Text(u"\xD800x")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Odd", REG_SZ, Bytes({'a', 0, 'b'})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"LastUpdate", REG_BINARY,
         Bytes({0, 0, 0, 0, 0xc0, 0xd5, 0xe1, 0x40})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Nothing", REG_BINARY, {}},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"NoType", REG_NONE, Bytes({9})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Custom", 0x12345678, Bytes({1, 2, 3})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Path", REG_EXPAND_SZ, Text(u"%TEMP%\\x")},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", u"Cities", REG_MULTI_SZ,
         Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
        {HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather\\[Odd] Key = name", u"with \"quotes\"", REG_DWORD,
         Bytes({0xff, 0xff, 0xff, 0xff})},
        {HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", u"ScreenWidth", REG_DWORD, Bytes({0xe0, 1, 0, 0})},
        {HKEY_CLASSES_ROOT, u"KWeather.KWeatherService\\CLSID", u"", REG_SZ,
         Text(u"{00000000-0000-0000-0000-000000000000}")},
        {HKEY_CURRENT_USER, u"", u"RootValue", REG_DWORD, Bytes({1, 0, 0, 0})},
    };
    std::string first;
    {
        skyvane::test::ScopedDeviceRoot source;
        for (const auto& e : entries) Put(e);
        HKEY empty = nullptr;  // an empty key travels too
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\EmptyKey", 0, nullptr, 0, 0, nullptr,
                                                 &empty, nullptr));
        RegCloseKey(empty);
        first = Export();
    }
    skyvane::test::ScopedDeviceRoot target;
    RegError error;
    ASSERT_TRUE(ImportRegistry(first, &error)) << error.Text();
    for (const auto& e : entries) {
        Entry got = Get(e);
        EXPECT_EQ(e.type, got.type) << std::string(e.name.begin(), e.name.end());
        EXPECT_EQ(e.data, got.data) << std::string(e.name.begin(), e.name.end());
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Software\\EmptyKey"));
    // Nothing more came along: the second export is the same text.
    EXPECT_EQ(first, Export());
}

TEST(RegFile, ImportUnderstandsTheWholeSyntax) {
    skyvane::test::ScopedDeviceRoot root;
    Put({HKEY_CURRENT_USER, u"Software\\Gone\\Deep", u"v", REG_DWORD, Bytes({1, 0, 0, 0})});
    Put({HKEY_CURRENT_USER, u"Software\\Keep", u"Drop", REG_DWORD, Bytes({1, 0, 0, 0})});
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "; a comment\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
        "[-HKCU\\Software\\NeverWas]\r\n"
        "[hkcu\\Software\\Keep]\r\n"
        "\"Drop\"=-\r\n"
        "\"Missing\"=-\r\n"
        "@=\"def\"\r\n"
        "  \"Spaced\" = dword:2A  \r\n"
        "\"Hex\"=hex(2):25,00,\\\r\n"
        "    41,00,\\\r\n"
        "  00,00\r\n"
        "\"Bin\"=hex:\r\n"
        "\"Esc\"=\"a\\\\b\\\"c\"\r\n";
    RegError error;
    ASSERT_TRUE(ImportRegistry(text, &error)) << error.Text();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Gone"));
    EXPECT_EQ(REG_NONE, Get({HKEY_CURRENT_USER, u"Software\\Keep", u"Drop"}).type);
    Entry def = Get({HKEY_CURRENT_USER, u"Software\\Keep", u""});
    EXPECT_EQ(DWORD(REG_SZ), def.type);
    EXPECT_EQ(Text(u"def"), def.data);
    Entry spaced = Get({HKEY_CURRENT_USER, u"Software\\Keep", u"Spaced"});
    EXPECT_EQ(DWORD(REG_DWORD), spaced.type);
    EXPECT_EQ(Bytes({0x2a, 0, 0, 0}), spaced.data);
    Entry hex = Get({HKEY_CURRENT_USER, u"Software\\Keep", u"Hex"});
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), hex.type);
    EXPECT_EQ(Text(u"%A"), hex.data);
    Entry bin = Get({HKEY_CURRENT_USER, u"Software\\Keep", u"Bin"});
    EXPECT_EQ(DWORD(REG_BINARY), bin.type);
    EXPECT_TRUE(bin.data.empty());
    EXPECT_EQ(Text(u"a\\b\"c"), Get({HKEY_CURRENT_USER, u"Software\\Keep", u"Esc"}).data);
}

TEST(RegFile, BadInputNamesTheLineAndChangesNothing) {
    struct Case {
        const char* text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"[HKCU\\Software\\X]\n", 1, "REGEDIT4"},
        {"", 1, "REGEDIT4"},
        {"REGEDIT4\n\n[HKEY_USERS\\X]\n", 3, "is not a key"},
        {"REGEDIT4\n[HKCU\\X\n", 2, "]"},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2, "outside a key"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=\"unterminated\n", 3, "closing quote"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=\"x\\ny\"\n", 3, "unknown escape"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=\"x\" trailing\n", 3, "after the closing quote"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=dword:123456789\n", 3, "dword"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=dword:\n", 3, "dword"},
        {"REGEDIT4\n[HKCU\\X]\n\n\"a\"=hex:01,0g\n", 4, "0g"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=hex:01,,02\n", 3, "empty byte"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=hex:123\n", 3, "123"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=hex(zz):01\n", 3, "type number"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=hex:01,\\", 3, "ends inside"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=str:x\n", 3, "unknown value data"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\" \"b\"\n", 3, "expected ="},
        {"REGEDIT4\n[HKCU\\X]\nname=1\n", 3, "expected [KEY]"},
        {"REGEDIT4\n[HKCU\\X]\n\"a\"=\"\xC3\x28\"\n", 3, "UTF-8"},
        {"REGEDIT4\n[-HKCU\\X]\n\"a\"=\"b\"\n", 3, "outside a key"},
    };
    skyvane::test::ScopedDeviceRoot root;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RegError error;
        EXPECT_FALSE(ImportRegistry(c.text, &error));
        EXPECT_EQ(c.line, error.line) << error.Text();
        EXPECT_NE(std::string::npos, error.message.find(c.says)) << error.message;
        EXPECT_EQ(0u, error.Text().rfind("line " + std::to_string(c.line) + ": ", 0)) << error.Text();
        // The key of the file's first section was not created: nothing applied.
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"X"));
    }
}

TEST(RegFile, ApplyingAFileCanStillFail) {
    skyvane::test::ScopedDeviceRoot root;
    RegError error;
    EXPECT_FALSE(ImportRegistry("REGEDIT4\n\n[HKCU\\Fine]\n\n[-HKEY_LOCAL_MACHINE]\n", &error));
    EXPECT_EQ(5, error.line);
    EXPECT_NE(std::string::npos, error.message.find("access denied")) << error.message;
}

TEST(RegFile, NamesThatTextCannotCarryFailTheExport) {
    skyvane::test::ScopedDeviceRoot root;
    Put({HKEY_CURRENT_USER, u"Software\\Bad", u"two\nlines", REG_DWORD, Bytes({1, 0, 0, 0})});
    std::string text;
    RegError error;
    KeyPath path;
    ASSERT_TRUE(ParseKeyPath("HKCU\\Software", &path));
    EXPECT_FALSE(ExportRegistry(&path, &text, &error));
    EXPECT_NE(std::string::npos, error.message.find("HKEY_CURRENT_USER\\Software\\Bad")) << error.message;
}

TEST(RegFile, KeyPaths) {
    KeyPath path;
    ASSERT_TRUE(ParseKeyPath("HKEY_LOCAL_MACHINE\\Software\\X\\", &path));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, path.root);
    EXPECT_EQ(u"Software\\X", path.sub);
    ASSERT_TRUE(ParseKeyPath("hkcr", &path));
    EXPECT_EQ(HKEY_CLASSES_ROOT, path.root);
    EXPECT_TRUE(path.sub.empty());
    EXPECT_EQ("HKEY_CLASSES_ROOT", KeyPathText(path));
    EXPECT_FALSE(ParseKeyPath("HKEY_USERS\\X", &path));
    EXPECT_FALSE(ParseKeyPath("Software\\X", &path));
    EXPECT_FALSE(ParseKeyPath("HKCU\\\xff", &path));  // not UTF-8
}

}  // namespace
