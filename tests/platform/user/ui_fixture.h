// A fixture for tests of windows and controls: a fresh device root, a frozen
// test clock (so timers fire when the loop waits for them), the headless back
// end, and test windows whose procedures are lambdas.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/user/user.h"
#include "test_util/test_util.h"

namespace skyvane::test {

class UiTest : public ::testing::Test {
public:
    // A handler answers a message, or returns nothing for DefWindowProcW.
    using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

protected:
    void SetUp() override;
    void TearDown() override;

    // A window of the fixture's class.
    HWND MakeWindow(Handler handler, DWORD style, RECT r, HWND parent = nullptr, UINT_PTR id = 0);
    // Dispatches what is waiting, without waiting (timers that are due included).
    void Pump();
    // Runs GetMessageW / DispatchMessageW until done() holds; false if the
    // queue asked to quit or maxMessages passed first.
    bool RunUntil(const std::function<bool()>& done, int maxMessages = 100000);
    // The tick count the frozen clock shows.
    DWORD Now() const;
    // A path in the test's device root.
    std::string TempPath(const std::string& name) const { return root_.path() + "/" + name; }

    ScopedDeviceRoot root_;
};

}  // namespace skyvane::test
