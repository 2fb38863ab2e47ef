// The plugin library as its hosts see it: registered by its own
// DllRegisterServer in a fresh device, created by ProgID through the COM
// runtime, the UI program run with each command line, and the launcher that
// starts it. The test program does not link the library.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"
#include "plugin/skyvane_interfaces.h"
#include "plugin/ui_launcher.h"
#include "plugin/update_support.h"
#include "test_util/registry_dump.h"
#include "test_util/test_util.h"

namespace {

using skyvane::Bstr;
using skyvane::ComPtr;

std::string Bin(const std::string& name) { return skyvane::test::BuildDir() + "/bin/" + name; }
std::string Library() { return std::filesystem::canonical(skyvane::test::BuildDir() + "/lib/libSkyvaneWeather.so"); }

struct Outcome {
    int status;
    std::string output;
};

Outcome Execute(const std::string& command) {
    Outcome run{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class PluginComTest : public ::testing::Test {
protected:
    void Register() { ASSERT_EQ(Execute(Bin("skyvane-regsvr") + " " + Library()).status, 0); }
    skyvane::test::ScopedDeviceRoot root;
};

TEST_F(PluginComTest, RegistrationWritesTheKeysOfTheClassAndItsTypeLibrary) {
    std::set<std::string> before = skyvane::test::DumpRegistry(HKEY_CLASSES_ROOT);
    Register();
    const std::string appid = "{EF43C07C-D572-4763-940C-8D8D0EA0C8C1}";
    const std::string libid = "{4BEF8280-3E1D-44C8-B2FE-71696ADCA688}";
    const std::string automation = "{00020424-0000-0000-C000-000000000046}";
    std::set<std::string> expected = {
        "AppID",
        "AppID\\" + appid,
        "AppID\\" + appid + "|@=SkyvaneWeather",
        "AppID\\SkyvaneWeather.DLL",
        "AppID\\SkyvaneWeather.DLL|AppID=" + appid,
        "CLSID",
        "TypeLib",
        "TypeLib\\" + libid,
        "TypeLib\\" + libid + "\\1.0",
        "TypeLib\\" + libid + "\\1.0|@=SkyvaneWeather 1.0 Type Library",
        "TypeLib\\" + libid + "\\1.0\\0",
        "TypeLib\\" + libid + "\\1.0\\0\\win32",
        "TypeLib\\" + libid + "\\1.0\\0\\win32|@=" + Library(),
        "TypeLib\\" + libid + "\\1.0\\FLAGS",
        "TypeLib\\" + libid + "\\1.0\\FLAGS|@=0",
        "TypeLib\\" + libid + "\\1.0\\HELPDIR",
        "TypeLib\\" + libid + "\\1.0\\HELPDIR|@=" + std::filesystem::path(Library()).parent_path().string() + "/",
        "Interface",
    };
    for (auto [name, clsid] : {std::pair<std::string, std::string>{"SkyvaneWeatherHomeScreen", "{D3997C0E-F6D0-4850-84A0-15DF5264264B}"},
                               {"SkyvaneTranslator", "{944ED115-C821-40B7-A4A4-6BB997270DB0}"}}) {
        const std::string k = "CLSID\\" + clsid, progId = "SkyvaneWeather." + name;
        for (const std::string& line :
             {k, k + "|@=" + name + " Class", k + "|AppID=" + appid, k + "\\InprocServer32",
              k + "\\InprocServer32|@=" + Library(), k + "\\InprocServer32|ThreadingModel=Free", k + "\\ProgID",
              k + "\\ProgID|@=" + progId + ".1", k + "\\Programmable", k + "\\TypeLib", k + "\\TypeLib|@=" + libid,
              k + "\\VersionIndependentProgID", k + "\\VersionIndependentProgID|@=" + progId, progId,
              progId + "|@=" + name + " Class", progId + "\\CLSID", progId + "\\CLSID|@=" + clsid, progId + "\\CurVer",
              progId + "\\CurVer|@=" + progId + ".1", progId + ".1", progId + ".1|@=" + name + " Class",
              progId + ".1\\CLSID", progId + ".1\\CLSID|@=" + clsid})
            expected.insert(line);
    }
    for (const char* iface : {"ISkyvaneWeatherHomeScreen:{F4D61812-A594-4E45-802F-DA1CC92426C1}",
                              "ISkyvaneWeatherHomeScreen2:{A2A4C9AA-1A48-4602-B943-13F8A1A7A67D}",
                              "ISkyvaneWeatherHomeScreen3:{CC16CC1E-24DD-4159-B4B4-EC1BCCF5381C}",
                              "ISkyvaneTranslator:{93656503-BF88-4168-85D2-FD49447003EC}"}) {
        std::string name(iface, strchr(iface, ':')), iid(strchr(iface, ':') + 1);
        std::string k = "Interface\\" + iid;
        for (const std::string& line : {k, k + "|@=" + name, k + "\\ProxyStubClsid", k + "\\ProxyStubClsid|@=" + automation,
                                        k + "\\ProxyStubClsid32", k + "\\ProxyStubClsid32|@=" + automation,
                                        k + "\\TypeLib", k + "\\TypeLib|@=" + libid, k + "\\TypeLib|Version=1.0"})
            expected.insert(line);
    }
    std::set<std::string> written = skyvane::test::Minus(skyvane::test::DumpRegistry(HKEY_CLASSES_ROOT), before);
    EXPECT_EQ(skyvane::test::Join(written), skyvane::test::Join(skyvane::test::Minus(expected, before)));

    ASSERT_EQ(Execute(Bin("skyvane-regsvr") + " -u " + Library()).status, 0);
    std::set<std::string> left = skyvane::test::Minus(skyvane::test::DumpRegistry(HKEY_CLASSES_ROOT), before);
    // Only the shared roots stay.
    EXPECT_EQ(skyvane::test::Join(left), "AppID\nCLSID\nInterface\nTypeLib\n");
}

TEST_F(PluginComTest, ThePluginObjectThroughItsInterfaces) {
    Register();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, 0)));
    {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(u"SkyvaneWeather.SkyvaneWeatherHomeScreen", &clsid), S_OK);
        EXPECT_TRUE(IsEqualGUID(clsid, CLSID_SkyvaneWeatherHomeScreen));
        ComPtr<ISkyvaneWeatherHomeScreen3> plugin;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)), S_OK);
        ComPtr<ISkyvaneWeatherHomeScreen> first;
        ComPtr<ISkyvaneWeatherHomeScreen2> second;
        ASSERT_EQ(plugin->QueryInterface(IID_PPV_ARGS(&first)), S_OK);
        ASSERT_EQ(plugin->QueryInterface(IID_PPV_ARGS(&second)), S_OK);
        EXPECT_EQ(static_cast<void*>(first.Get()), static_cast<void*>(plugin.Get()));
        EXPECT_EQ(static_cast<void*>(second.Get()), static_cast<void*>(plugin.Get()));

        LONG value = 0x5EED;
        EXPECT_EQ(plugin->GetTimerPeriod(0, &value), S_OK);
        EXPECT_EQ(value, 5000);  // until the first change poll
        EXPECT_EQ(plugin->Test(3, nullptr), S_OK);
        EXPECT_EQ(plugin->GetTimerPeriod(0, &value), S_OK);
        EXPECT_EQ(value, 1000);
        EXPECT_EQ(plugin->Test(9, nullptr), S_OK);
        value = 0x5EED;
        EXPECT_EQ(plugin->QueryRefresh(0, &value), S_OK);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(plugin->QueryRefresh(0, nullptr), E_POINTER);
        EXPECT_EQ(plugin->GetTimerPeriod(0, nullptr), E_POINTER);
        EXPECT_EQ(plugin->SetTodayColor(5, 0x00FF8000), S_OK);
        EXPECT_EQ(plugin->DestroyWindow(), S_OK);

        // What is not built yet says so; nothing pretends to have worked.
        value = 0x5EED;
        EXPECT_EQ(plugin->DoDetails(0, 0, &value), E_NOTIMPL);
        EXPECT_EQ(value, 0);
        ComPtr<IErrorInfo> error;
        ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
        Bstr description;
        error->GetDescription(description.Out());
        EXPECT_EQ(description.Str(), u"DoDetails is not available in this version of Skyvane Weather");

        // Late bound, by name.
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(plugin->QueryInterface(IID_PPV_ARGS(&dispatch)), S_OK);
        const OLECHAR* name = u"GetTimerPeriod";
        DISPID id = 0;
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &id), S_OK);
        EXPECT_EQ(id, 5);
        skyvane::Variant arg = skyvane::Variant::I4(0), result;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        ASSERT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, 1000);
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
}

