// The subcommands of `skyvane`, one family per source file, each with the
// description of its command line and the function that runs it.
#pragma once

#include "skyvane/arguments.h"

namespace skyvane::cli {

struct Command {
    const CommandInfo& info;
    int (*run)(const Arguments& arguments);
};

extern const CommandInfo kInstallCommand;
int RunInstall(const Arguments& arguments);

extern const CommandInfo kCityAddCommand;
extern const CommandInfo kCityListCommand;
extern const CommandInfo kCityRemoveCommand;
int RunCityAdd(const Arguments& arguments);
int RunCityList(const Arguments& arguments);
int RunCityRemove(const Arguments& arguments);

extern const CommandInfo kUpdateCommand;
extern const CommandInfo kServiceCommand;
int RunUpdate(const Arguments& arguments);
int RunService(const Arguments& arguments);

extern const CommandInfo kShowCommand;
int RunShow(const Arguments& arguments);

extern const CommandInfo kLogCommand;
int RunLog(const Arguments& arguments);

}  // namespace skyvane::cli
