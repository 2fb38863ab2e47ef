#include "skyvane/interrupts.h"

#include <signal.h>

#include <ctime>

namespace skyvane::cli {
namespace {

volatile sig_atomic_t terminated = 0;

void OnTerminate(int) { terminated = 1; }

sigset_t TerminalSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

Interrupts::Interrupts() {
    sigset_t set = TerminalSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupts::Requested() {
    if (seen_ || terminated) return seen_ = true;
    sigset_t set = TerminalSignals();
    const timespec now{0, 0};
    if (sigtimedwait(&set, nullptr, &now) > 0) seen_ = true;
    return seen_;
}

}  // namespace skyvane::cli
