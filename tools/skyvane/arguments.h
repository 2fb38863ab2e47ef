// The command line of every `skyvane` subcommand: its options and arguments
// described once as data, parsed by one parser, and the same --help text
// and usage errors for all of them. Every subcommand also takes --root DIR
// (the device to work on) and -h/--help.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skyvane::cli {

// The exit status of every subcommand, which scripts can rely on.
enum ExitStatus : int { kDone = 0, kFailed = 1, kBadUsage = 2 };

struct OptionInfo {
    std::string_view name;   // "--days"
    std::string_view value;  // "N" for an option that takes a value; empty for a switch
    std::string_view help;
};

struct CommandInfo {
    std::string_view name;       // "city add"
    std::string_view arguments;  // "NAME|CODE", "[CODE|all]"
    std::string_view summary;    // one line, for the list of commands
    std::string_view details;    // what the command does, for --help
    std::span<const OptionInfo> options;
    size_t minArguments = 0;
    size_t maxArguments = 0;
};

class Arguments {
public:
    // Parses the words after the command's name. Options may come anywhere,
    // as "--name VALUE" or "--name=VALUE"; "--" ends them.
    static Arguments Parse(const CommandInfo& command, std::span<char* const> words);

    bool HelpAsked() const { return help_; }
    // Why the command line is wrong; empty when it is right.
    const std::string& Error() const { return error_; }
    const std::vector<std::string>& Positional() const { return positional_; }
    bool Has(std::string_view option) const;
    std::optional<std::string> Value(std::string_view option) const;
    // A whole number from min to max; a value out of range or not a number
    // sets *error.
    std::optional<long> Number(std::string_view option, long min, long max, std::string* error) const;

private:
    bool help_ = false;
    std::string error_;
    std::vector<std::string> positional_;
    std::vector<std::pair<std::string, std::string>> given_;  // option, value ("" for a switch)
};

// The help of a command, on standard output.
void PrintHelp(const CommandInfo& command, FILE* out = stdout);
// "usage: skyvane city add NAME|CODE [options]".
std::string UsageLine(const CommandInfo& command);
// A command line the command does not accept: the reason and the usage on
// standard error; kBadUsage.
int BadUsage(const CommandInfo& command, std::string_view reason);

}  // namespace skyvane::cli
