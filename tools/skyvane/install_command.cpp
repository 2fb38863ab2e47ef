// skyvane install: what the package installer does for the handheld: the
// libraries registered in the device, the installation key written and the
// shipped data copied into the device.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/server_library.h"
#include "platform/kernel/device_root.h"
#include "plugin/install_keys.h"
#include "plugin/main_settings.h"
#include "plugin/settings_key.h"
#include "skyvane/commands.h"
#include "skyvane/console.h"

namespace skyvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr char kInstallDetails[] =
    "Installs Skyvane Weather into the device: registers the weather service library and the\n"
    "plugin library found beside this program (../lib), writes the installation key (the\n"
    "install folder, the data folder and the UI program beside this program), and copies the\n"
    "shipped data (the city database) where the plugin reads it. Installing again replaces\n"
    "what an earlier installation wrote.";

// The in-process servers, in the order the package installer registers them.
constexpr const char* kLibraries[][2] = {
    {"libKWeather.so", "the weather service library"},
    {"libSkyvaneWeather.so", "the plugin library"},
};

// Data the package ships: a folder below share/skyvane of the installation,
// its files, and the device folder they go to.
struct ShippedData {
    const char* what;
    const char* folder;
    std::vector<const char*> files;
    std::u16string (*destination)(const plugin::SettingsKey& settings);
};

const ShippedData kShippedData[] = {
    {"The city database", "citydb", {"index.txt", "kweather.idx", "kweather.db"}, plugin::CityDatabasePath},
};

// The folder this program runs from (bin/ of the build or of an installation).
fs::path ProgramFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

void PrintStep(std::u16string_view what, std::string_view where) {
    PrintLine(u"  " + PadRight(what, 40) + Utf16(where));
}

}  // namespace

const CommandInfo kInstallCommand{"install", "", "install Skyvane Weather into the device", kInstallDetails, {}, 0, 0};

int RunInstall(const Arguments&) {
    const fs::path bin = ProgramFolder();
    const fs::path prefix = bin.parent_path();
    const fs::path uiProgram = bin / "SkyvaneWeatherUI";
    if (!fs::exists(uiProgram))
        return Fail("The UI program is missing beside skyvane (" + uiProgram.string() + "); build it first.");

    PrintLine("Installing Skyvane Weather into the device " + skyvane::DeviceRoot());
    for (const auto& [library, what] : kLibraries) {
        const std::string path = (prefix / "lib" / library).string();
        std::string error;
        if (FAILED(skyvane::RegisterServerLibrary(path, false, &error)))
            return Fail("Cannot register " + std::string(what) + ": " + error + ".");
        PrintStep(u"Registered " + Utf16(what), path);
    }

    plugin::SettingsKey install(plugin::kWeatherInstallProduct, plugin::kWeatherInstallCompany);
    install.WriteText(u"InstallFolder", plugin::kDefaultInstallFolder);
    install.WriteText(u"InstallDataFolder", plugin::kDefaultInstallFolder);
    install.WriteText(u"SkyvaneWeatherUI", Utf16(uiProgram.string()));
    std::error_code ec;
    fs::create_directories(skyvane::HostPath(plugin::kDefaultInstallFolder), ec);
    PrintStep(u"The UI program", uiProgram.string());

    const plugin::SettingsKey settings(plugin::kSettingsProduct, plugin::kSettingsCompany);
    for (const ShippedData& data : kShippedData) {
        const std::u16string destination = data.destination(settings);
        const fs::path target = skyvane::HostPath(destination);
        fs::create_directories(target, ec);
        if (ec) return Fail("Cannot create " + target.string() + ": " + ec.message() + ".");
        for (const char* file : data.files) {
            const fs::path source = prefix / "share" / "skyvane" / data.folder / file;
            fs::copy_file(source, target / file, fs::copy_options::overwrite_existing, ec);
            if (ec)
                return Fail("Cannot copy " + source.string() + " into the device: " +
                            ec.message() + ".");
        }
        PrintStep(Utf16(data.what), Utf8(destination));
    }
    PrintLine(std::string_view("Skyvane Weather is installed. Add a city with: skyvane city add NAME"));
    return kDone;
}

}  // namespace skyvane::cli