TEST_F(PluginComTest, TheUiProgramRunsEachCommandOrSaysWhyNot) {
    const std::string ui = Bin("SkyvaneWeatherUI");
    Outcome unregistered = Execute(ui + " /Details");
    EXPECT_EQ(unregistered.status, 1);
    EXPECT_NE(unregistered.output.find("Finding SkyvaneWeather.SkyvaneWeatherHomeScreen failed"), std::string::npos)
        << unregistered.output;
    Register();
    // One city, and no path to the network; every schedule manual, so that
    // the background update process ends at once.
    skyvane::plugin::SettingsKey key(u"Weather", u"Skyvane");
    key.WriteText(u"CityCode0", u"RSXX0091");
    key.WriteText(u"CityName0", u"Moscow");
    for (const char16_t* name : {u"UpdateTime", u"UpdateTimeRoaming", u"UpdateTimeCradled", u"UpdateTimeWiFi"})
        key.WriteNumber(name, 0);
    skyvane::plugin::SettingsKey device(u"Device", u"Skyvane", HKEY_LOCAL_MACHINE);
    device.WriteNumber(u"ConnectionStatus", 0x24);
    struct Case {
        const char* args;
        int status;
        const char* says;
    } cases[] = {
        {"Update all", 1, "UpdateAndSave failed: Weather update failed. Moscow Connection Internet("},
        {"Update RSXX0091", 1, "No path to the destination could be found."},
        {"Update XXXX0000", 0, ""},  // no such city: nothing to update
        {"Service", 0, ""},
        {"/Details", 1, "DoDetails failed: DoDetails is not available"},
        {"Install", 1, "DoDetails failed"},
        {"Uninstall", 1, "DoDetails failed"},
        {"Update", 2, "unknown command \"Update\""},
        {"service", 2, "unknown command \"service\""},
        {"", 2, "usage: SkyvaneWeatherUI"},
    };
    for (const Case& c : cases) {
        Outcome run = Execute(ui + " " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << ": " << run.output;
    }
}

TEST_F(PluginComTest, TheLauncherStartsTheInstalledProgramWithTheCommandLine) {
    skyvane::plugin::InstallKeys keys;
    EXPECT_EQ(skyvane::plugin::StartUiProgram(keys, skyvane::plugin::kCommandDetails), ERROR_FILE_NOT_FOUND);
    const std::string log = root.path() + "/started.txt";
    skyvane::test::StandInProgram program(u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI", log);
    EXPECT_EQ(skyvane::plugin::StartUiProgram(keys, skyvane::plugin::UpdateCityCommand(u"RSXX0091")), ERROR_SUCCESS);
    EXPECT_EQ(program.Commands(1), std::vector<std::string>{"Update RSXX0091"});

    skyvane::plugin::SettingsKey key(u"WeatherRelease", u"SkyvaneWeatherRelease");
    key.WriteText(u"InstallFolder", u"\\Program Files\\Elsewhere");
    key.WriteText(u"SkyvaneWeatherUI", u"\\Program Files\\Elsewhere\\UI.exe");
    skyvane::test::StandInProgram elsewhere(u"\\Program Files\\Elsewhere\\UI", log);
    EXPECT_EQ(skyvane::plugin::StartUiProgram(keys, skyvane::plugin::kCommandService), ERROR_SUCCESS);
    EXPECT_EQ(elsewhere.Commands(2), (std::vector<std::string>{"Update RSXX0091", "Service"}));
}

}  // namespace
