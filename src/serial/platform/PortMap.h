#pragma once

// Which device is COM N. The port map file holds lines "COM<N>=<device path>" (key in any case,
// blanks around key and value ignored, "#" starts a comment, N from 1 to 255, a later line for
// the same N wins). Serial devices the system knows and the map does not name get the lowest
// free number when first seen and are written back, so a number stays with its device, unless
// the map says "AddSystemDevices=no": then only the ports it names exist (a station whose
// numbers are all chosen by hand, or a map that holds nothing but simulated devices).

#include <map>
#include <string>
#include <vector>

namespace keldrin::serial {

using PortMapEntries = std::map<int, std::string>;

constexpr int kMaxComNumber = 255;

// $KELDRIN_PORTS when set and not empty, else "Keldrin.ports" in the program's folder.
std::string PortMapPath();

PortMapEntries ParsePortMap(const std::string& text);
// False when the map's last "AddSystemDevices=" line (key in any case) says "no".
bool AddsSystemDevices(const std::string& text);
// The map in a file, read under a shared lock; a missing or unreadable file reads as empty.
PortMapEntries ReadPortMap(const std::string& path);
// Sets "COM<N>=<device>" for every entry given, under an exclusive lock, keeping every other
// line (comments included): the line that decides N is rewritten, or a line is appended.
bool WritePortMapEntries(const std::string& path, const PortMapEntries& entries);
// Gives each device that the map does not name yet the lowest free number, under the file's
// exclusive lock so that instances started together agree; returns the whole map afterwards.
// When the file cannot be written the numbers are given for this call only. A map that does not
// add system devices comes back as it is.
PortMapEntries AssignNewDevices(const std::string& path, const std::vector<std::string>& devices);

// Serial devices the system knows (from sysfs: ttys with a device behind them, leaving out
// serial-core nodes with no UART), each by its /dev/serial/by-id name where one exists.
std::vector<std::string> SystemSerialDevices(const std::string& sysClassTty = "/sys/class/tty",
                                             const std::string& byIdDir = "/dev/serial/by-id",
                                             const std::string& devDir = "/dev");

// The map with the system's devices assigned: what the port pickers list.
PortMapEntries CurrentPortMap();

// Device path of COM N; empty when no device is known for it.
std::string PortDeviceName(int com);

}  // namespace keldrin::serial
