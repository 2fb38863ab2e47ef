// What ModemManager says about the machine's mobile broadband modems, read
// from its object manager on the system bus (org.freedesktop.ModemManager1).
#pragma once

#include "platform/connmgr/dbus_connection.h"

namespace skyvane::connmgr {

// Whether a modem is registered on a visited network: the 3GPP registration
// state is roaming (also for SMS only or with CSFB not preferred), or a CDMA
// registration (1x or EV-DO) is roaming. False when there are no modems; fails
// when ModemManager does not run or does not answer.
DbusResult<bool> ReadModemRoaming(DbusConnection& bus);

}  // namespace skyvane::connmgr
