// Registration of the common control classes.
#pragma once

namespace skyvane::commctrl {
void RegisterListViewClass();
void RegisterUpDownClass();
void RegisterTimePickerClass();
}  // namespace skyvane::commctrl
