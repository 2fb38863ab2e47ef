// The device root: the Linux folder that stands for the device's file system.
// SKYVANE_ROOT names it; without it, $XDG_DATA_HOME/skyvane/device (or
// ~/.local/share/skyvane/device). It is read at every call, so a process (or a
// test) that changes SKYVANE_ROOT moves to another device; it is created on
// first use.
#pragma once

#include <string>
#include <string_view>

namespace skyvane {
std::string DeviceRoot();

// Maps a device path to a Linux path. "\Windows\StartUp\x.lnk" and
// "/Windows/x" are below the device root; each existing component is matched
// case-insensitively as the platform's file system does, and components that do
// not exist yet keep the given case. A Linux absolute path that already lies
// inside the device root, or names an existing Linux folder outside it
// ("/tmp/x", "/usr/share/..."), passes through unchanged.
std::string HostPath(std::u16string_view devicePath);
// The device path of a Linux path below the device root ("\Windows\x"), or the
// Linux path itself when it lies outside.
std::u16string DevicePath(std::string_view hostPath);
}  // namespace skyvane
