// The registry editor as a user runs it: commands, output, exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_util/test_util.h"

namespace {

using Result = skyvane::test::ProgramRun;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class EditorTest : public ::testing::Test {
protected:
    // Runs skyvane-reg with args on the test's device; stdin from a file when given.
    Result Run(const std::vector<std::string>& args, const std::string& input = "") {
        return skyvane::test::RunProgram("skyvane-reg", args, input, root_.path());
    }
    static bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

    skyvane::test::ScopedDeviceRoot root_;
};

TEST_F(EditorTest, SetGetListAndDeleteEveryType) {
    const std::string key = "HKCU\\Software\\Skyvane\\Weather";
    EXPECT_EQ(0, Run({"set", key, "UnitType", "dword", "0x2a"}).status);
    EXPECT_EQ(0, Run({"set", key, "City", "sz", "Москва"}).status);
    EXPECT_EQ(0, Run({"set", key, "Path", "expand_sz", "%TEMP%"}).status);
    EXPECT_EQ(0, Run({"set", key, "Bytes", "binary", "01,ff 7e"}).status);
    EXPECT_EQ(0, Run({"set", key, "Cities", "multi_sz", "RSXX0091", "USNY0996"}).status);
    EXPECT_EQ(0, Run({"set", key, "@", "sz", "default"}).status);

    EXPECT_EQ("42\n", Run({"get", key, "unittype"}).out);  // names without case
    EXPECT_EQ("Москва\n", Run({"get", key, "City"}).out);
    EXPECT_EQ("%TEMP%\n", Run({"get", key, "Path"}).out);
    EXPECT_EQ("01 ff 7e\n", Run({"get", key, "Bytes"}).out);
    EXPECT_EQ("RSXX0091\nUSNY0996\n", Run({"get", key, "Cities"}).out);
    EXPECT_EQ("default\n", Run({"get", key}).out);

    Result list = Run({"list", "hkcu\\software\\skyvane"});
    EXPECT_EQ(0, list.status);
    EXPECT_TRUE(Has(list.out, "HKEY_CURRENT_USER\\Software\\Skyvane\n")) << list.out;
    EXPECT_TRUE(Has(list.out, "HKEY_CURRENT_USER\\Software\\Skyvane\\Weather\n")) << list.out;
    EXPECT_FALSE(Has(list.out, "UnitType")) << "not recursive";
    Result recursive = Run({"list", "-r", "HKCU\\Software\\Skyvane"});
    EXPECT_TRUE(Has(recursive.out, "REG_DWORD")) << recursive.out;
    EXPECT_TRUE(Has(recursive.out, "0x2a (42)")) << recursive.out;
    EXPECT_TRUE(Has(recursive.out, "RSXX0091\\0USNY0996")) << recursive.out;

    EXPECT_EQ(0, Run({"delete", key, "City"}).status);
    Result gone = Run({"get", key, "City"});
    EXPECT_EQ(1, gone.status);
    EXPECT_TRUE(Has(gone.err, "not found")) << gone.err;
    EXPECT_EQ(0, Run({"delete", "HKCU\\Software\\Skyvane"}).status);
    EXPECT_EQ(1, Run({"list", key}).status);
    EXPECT_EQ(1, Run({"delete", "HKCU\\Software\\Skyvane"}).status);
}

TEST_F(EditorTest, WithoutArgumentsListsTheWholeDevice) {
    ASSERT_EQ(0, Run({"set", "HKLM\\Software\\Skyvane\\Device", "ScreenWidth", "dword", "480"}).status);
    ASSERT_EQ(0, Run({"set", "HKCR\\KWeather.KWeatherService", "@", "sz", "KWeather"}).status);
    // A finished program leaves the registry as one self-contained file.
    EXPECT_TRUE(std::filesystem::is_regular_file(root_.path() + "/registry.db"));
    EXPECT_FALSE(std::filesystem::exists(root_.path() + "/registry.db-wal"));
    Result all = Run({});
    EXPECT_EQ(0, all.status);
    EXPECT_TRUE(Has(all.out, "HKEY_LOCAL_MACHINE\\Software\\Skyvane\\Device\n")) << all.out;
    EXPECT_TRUE(Has(all.out, "ScreenWidth")) << all.out;
    EXPECT_TRUE(Has(all.out, "0x1e0 (480)")) << all.out;
    EXPECT_TRUE(Has(all.out, "HKEY_CLASSES_ROOT\\KWeather.KWeatherService\n")) << all.out;
}

TEST_F(EditorTest, ExportAndImportBetweenDevices) {
    const std::string key = "HKCU\\Software\\Skyvane\\Weather";
    ASSERT_EQ(0, Run({"set", key, "UnitType", "dword", "2"}).status);
    ASSERT_EQ(0, Run({"set", key, "City", "sz", "a \"quoted\" C:\\path"}).status);
    const std::string file = root_.path() + "/backup.reg";
    ASSERT_EQ(0, Run({"export", "HKCU\\Software\\Skyvane", file}).status);
    Result stdoutExport = Run({"export", "HKCU\\Software\\Skyvane"});
    EXPECT_EQ(ReadFile(file), stdoutExport.out);
    EXPECT_EQ(0u, stdoutExport.out.find("REGEDIT4\n"));

    const std::string other = root_.path() + "/other-device";
    EXPECT_EQ(0, Run({"--root", other, "import", file}).status);
    EXPECT_EQ("a \"quoted\" C:\\path\n", Run({"--root=" + other, "get", key, "City"}).out);
    EXPECT_EQ(ReadFile(file), Run({"--root", other, "export", "HKCU\\Software\\Skyvane"}).out);

    // From standard input, with a deletion.
    EXPECT_EQ(0, Run({"--root", other, "import", "-"},
                     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Skyvane\\Weather]\n\"City\"=-\n")
                     .status);
    EXPECT_EQ(1, Run({"--root", other, "get", key, "City"}).status);
}

TEST_F(EditorTest, UsageErrorsAndFailures) {
    Result help = Run({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(Has(help.out, "Usage: skyvane-reg")) << help.out;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"frobnicate"},
             {"get"},
             {"set", "HKCU\\X", "v", "dword"},
             {"set", "HKCU\\X", "v", "dword", "twelve"},
             {"set", "HKCU\\X", "v", "dword", "0x100000000"},
             {"set", "HKCU\\X", "v", "qword", "1"},
             {"set", "HKCU\\X", "v", "binary", "0g"},
             {"set", "HKCU\\X", "v", "sz", "a", "b"},
             {"get", "HKEY_USERS\\X", "v"},
             {"delete", "HKCU"},
             {"--root"},
             {"--bogus"},
             {"import"},
         }) {
        Result r = Run(args);
        EXPECT_EQ(2, r.status) << args[0];
        EXPECT_FALSE(r.err.empty());
    }
    const std::string bad = root_.path() + "/bad.reg";
    std::ofstream(bad) << "REGEDIT4\n\n[HKCU\\Software\\X]\n\"a\"=dword:xyz\n";
    Result r = Run({"import", bad});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Has(r.err, "line 4")) << r.err;
    EXPECT_EQ(1, Run({"list", "HKCU\\Software\\X"}).status);  // nothing applied
    EXPECT_EQ(1, Run({"import", root_.path() + "/missing.reg"}).status);
}

}  // namespace
