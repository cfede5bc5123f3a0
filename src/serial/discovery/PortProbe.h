#pragma once

// Whether a numbered port can be had right now: the port pickers and the status report ask this
// of every number they list, by opening the device the way the serial engine does and closing it
// at once.

#include <map>
#include <string>

#include "serial/platform/PortMap.h"

namespace keldrin::serial {

// The probe state kept in the high half of a picker entry's tag.
enum TSioPortState : unsigned {
    psInUse = 0,  // exists but cannot be opened now (another program, or this one, holds it)
    psFree = 1,
    psAbsent = 2  // no device named for the number, or no such device
};

// Opens `device` with the engine's exclusive open and closes it again. Never fails: every
// outcome is one of the three states. An empty name is absent without any system call. A line
// that another program made exclusive is left alone (the open refuses it, also as root).
TSioPortState ProbePort(const std::string& device);

// The states of COM 1 to `maxCom` (nothing for 0 or less) from one reading of the port map:
// numbers without a device are absent without touching the system.
std::map<int, TSioPortState> ProbePorts(int maxCom, const PortMapEntries& map);

}  // namespace keldrin::serial
