#include "platform/kernel/device_root.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"
#include "test_util/test_util.h"

namespace fs = std::filesystem;
using skyvane::DevicePath;
using skyvane::DeviceRoot;
using skyvane::HostPath;

namespace {

using skyvane::test::ScopedEnv;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(DeviceRootTest, ResolvedOnceAndMovedOnlyOnRequest) {
    skyvane::test::ScopedDeviceRoot device;
    EXPECT_STREQ(std::getenv("SKYVANE_ROOT"), device.path().c_str());  // for the processes it starts
    fs::path root = fs::path(device.path()) / "a" / "device";
    ScopedEnv env("SKYVANE_ROOT", (root.string() + "/").c_str());
    EXPECT_EQ(DeviceRoot(), device.path());  // a changed environment does not move the process
    {
        skyvane::test::ScopedDeviceMove move("");  // ... the explicit call reads it again
        EXPECT_EQ(DeviceRoot(), root.string());     // without the trailing slash
        EXPECT_TRUE(fs::is_directory(root));
        for (const char* folder : {"Windows/StartUp", "Application Data", "My Documents", "Program Files"})
            EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
        EXPECT_EQ(skyvane::SetDeviceRoot(device.path() + "/b/../c"), root.string());  // answers the previous root
        EXPECT_EQ(DeviceRoot(), device.path() + "/c");
        EXPECT_STREQ(std::getenv("SKYVANE_ROOT"), (device.path() + "/c").c_str());
    }
    EXPECT_EQ(DeviceRoot(), device.path());
}

TEST(DeviceRootTest, DefaultsBelowXdgDataHomeThenHome) {
    skyvane::test::ScopedDeviceRoot scratch;
    ScopedEnv noRoot("SKYVANE_ROOT", nullptr);
    {
        ScopedEnv xdg("XDG_DATA_HOME", (scratch.path() + "/xdg").c_str());
        skyvane::test::ScopedDeviceMove move("");
        EXPECT_EQ(DeviceRoot(), scratch.path() + "/xdg/skyvane/device");
        EXPECT_TRUE(fs::is_directory(scratch.path() + "/xdg/skyvane/device"));
    }
    ScopedEnv relativeXdg("XDG_DATA_HOME", "relative/ignored");  // relative values are invalid
    ScopedEnv home("HOME", (scratch.path() + "/home").c_str());
    skyvane::test::ScopedDeviceMove move("");
    EXPECT_EQ(DeviceRoot(), scratch.path() + "/home/.local/share/skyvane/device");
}

TEST(HostPathTest, MapsDevicePathsBelowTheRoot) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    struct Case {
        const char16_t* device;
        std::string host;
    } cases[] = {
        {u"\\Windows\\StartUp\\x.lnk", root + "/Windows/StartUp/x.lnk"},
        {u"/Windows/StartUp/x.lnk", root + "/Windows/StartUp/x.lnk"},   // forward slashes
        {u"\\\\Windows//StartUp\\", root + "/Windows/StartUp"},          // repeated and trailing separators
        {u"Windows\\x", root + "/Windows/x"},                            // no leading separator
        {u"\\", root},
        {u"", root},
        {u"\\.\\Windows\\.\\x", root + "/Windows/x"},
        {u"\\Windows\\..\\My Documents\\a", root + "/My Documents/a"},
        // Components that do not exist keep their case; nothing below them is looked up.
        {u"\\Storage card\\Themes\\NewYear", root + "/Storage card/Themes/NewYear"},
        // Existing ones take the case on disk.
        {u"\\WINDOWS\\startup\\X.LNK", root + "/Windows/StartUp/X.LNK"},
        {u"\\program files", root + "/Program Files"},
    };
    for (const Case& c : cases) EXPECT_EQ(HostPath(c.device), c.host) << skyvane::ToUtf8(c.device);
}

