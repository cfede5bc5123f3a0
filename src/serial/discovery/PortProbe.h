#pragma once

// Whether a numbered port can be had right now: the port pickers ask this of every number they
// list. The answer comes from the system's tables (the device node, sysfs, the lock table, UUCP
// lock files, the open descriptors in /proc); no device is opened, so no board on a DTR or RTS
// line is reset by a look.

#include <map>
#include <string>

#include "serial/platform/PortMap.h"

namespace keldrin::serial {

// The probe state kept in the high half of a picker entry's tag.
enum TSioPortState : unsigned {
    psInUse = 0,  // exists but cannot be had now (another program, or this one, holds it)
    psFree = 1,
    psAbsent = 2  // no device named for the number, or no such device
};

// The state of one device. Never fails: every outcome is one of the three states. Absent: an
// empty name, no such file, not a terminal device, a serial-core node with no UART. In use:
// held (DeviceHeld: a lock on it, a live UUCP lock file, an open descriptor in another program),
// or not ours to read and write. Free otherwise.
TSioPortState ProbePort(const std::string& device);

// The states of COM 1 to `maxCom` (nothing for 0 or less) from one reading of the port map:
// numbers without a device are absent without touching the system, and the holders are looked
// up once for all of them.
std::map<int, TSioPortState> ProbePorts(int maxCom, const PortMapEntries& map);

// Only whether each number's device exists (free when it does): what a list needs when nobody
// looks at its states. Reads no holders.
std::map<int, TSioPortState> PresentPorts(int maxCom, const PortMapEntries& map);

// Whether `device` exists as a terminal device (a stat and sysfs; nothing is opened).
bool PortPresent(const std::string& device);

}  // namespace keldrin::serial
