// The subcommands of `skyvane`, one family per source file, each with the
// description of its command line and the function that runs it.
#pragma once

#include "skyvane/arguments.h"

namespace skyvane::cli {

struct Command {
    const CommandSpec& spec;
    int (*run)(const Arguments& arguments);
};

extern const CommandSpec kInstallSpec;
int RunInstall(const Arguments& arguments);

extern const CommandSpec kCityAddSpec;
extern const CommandSpec kCityListSpec;
extern const CommandSpec kCityRemoveSpec;
int RunCityAdd(const Arguments& arguments);
int RunCityList(const Arguments& arguments);
int RunCityRemove(const Arguments& arguments);

extern const CommandSpec kUpdateSpec;
extern const CommandSpec kServiceSpec;
int RunUpdate(const Arguments& arguments);
int RunService(const Arguments& arguments);

extern const CommandSpec kShowSpec;
int RunShow(const Arguments& arguments);

extern const CommandSpec kLogSpec;
int RunLog(const Arguments& arguments);

}  // namespace skyvane::cli
