// Ctrl-C for a subcommand that runs a while (the update, the background
// update process): from the moment the object exists, SIGINT and SIGHUP of
// the terminal are held back and asked for between steps, and SIGTERM is
// remembered, so that the command ends cleanly. The UI program the command
// starts inherits the held-back terminal signals: an update it began runs to
// its end even when the person at the terminal presses Ctrl-C.
#pragma once

namespace skyvane::cli {

class Interrupts {
public:
    // Create it before the process starts threads or other processes.
    Interrupts();
    // Whether an interrupt arrived (once seen, it stays seen).
    bool Requested();

private:
    bool seen_ = false;
};

}  // namespace skyvane::cli