TEST(HostPathTest, ResolvesEveryExistingComponentWithoutCase) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    fs::create_directories(root + "/Application Data/SkyvaneWeather");
    Touch(root + "/Application Data/SkyvaneWeather/RSXX0091.bin");
    fs::create_directories(root + "/Данные/Погода");  // Cyrillic folds too

    EXPECT_EQ(HostPath(u"\\APPLICATION DATA\\skyvaneweather\\rsxx0091.BIN"),
              root + "/Application Data/SkyvaneWeather/RSXX0091.bin");
    EXPECT_EQ(HostPath(u"\\application data\\SKYVANEWEATHER\\USNY0996.bin"),
              root + "/Application Data/SkyvaneWeather/USNY0996.bin");
    EXPECT_EQ(HostPath(u"\\ДАННЫЕ\\погода\\Файл"), root + "/Данные/Погода/Файл");
    // A file used as a folder: the rest cannot exist and is kept as given.
    EXPECT_EQ(HostPath(u"\\Application Data\\SkyvaneWeather\\RSXX0091.BIN\\More"),
              root + "/Application Data/SkyvaneWeather/RSXX0091.bin/More");
}

TEST(HostPathTest, PrefersTheExactNameWhenLinuxHoldsSeveralCases) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    Touch(root + "/readme");
    Touch(root + "/README");
    EXPECT_EQ(HostPath(u"\\README"), root + "/README");
    EXPECT_EQ(HostPath(u"\\readme"), root + "/readme");
    EXPECT_EQ(HostPath(u"\\ReadMe"), root + "/README");  // first in byte order, whatever readdir says
}

TEST(HostPathTest, DotDotNeverLeavesTheDevice) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    EXPECT_EQ(HostPath(u"\\..\\..\\etc\\passwd"), root + "/etc/passwd");
    EXPECT_EQ(HostPath(u"..\\etc\\passwd"), root + "/etc/passwd");
    EXPECT_EQ(HostPath(u"\\Windows\\..\\..\\..\\x"), root + "/x");
    EXPECT_EQ(HostPath(u"/../etc/passwd"), root + "/etc/passwd");
    EXPECT_EQ(HostPath(u"/./etc/passwd"), root + "/etc/passwd");
    EXPECT_EQ(HostPath(u"\\Windows\\StartUp\\..\\..\\..\\..\\Windows"), root + "/Windows");
}

TEST(HostPathTest, LinuxPathsPassThrough) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    const std::string inside = root + "/Windows/new file.txt";
    EXPECT_EQ(HostPath(skyvane::W(inside)), inside);
    EXPECT_EQ(HostPath(skyvane::W(root)), root);
    EXPECT_EQ(HostPath(u"/tmp/not-yet-there/x.txt"), "/tmp/not-yet-there/x.txt");
    EXPECT_EQ(HostPath(u"/usr/share/zoneinfo"), "/usr/share/zoneinfo");
    // Inside the root a Linux path keeps its case even where the device would fold it.
    EXPECT_EQ(HostPath(skyvane::W(root + "/WINDOWS/x")), root + "/WINDOWS/x");
}

TEST(DevicePathTest, MapsBackAndRoundTrips) {
    skyvane::test::ScopedDeviceRoot device;
    const std::string root = DeviceRoot();
    EXPECT_EQ(DevicePath(root + "/Windows/StartUp/x.lnk"), u"\\Windows\\StartUp\\x.lnk");
    EXPECT_EQ(DevicePath(root), u"\\");
    EXPECT_EQ(DevicePath(root + "/"), u"\\");
    EXPECT_EQ(DevicePath(root + "/My Documents/../Windows"), u"\\Windows");
    EXPECT_EQ(DevicePath("/tmp/outside"), u"/tmp/outside");
    EXPECT_EQ(DevicePath(root + "/../sibling"), skyvane::W(root + "/../sibling"));  // outside after all
    EXPECT_EQ(DevicePath(root + "x/y"), skyvane::W(root + "x/y"));                // a longer name, not inside

    for (const char16_t* path : {u"\\Windows\\StartUp\\x.lnk", u"\\Storage card\\a b\\c.txt", u"\\Данные"})
        EXPECT_EQ(DevicePath(HostPath(path)), path);
}

TEST(DevicePathTest, EachDeviceRootIsItsOwnDevice) {
    std::string first;
    {
        skyvane::test::ScopedDeviceRoot device;
        first = HostPath(u"\\Windows\\a");
        EXPECT_EQ(first, device.path() + "/Windows/a");
    }
    skyvane::test::ScopedDeviceRoot other;
    EXPECT_EQ(HostPath(u"\\Windows\\a"), other.path() + "/Windows/a");
    EXPECT_NE(HostPath(u"\\Windows\\a"), first);
    EXPECT_TRUE(fs::is_directory(other.path() + "/Windows/StartUp"));  // made for the new root too
}

}  // namespace
