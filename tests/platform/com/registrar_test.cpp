// Registry scripts: registration and unregistration round trips against a
// fresh device root, the key flags, replacements and typed parse errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/com/registrar.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/test_util.h"

using skyvane::Registrar;
using skyvane::RegistrarError;

namespace {

// The shape of a server's module and class scripts.
constexpr char16_t kServerScript[] = uR"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'KWeather'
        'KWeather.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
    KWeather.KWeatherService.1 = s 'KWeatherService Class'
    {
        CLSID = s '{F9FCC6F4-43CE-4431-8234-ED648982713C}'
    }
    KWeather.KWeatherService = s 'KWeatherService Class'
    {
        CLSID = s '{F9FCC6F4-43CE-4431-8234-ED648982713C}'
        CurVer = s 'KWeather.KWeatherService.1'
    }
    NoRemove CLSID
    {
        ForceRemove {F9FCC6F4-43CE-4431-8234-ED648982713C} = s 'KWeatherService Class'
        {
            ProgID = s 'KWeather.KWeatherService.1'
            VersionIndependentProgID = s 'KWeather.KWeatherService'
            'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Free'
            }
            val AppID = s '%APPID%'
            MiscStatus = s '0'
            {
                '1' = s '%OLEMISC%'
            }
        }
    }
}
HKEY_CURRENT_USER
{
    NoRemove Software
    {
        'It''s Mine'
        {
            val Count = d '131473'
            val Mask = d '0xFFFFFFFF'
            val Blob = b '00A1ff10'
        }
    }
}
)";

const std::u16string kClsidKey = u"CLSID\\{F9FCC6F4-43CE-4431-8234-ED648982713C}";

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool exists = false;
};

Value Read(HKEY root, const std::u16string& path, const char16_t* name = nullptr) {
    Value v;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.data.resize(size);
        v.exists = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return v;
}

std::u16string Text(HKEY root, const std::u16string& path, const char16_t* name = nullptr) {
    Value v = Read(root, path, name);
    if (!v.exists) return u"<missing>";
    EXPECT_EQ(v.type, DWORD(REG_SZ));
    std::u16string s(reinterpret_cast<const char16_t*>(v.data.data()), v.data.size() / 2);
    EXPECT_TRUE(!s.empty() && s.back() == u'\0') << "REG_SZ written without its terminator";
    if (!s.empty() && s.back() == u'\0') s.pop_back();
    return s;
}

bool Exists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void Write(HKEY root, const std::u16string& path, const char16_t* name, const std::u16string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD((text.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
}

class RegistrarTest : public ::testing::Test {
protected:
    RegistrarTest() {
        registrar_.AddReplacement(u"MODULE", u"/opt/skyvane/lib/libKWeather.so");
        registrar_.AddReplacement(u"APPID", u"{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}");
        registrar_.AddReplacement(u"OLEMISC", u"131473");
    }
    skyvane::test::ScopedDeviceRoot root_;
    Registrar registrar_;
};

TEST_F(RegistrarTest, RegisterWritesEveryKeyAndValueOfTheScript) {
    auto result = registrar_.Register(kServerScript);
    ASSERT_TRUE(result.ok()) << result.message << " at line " << result.line;
    EXPECT_EQ(result.ToHresult(), S_OK);

    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"AppID\\{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}"), u"KWeather");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"AppID\\KWeather.DLL", u"AppID"), u"{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService"), u"KWeatherService Class");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService\\CurVer"), u"KWeather.KWeatherService.1");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey), u"KWeatherService Class");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey + u"\\InprocServer32"), u"/opt/skyvane/lib/libKWeather.so");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey + u"\\InprocServer32", u"ThreadingModel"), u"Free");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey + u"\\MiscStatus\\1"), u"131473");
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, kClsidKey + u"\\Programmable"));
    EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, kClsidKey + u"\\Programmable").exists);  // a key without a value

    Value count = Read(HKEY_CURRENT_USER, u"Software\\It's Mine", u"Count");
    ASSERT_TRUE(count.exists);
    EXPECT_EQ(count.type, DWORD(REG_DWORD));
    EXPECT_EQ(count.data, (std::vector<BYTE>{0x91, 0x01, 0x02, 0x00}));  // 131473 little-endian
    EXPECT_EQ(Read(HKEY_CURRENT_USER, u"Software\\It's Mine", u"Mask").data, (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF}));
    Value blob = Read(HKEY_CURRENT_USER, u"Software\\It's Mine", u"Blob");
    EXPECT_EQ(blob.type, DWORD(REG_BINARY));
    EXPECT_EQ(blob.data, (std::vector<BYTE>{0x00, 0xA1, 0xFF, 0x10}));

    // What the COM runtime reads back from it.
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid), S_OK);
    EXPECT_EQ(skyvane::GuidToString(clsid), u"{F9FCC6F4-43CE-4431-8234-ED648982713C}");
}

