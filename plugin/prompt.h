// Questions the plugin asks the person using it, answered Yes, No or
// Cancel: whether a connection may be created, whether to update in
// roaming. The dialogs of the UI answer them in a window; a command-line
// program answers them on its terminal; a process nobody watches (the
// background update, an update started from the home item) answers none
// and takes the path meant for that.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>

namespace skyvane::plugin {

enum class Answer { Yes, No, Cancel };
enum class Buttons { YesNo, YesNoCancel };

class Prompt {
public:
    virtual ~Prompt() = default;
    // Whether somebody can answer. Callers ask only when this is true.
    virtual bool Interactive() const = 0;
    // title: a short caption; question: the full question. The answer is
    // one of the buttons offered.
    virtual Answer Ask(std::u16string_view title, std::u16string_view question, Buttons buttons) = 0;
};

// Nobody to ask: a question that is asked anyway gets the answer that
// changes nothing (Cancel, or No when there is no Cancel).
class NonInteractivePrompt final : public Prompt {
public:
    bool Interactive() const override { return false; }
    Answer Ask(std::u16string_view title, std::u16string_view question, Buttons buttons) override;
};

// Asks on a terminal: the question goes to `out`, the answer is read as a
// line from `in` ("y"/"yes", "n"/"no", "c"/"cancel", in any case). An
// unknown answer asks again; the end of the input gives the answer that
// changes nothing, as above.
class TerminalPrompt final : public Prompt {
public:
    explicit TerminalPrompt(FILE* in = stdin, FILE* out = stderr) : in_(in), out_(out) {}
    bool Interactive() const override { return true; }
    Answer Ask(std::u16string_view title, std::u16string_view question, Buttons buttons) override;

private:
    FILE* in_;
    FILE* out_;
};

// The prompt for a command-line program: the terminal when standard input
// is one, else nobody.
std::unique_ptr<Prompt> PromptForCommandLine();

}  // namespace skyvane::plugin
