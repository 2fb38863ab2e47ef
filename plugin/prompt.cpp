#include "plugin/prompt.h"

#include <unistd.h>

#include <cctype>
#include <string>

#include "platform/kernel/nls/text_conv.h"

namespace skyvane::plugin {
namespace {

Answer NothingChanges(Buttons buttons) { return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel; }

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

Answer NonInteractivePrompt::Ask(std::u16string_view, std::u16string_view, Buttons buttons) {
    return NothingChanges(buttons);
}

Answer TerminalPrompt::Ask(std::u16string_view title, std::u16string_view question, Buttons buttons) {
    const bool withCancel = buttons == Buttons::YesNoCancel;
    for (;;) {
        std::fprintf(out_, "%s: %s\n%s ", skyvane::ToUtf8(title).c_str(), skyvane::ToUtf8(question).c_str(),
                     withCancel ? "[y]es, [n]o or [c]ancel?" : "[y]es or [n]o?");
        std::fflush(out_);
        std::string line;
        int c;
        while ((c = std::fgetc(in_)) != EOF && c != '\n') line += char(c);
        if (c == EOF && line.empty()) {
            std::fputc('\n', out_);
            return NothingChanges(buttons);
        }
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) line.erase(0, 1);
        line = Lower(line);
        if (line == "y" || line == "yes") return Answer::Yes;
        if (line == "n" || line == "no") return Answer::No;
        if (withCancel && (line == "c" || line == "cancel")) return Answer::Cancel;
        if (c == EOF) return NothingChanges(buttons);
    }
}

std::unique_ptr<Prompt> PromptForCommandLine() {
    if (isatty(STDIN_FILENO)) return std::make_unique<TerminalPrompt>();
    return std::make_unique<NonInteractivePrompt>();
}

}  // namespace skyvane::plugin