TEST_F(RegistrarTest, UnregisterRemovesWhatTheScriptWroteAndKeepsNoRemoveKeys) {
    ASSERT_TRUE(registrar_.Register(kServerScript).ok());
    // Something another server keeps in the shared keys.
    Write(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}", nullptr, u"Other Class");
    Write(HKEY_CLASSES_ROOT, u"AppID\\KWeather.DLL", u"Foreign", u"kept");

    auto result = registrar_.Unregister(kServerScript);
    ASSERT_TRUE(result.ok()) << result.message;

    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService.1"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, u"AppID\\{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, u"Software\\It's Mine"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, u"CLSID"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, u"AppID"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, u"Software"));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}"), u"Other Class");
    // A plain key that still holds someone else's value stays, without the script's own value.
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"AppID\\KWeather.DLL", u"Foreign"), u"kept");
    EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, u"AppID\\KWeather.DLL", u"AppID").exists);

    // Unregistering twice is harmless.
    EXPECT_TRUE(registrar_.Unregister(kServerScript).ok());
}

TEST_F(RegistrarTest, ForceRemoveReplacesStaleContentAndDeleteRemoves) {
    Write(HKEY_CLASSES_ROOT, kClsidKey + u"\\InprocServer32", nullptr, u"/old/path.so");
    Write(HKEY_CLASSES_ROOT, kClsidKey + u"\\Stale\\Deeper", u"x", u"old");
    Write(HKEY_CLASSES_ROOT, kClsidKey, u"OldValue", u"old");
    Write(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService", u"Extra", u"kept");  // no ForceRemove there
    Write(HKEY_CLASSES_ROOT, u"Obsolete\\Child", nullptr, u"gone soon");

    ASSERT_TRUE(registrar_.Register(kServerScript).ok());
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey + u"\\Stale"));
    EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, kClsidKey, u"OldValue").exists);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey + u"\\InprocServer32"), u"/opt/skyvane/lib/libKWeather.so");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"KWeather.KWeatherService", u"Extra"), u"kept");

    ASSERT_TRUE(registrar_.Register(u"HKCR { Delete Obsolete }").ok());
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, u"Obsolete"));
}

TEST_F(RegistrarTest, ReplacementsAreTakenLiterally) {
    Registrar r;
    r.AddReplacement(u"module", u"/home/o'brien/my lib {1}.so");
    r.AddReplacement(u"Name", u"first");
    r.AddReplacement(u"NAME", u"second");  // names compare without case: this one wins
    auto result = r.Register(u"HKLM { 'Soft %NAME%' { val Path = s '%MODULE%' val Pct = s '100%%' } }");
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Soft second", u"Path"), u"/home/o'brien/my lib {1}.so");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u"Soft second", u"Pct"), u"100%");

    // Scripts kept as UTF-8 text.
    ASSERT_TRUE(r.Register(std::string_view("HKCU { 'Gr\xC3\xBC\xC3\x9F' = s '\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0' }")).ok());
    EXPECT_EQ(Text(HKEY_CURRENT_USER, u"Grüß"), u"Москва");
}

struct BadScript {
    const char16_t* script;
    RegistrarError error;
    int line;
};

