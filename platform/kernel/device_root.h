// The device root: the Linux folder that stands for the device's file system
// and holds its registry database.
//
// A process works on one device. The root is resolved once, at its first use:
// SKYVANE_ROOT names it; without it, $XDG_DATA_HOME/skyvane/device (or
// ~/.local/share/skyvane/device; a relative XDG_DATA_HOME is ignored). Later
// changes to the environment do not move the process. It is created, with the
// folders every device has, on first use.
//
// SetDeviceRoot is the one way to move a process to another device (the
// registry editor's --root, and tests that give each case a device of its
// own). It also sets SKYVANE_ROOT, so that processes started afterwards work
// on the same device, and the registry lets go of the previous device: every
// key handle opened before answers ERROR_INVALID_HANDLE from then on, so no
// process holds handles on two devices. Call it while no other thread uses the
// platform (it changes the environment).
#pragma once

#include <string>
#include <string_view>

namespace skyvane {
// The device root of this process: absolute, without a trailing separator.
std::string DeviceRoot();
// Moves this process to the device at root, or, when root is empty, to the
// one the environment names now; answers the root it worked on before (as the
// environment named it when none had been resolved yet). A relative root is
// taken from the current folder.
std::string SetDeviceRoot(std::string_view root);
// Counts the moves of SetDeviceRoot to another folder; what a component keeps
// for the device (the registry's database and handles) belongs to one count.
unsigned DeviceRootGeneration();

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
