// skyvane: Skyvane Weather from the command line, for people and scripts.
// Each subcommand works through the plugin's own objects (settings, city
// list, weather store, update requests, formatting), so that every other
// process of the device sees what it changes.
//
//   skyvane install | city add/list/remove | update | service | show | log
//
// Exit status: 0 done, 1 failed, 2 bad usage.
#include <cstdio>
#include <span>
#include <string_view>

#include "platform/kernel/device_root.h"
#include "skyvane/commands.h"

namespace {

using namespace skyvane::cli;

const Command kCommands[] = {
    {kInstallCommand, RunInstall}, {kCityAddCommand, RunCityAdd}, {kCityListCommand, RunCityList},
    {kCityRemoveCommand, RunCityRemove}, {kUpdateCommand, RunUpdate}, {kServiceCommand, RunService},
    {kShowCommand, RunShow},       {kLogCommand, RunLog},
};

void PrintCommands(FILE* out, std::string_view family = {}) {
    std::fputs(family.empty() ? "usage: skyvane COMMAND [ARGUMENTS] [--root DIR]\n\nCommands:\n"
                              : "usage: skyvane city add|list|remove ...\n\nCommands:\n",
               out);
    for (const Command& c : kCommands) {
        if (!family.empty() && c.info.name.substr(0, family.size()) != family) continue;
        std::string head(c.info.name);
        if (!c.info.arguments.empty()) head += " " + std::string(c.info.arguments);
        std::fprintf(out, "  %-28s %.*s\n", head.c_str(), int(c.info.summary.size()), c.info.summary.data());
    }
    std::fputs("\nEach command explains itself with --help. Exit status: 0 done, 1 failed, 2 bad usage.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    std::span<char*> words(argv + 1, size_t(argc > 0 ? argc - 1 : 0));
    if (words.empty()) {
        PrintCommands(stderr);
        return kBadUsage;
    }
    const std::string_view first = words[0];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintCommands(stdout);
        return kDone;
    }
    // "city" takes its subcommand as a second word.
    std::string name(first);
    size_t used = 1;
    if (first == "city") {
        if (words.size() < 2 || std::string_view(words[1]).starts_with("-")) {
            const bool help = words.size() >= 2 && (std::string_view(words[1]) == "--help" ||
                                                    std::string_view(words[1]) == "-h");
            PrintCommands(help ? stdout : stderr, "city");
            return help ? kDone : kBadUsage;
        }
        name += " " + std::string(words[1]);
        used = 2;
    }
    for (const Command& command : kCommands) {
        if (command.info.name != name) continue;
        const Arguments arguments = Arguments::Parse(command.info, words.subspan(used));
        if (arguments.HelpAsked()) {
            PrintHelp(command.info);
            return kDone;
        }
        if (!arguments.Error().empty()) return BadUsage(command.info, arguments.Error());
        if (std::optional<std::string> root = arguments.Value("--root")) {
            if (root->empty()) return BadUsage(command.info, "--root needs a folder");
            skyvane::SetDeviceRoot(*root);
        }
        return command.run(arguments);
    }
    std::fprintf(stderr, "skyvane: there is no command \"%s\".\n\n", name.c_str());
    PrintCommands(stderr);
    return kBadUsage;
}