TEST_F(RegistrarTest, BadScriptsFailWithTypeAndLineAndWriteNothing) {
    const BadScript cases[] = {
        {u"HKCR\n{\n  Good\n  'unterminated\n}\n", RegistrarError::Syntax, 4},
        {u"HKCR\n{\n  Good\n  {\n", RegistrarError::Syntax, 5},                    // missing braces
        {u"HKCR\n{\n  Good\n}\n}\n", RegistrarError::Syntax, 5},                    // one brace too many
        {u"HKCR\nGood\n", RegistrarError::Syntax, 2},                               // no '{' after the root
        {u"HKCR { Good }\nHKU { Other }\n", RegistrarError::UnknownRoot, 2},
        {u"HKCR { Good = s '%NOPE%' }", RegistrarError::UnknownReplacement, 1},
        {u"HKCR { Good = s '50%' }", RegistrarError::UnknownReplacement, 1},
        {u"HKCR {\n Good { val N = d 'twelve' } }", RegistrarError::BadValue, 2},
        {u"HKCR {\n Good { val N = d '4294967296' } }", RegistrarError::BadValue, 2},
        {u"HKCR {\n Good { val B = b 'ABC' } }", RegistrarError::BadValue, 2},
        {u"HKCR {\n Good { val B = b 'zz' } }", RegistrarError::BadValue, 2},
        {u"HKCR {\n Good { val X = q 'text' } }", RegistrarError::BadValue, 2},
        {u"HKCR {\n Good\n val X = s 'at the root' }", RegistrarError::Syntax, 3},
        {u"HKCR { Good { val X s 'no equals' } }", RegistrarError::Syntax, 1},
        {u"HKCR { Good = }", RegistrarError::Syntax, 1},
        {u"HKCR { '' = s 'empty name' }", RegistrarError::Syntax, 1},
        {u"HKCR { { } }", RegistrarError::Syntax, 1},
        {u"HKCR { NoRemove }", RegistrarError::Syntax, 1},
    };
    for (const BadScript& c : cases) {
        SCOPED_TRACE(skyvane::ToUtf8(c.script));
        auto result = registrar_.Register(c.script);
        EXPECT_EQ(result.error, c.error) << result.message;
        EXPECT_EQ(result.line, c.line) << result.message;
        EXPECT_EQ(result.ToHresult(), E_INVALIDARG);
        EXPECT_FALSE(result.message.empty());
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, u"Good")) << "a bad script must not write";
        EXPECT_EQ(registrar_.Unregister(c.script).error, c.error);
    }
}

TEST_F(RegistrarTest, DeepNestingIsRefusedAndTruncatedScriptsNeverCrash) {
    std::u16string deep = u"HKCR {";
    for (int i = 0; i < 200; ++i) deep += u" k {";
    for (int i = 0; i < 200; ++i) deep += u" }";
    deep += u" }";
    EXPECT_EQ(registrar_.Check(deep).error, RegistrarError::TooDeep);

    // Every prefix of a valid script either parses or fails with a line inside it.
    const std::u16string script(kServerScript);
    int lines = 1 + int(std::count(script.begin(), script.end(), u'\n'));
    for (size_t n = 0; n < script.size(); ++n) {
        auto result = registrar_.Check(std::u16string_view(script).substr(0, n));
        if (!result.ok()) {
            EXPECT_GE(result.line, 1);
            EXPECT_LE(result.line, lines);
        }
    }
    EXPECT_TRUE(registrar_.Check(script).ok());
}

TEST_F(RegistrarTest, RegistryFailuresAreReportedWithTheirLine) {
    std::u16string script = u"HKCU\n{\n  Fine\n  '" + std::u16string(300, u'x') + u"'\n}\n";
    auto result = registrar_.Register(script);
    ASSERT_EQ(result.error, RegistrarError::Registry) << result.message;
    EXPECT_EQ(result.line, 4);
    EXPECT_NE(result.win32, ERROR_SUCCESS);
    EXPECT_EQ(result.ToHresult(), HRESULT_FROM_WIN32(DWORD(result.win32)));
}

TEST(ModulePath, NamesTheLibraryHoldingAnAddress) {
    std::u16string platform = skyvane::ModulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    EXPECT_EQ(std::filesystem::path(skyvane::ToUtf8(platform)).filename(), "libskyvane-platform.so");
    EXPECT_TRUE(std::filesystem::path(skyvane::ToUtf8(platform)).is_absolute());
    static int local;
    std::u16string self = skyvane::ModulePathOf(&local);
    EXPECT_EQ(std::filesystem::path(skyvane::ToUtf8(self)).filename(), "platform_com_registrar_test");
}

}  // namespace
