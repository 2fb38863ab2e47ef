#include "platform/kernel/test_clock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string_view>

#include "platform/base/log.h"
#include "platform/kernel/win_time.h"

namespace skyvane {

namespace {

// The clock file: "version=1" first, then key=value lines (integers), '#'
// comments and blank lines allowed. Missing keys are 0.
struct ClockState {
    long long timeOffsetMs = 0;
    long long tickOffsetMs = 0;
    bool frozen = false;
    long long frozenUtcMs = 0;   // the real readings at which a frozen clock stopped
    long long frozenTickMs = 0;
};

long long RealClockMs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

long long RealUtcMs() { return RealClockMs(CLOCK_REALTIME); }
long long RealTickMs() { return RealClockMs(CLOCK_BOOTTIME); }

std::optional<ClockState> ParseClock(std::string_view text) {
    ClockState state;
    bool versionSeen = false;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        long long number = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
        if (!versionSeen) {
            if (key != "version" || number != 1) return std::nullopt;
            versionSeen = true;
        } else if (key == "time_offset_ms") {
            state.timeOffsetMs = number;
        } else if (key == "tick_offset_ms") {
            state.tickOffsetMs = number;
        } else if (key == "frozen") {
            if (number != 0 && number != 1) return std::nullopt;
            state.frozen = number == 1;
        } else if (key == "frozen_utc_ms") {
            state.frozenUtcMs = number;
        } else if (key == "frozen_tick_ms") {
            state.frozenTickMs = number;
        } else {
            return std::nullopt;
        }
    }
    if (!versionSeen) return std::nullopt;
    return state;
}

std::string FormatClock(const ClockState& s) {
    std::string text = "version=1\n";
    text += "time_offset_ms=" + std::to_string(s.timeOffsetMs) + "\n";
    text += "tick_offset_ms=" + std::to_string(s.tickOffsetMs) + "\n";
    text += "frozen=" + std::string(s.frozen ? "1" : "0") + "\n";
    text += "frozen_utc_ms=" + std::to_string(s.frozenUtcMs) + "\n";
    text += "frozen_tick_ms=" + std::to_string(s.frozenTickMs) + "\n";
    return text;
}

bool ReadAll(int fd, std::string& out) {
    out.clear();
    char buf[512];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(buf, size_t(n));
        if (out.size() > 65536) return false;  // no clock file is this big
    }
}

bool WriteAll(int fd, const std::string& text) {
    if (ftruncate(fd, 0) != 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = pwrite(fd, text.data() + done, text.size() - done, off_t(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Holds an flock for the lifetime of an open descriptor.
class LockedFile {
public:
    LockedFile(const char* path, int flags, int lockType) {
        fd_ = open(path, flags | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        while (flock(fd_, lockType) != 0) {
            if (errno != EINTR) {
                close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) close(fd_);  // closing releases the lock
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

std::atomic<bool> g_complained{false};

void ComplainOnce(const char* path, const char* what) {
    if (!g_complained.exchange(true))
        SKYVANE_LOG("platform", "test clock %s: %s; using the real clock", path, what);
}

// The state of the test clock named by the environment, if any and readable.
std::optional<ClockState> CurrentState() {
    const char* path = std::getenv(SKYVANE_TEST_CLOCK_VAR);
    if (!path || !*path) return std::nullopt;
    LockedFile file(path, O_RDONLY, LOCK_SH);
    if (file.fd() < 0) {
        ComplainOnce(path, "cannot be read");
        return std::nullopt;
    }
    std::string text;
    std::optional<ClockState> state;
    if (ReadAll(file.fd(), text)) state = ParseClock(text);
    if (!state) ComplainOnce(path, "is not a clock file");
    return state;
}

// Read-modify-write of the clock file under an exclusive lock. The file is not
// created here: only Enable starts a clock.
template <class Change>
bool UpdateState(Change change) {
    const char* path = std::getenv(SKYVANE_TEST_CLOCK_VAR);
    if (!path || !*path) return false;
    LockedFile file(path, O_RDWR, LOCK_EX);
    if (file.fd() < 0) return false;
    std::string text;
    if (!ReadAll(file.fd(), text)) return false;
    ClockState state = ParseClock(text).value_or(ClockState{});
    if (!change(state)) return false;
    return WriteAll(file.fd(), FormatClock(state));
}

long long BaseUtc(const ClockState& s) { return s.frozen ? s.frozenUtcMs : RealUtcMs(); }
long long BaseTick(const ClockState& s) { return s.frozen ? s.frozenTickMs : RealTickMs(); }

}  // namespace

ClockReading ReadClock() {
    std::optional<ClockState> state = CurrentState();
    if (!state) return {RealUtcMs(), RealTickMs()};
    long long tick = BaseTick(*state) + state->tickOffsetMs;
    return {BaseUtc(*state) + state->timeOffsetMs, tick < 0 ? 0 : tick};
}

namespace testclock {

bool Enable(const std::string& path) {
    {
        LockedFile file(path.c_str(), O_RDWR | O_CREAT, LOCK_EX);
        if (file.fd() < 0 || !WriteAll(file.fd(), FormatClock(ClockState{}))) return false;
    }
    g_complained = false;
    return setenv(SKYVANE_TEST_CLOCK_VAR, path.c_str(), 1) == 0;
}

void Disable() { unsetenv(SKYVANE_TEST_CLOCK_VAR); }

std::string Path() {
    const char* path = std::getenv(SKYVANE_TEST_CLOCK_VAR);
    return path ? path : "";
}

bool SetSystemTime(const SYSTEMTIME& utcTime) {
    long long target;
    if (!SystemTimeToUnixMs(utcTime, target)) return false;
    return UpdateState([&](ClockState& s) {
        s.timeOffsetMs = target - BaseUtc(s);
        return true;
    });
}

bool SetLocalTime(const SYSTEMTIME& localTime) {
    long long local;
    if (!SystemTimeToUnixMs(localTime, local)) return false;
    long long target = LocalToUtcMs(local);
    return UpdateState([&](ClockState& s) {
        s.timeOffsetMs = target - BaseUtc(s);
        return true;
    });
}

bool Advance(long long ms) {
    return UpdateState([&](ClockState& s) {
        s.timeOffsetMs += ms;
        s.tickOffsetMs += ms;
        return true;
    });
}

bool SetTickCount(DWORD tickCount) {
    return UpdateState([&](ClockState& s) {
        s.tickOffsetMs = static_cast<long long>(tickCount) - BaseTick(s);
        return true;
    });
}

bool Freeze(bool frozen) {
    return UpdateState([&](ClockState& s) {
        if (frozen == s.frozen) return true;
        long long utc = RealUtcMs(), tick = RealTickMs();
        if (frozen) {
            s.frozenUtcMs = utc;
            s.frozenTickMs = tick;
        } else {
            // Run on from the frozen reading.
            s.timeOffsetMs += s.frozenUtcMs - utc;
            s.tickOffsetMs += s.frozenTickMs - tick;
            s.frozenUtcMs = s.frozenTickMs = 0;
        }
        s.frozen = frozen;
        return true;
    });
}

bool IsFrozen() {
    std::optional<ClockState> state = CurrentState();
    return state && state->frozen;
}

bool SleepAdvances(DWORD ms) {
    if (ms == INFINITE) return false;
    bool advanced = false;
    UpdateState([&](ClockState& s) {
        if (!s.frozen) return false;  // nothing written: a running clock sleeps for real
        s.timeOffsetMs += ms;
        s.tickOffsetMs += ms;
        advanced = true;
        return true;
    });
    return advanced;
}

}  // namespace testclock
}  // namespace skyvane
