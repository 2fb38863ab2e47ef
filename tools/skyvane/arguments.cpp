#include "skyvane/arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace skyvane::cli {
namespace {

constexpr OptionSpec kCommonOptions[] = {
    {"--root", "DIR", "work on the device in DIR (default: $SKYVANE_ROOT, else ~/.local/share/skyvane/device)"},
    {"--help", "", "show this help (also -h)"},
};

const OptionSpec* FindOption(const CommandSpec& spec, std::string_view name) {
    for (const OptionSpec& o : spec.options)
        if (o.name == name) return &o;
    for (const OptionSpec& o : kCommonOptions)
        if (o.name == name) return &o;
    return nullptr;
}

std::string OptionColumn(const OptionSpec& o) {
    std::string text(o.name);
    if (!o.value.empty()) text += " " + std::string(o.value);
    return text;
}

}  // namespace

Arguments Arguments::Parse(const CommandSpec& spec, std::span<char* const> words) {
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
        const OptionSpec* option = FindOption(spec, name);
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
        if (a.positional_.size() < spec.minArguments)
            a.error_ = "missing " + std::string(spec.arguments);
        else if (a.positional_.size() > spec.maxArguments)
            a.error_ = "unexpected argument \"" + a.positional_[spec.maxArguments] + "\"";
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

std::string UsageLine(const CommandSpec& spec) {
    std::string line = "usage: skyvane " + std::string(spec.name);
    if (!spec.arguments.empty()) line += " " + std::string(spec.arguments);
    for (const OptionSpec& o : spec.options) line += " [" + OptionColumn(o) + "]";
    return line + " [--root DIR]";
}

void PrintHelp(const CommandSpec& spec, FILE* out) {
    std::fprintf(out, "%s\n\n%.*s\n", UsageLine(spec).c_str(), int(spec.details.size()), spec.details.data());
    size_t width = 0;
    for (const OptionSpec& o : spec.options) width = std::max(width, OptionColumn(o).size());
    for (const OptionSpec& o : kCommonOptions) width = std::max(width, OptionColumn(o).size());
    std::fputs("\nOptions:\n", out);
    auto print = [&](const OptionSpec& o) {
        std::fprintf(out, "  %-*s  %.*s\n", int(width), OptionColumn(o).c_str(), int(o.help.size()), o.help.data());
    };
    for (const OptionSpec& o : spec.options) print(o);
    for (const OptionSpec& o : kCommonOptions) print(o);
    std::fputs("\nExit status: 0 done, 1 failed, 2 bad usage.\n", out);
}

int BadUsage(const CommandSpec& spec, std::string_view reason) {
    std::fprintf(stderr, "skyvane %.*s: %.*s\n%s\nSee: skyvane %.*s --help\n", int(spec.name.size()), spec.name.data(),
                 int(reason.size()), reason.data(), UsageLine(spec).c_str(), int(spec.name.size()), spec.name.data());
    return kBadUsage;
}

}  // namespace skyvane::cli
