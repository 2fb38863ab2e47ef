#include "skyvane/arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace skyvane::cli {
namespace {

constexpr OptionInfo kCommonOptions[] = {
    {"--root", "DIR", "work on the device in DIR (default: $SKYVANE_ROOT, else ~/.local/share/skyvane/device)"},
    {"--help", "", "show this help (also -h)"},
};

const OptionInfo* FindOption(const CommandInfo& command, std::string_view name) {
    for (const OptionInfo& o : command.options)
        if (o.name == name) return &o;
    for (const OptionInfo& o : kCommonOptions)
        if (o.name == name) return &o;
    return nullptr;
}

std::string OptionColumn(const OptionInfo& o) {
    std::string text(o.name);
    if (!o.value.empty()) text += " " + std::string(o.value);
    return text;
}

}  // namespace

Arguments Arguments::Parse(const CommandInfo& command, std::span<char* const> words) {
    Arguments a;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size() && a.error_.empty(); ++i) {
        std::string_view word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-' || (word[1] != '-' && word != "-h")) {
            a.positional_.emplace_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "-h" || word == "--help") {
            a.help_ = true;
            continue;
        }
        std::string_view name = word;
        std::optional<std::string> inlineValue;
        if (size_t eq = word.find('='); eq != std::string_view::npos) {
            name = word.substr(0, eq);
            inlineValue = std::string(word.substr(eq + 1));
        }
        const OptionInfo* option = FindOption(command, name);
        if (!option) {
            a.error_ = "unknown option " + std::string(name);
        } else if (option->value.empty()) {
            if (inlineValue) a.error_ = std::string(name) + " takes no value";
            else a.given_.emplace_back(name, "");
        } else if (inlineValue) {
            a.given_.emplace_back(name, *inlineValue);
        } else if (i + 1 < words.size()) {
            a.given_.emplace_back(name, words[++i]);
        } else {
            a.error_ = std::string(name) + " needs a value (" + std::string(option->value) + ")";
        }
    }
    if (a.error_.empty() && !a.help_) {
        if (a.positional_.size() < command.minArguments)
            a.error_ = "missing " + std::string(command.arguments);
        else if (a.positional_.size() > command.maxArguments)
            a.error_ = "unexpected argument \"" + a.positional_[command.maxArguments] + "\"";
    }
    return a;
}

bool Arguments::Has(std::string_view option) const {
    return std::any_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == option; });
}

std::optional<std::string> Arguments::Value(std::string_view option) const {
    // The last one given counts, as with most programs.
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == option) return it->second;
    return std::nullopt;
}

std::optional<long> Arguments::Number(std::string_view option, long min, long max, std::string* error) const {
    std::optional<std::string> text = Value(option);
    if (!text) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != 0 || errno != 0 || value < min || value > max) {
        *error = std::string(option) + " takes a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", not \"" + *text + "\"";
        return std::nullopt;
    }
    return value;
}

std::string UsageLine(const CommandInfo& command) {
    std::string line = "usage: skyvane " + std::string(command.name);
    if (!command.arguments.empty()) line += " " + std::string(command.arguments);
    for (const OptionInfo& o : command.options) line += " [" + OptionColumn(o) + "]";
    return line + " [--root DIR]";
}

void PrintHelp(const CommandInfo& command, FILE* out) {
    std::fprintf(out, "%s\n\n%.*s\n", UsageLine(command).c_str(), int(command.details.size()), command.details.data());
    size_t width = 0;
    for (const OptionInfo& o : command.options) width = std::max(width, OptionColumn(o).size());
    for (const OptionInfo& o : kCommonOptions) width = std::max(width, OptionColumn(o).size());
    std::fputs("\nOptions:\n", out);
    auto print = [&](const OptionInfo& o) {
        std::fprintf(out, "  %-*s  %.*s\n", int(width), OptionColumn(o).c_str(), int(o.help.size()), o.help.data());
    };
    for (const OptionInfo& o : command.options) print(o);
    for (const OptionInfo& o : kCommonOptions) print(o);
    std::fputs("\nExit status: 0 done, 1 failed, 2 bad usage.\n", out);
}

int BadUsage(const CommandInfo& command, std::string_view reason) {
    std::fprintf(stderr, "skyvane %.*s: %.*s\n%s\nSee: skyvane %.*s --help\n", int(command.name.size()), command.name.data(),
                 int(reason.size()), reason.data(), UsageLine(command).c_str(), int(command.name.size()), command.name.data());
    return kBadUsage;
}

}  // namespace skyvane::cli
