// SkyvaneWeatherUI: the program the plugin starts with one command line per
// process. It creates the plugin object by ProgID, runs the command and ends:
//
//   Update all        UpdateAndSave("all")
//   Update CODE       UpdateAndSave(CODE)
//   Service           UpdateAndSave("service"): the background update loop
//   /Details          DoDetails(0, 0): the details window
//   Install           DoDetails(0, 1)
//   Uninstall         DoDetails(0, 2)
//
// Exit status: 0 done, 1 the plugin failed (its description on standard
// error), 2 a command line it does not know. An update that another update
// or the installer kept from running to its end is done (0), with a note on
// standard error.
#include <cstdio>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "plugin/skyvane_interfaces.h"

namespace {

using skyvane::Bstr;
using skyvane::ComPtr;

constexpr char kUsage[] =
    "usage: SkyvaneWeatherUI \"Update all\" | \"Update CODE\" | Service | /Details | Install | Uninstall\n";

std::string ErrorDescription() {
    ComPtr<IErrorInfo> info;
    Bstr text;
    if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(text.Out())) && !text.Empty())
        return skyvane::ToUtf8(text.View());
    return {};
}

int Failed(const char* what, HRESULT hr) {
    std::string description = ErrorDescription();
    if (description.empty()) description = "no description";
    std::fprintf(stderr, "SkyvaneWeatherUI: %s failed: %s (error 0x%08X)\n", what, description.c_str(), unsigned(hr));
    return 1;
}

// The command line as one text: the words the process received, joined again.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

int Run(const std::string& command) {
    bool update = command == "Update all" || command.rfind("Update ", 0) == 0;
    long detailsType = command == "/Details" ? 0 : command == "Install" ? 1 : command == "Uninstall" ? 2 : -1;
    if (!update && command != "Service" && detailsType < 0) {
        std::fprintf(stderr, "SkyvaneWeatherUI: unknown command \"%s\"\n%s", command.c_str(), kUsage);
        return 2;
    }
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) return Failed("CoInitializeEx", hr);
    CLSID clsid{};
    hr = CLSIDFromProgID(u"SkyvaneWeather.SkyvaneWeatherHomeScreen", &clsid);
    if (FAILED(hr)) return Failed("Finding SkyvaneWeather.SkyvaneWeatherHomeScreen", hr);
    ComPtr<ISkyvaneWeatherHomeScreen3> plugin;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin));
    if (FAILED(hr)) return Failed("Creating SkyvaneWeather.SkyvaneWeatherHomeScreen", hr);

    if (update || command == "Service") {
        std::string code = command == "Service" ? "service" : command.substr(7);
        Bstr bstr(skyvane::FromUtf8(code));
        hr = plugin->UpdateAndSave(bstr.get(), 0, 0);
        if (FAILED(hr)) return Failed("UpdateAndSave", hr);
        if (hr == S_FALSE)
            std::fputs("SkyvaneWeatherUI: the update did not run to its end: another update or the installer is at "
                       "work (the diagnostic log says which)\n",
                       stderr);
    } else {
        LONG result = 0;
        hr = plugin->DoDetails(0, detailsType, &result);
        if (FAILED(hr)) return Failed("DoDetails", hr);
    }
    plugin.Reset();
    CoUninitialize();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return Run(CommandLine(argc, argv));
}
