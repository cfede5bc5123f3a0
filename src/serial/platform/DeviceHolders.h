#pragma once

// Whether a serial device exists and whether another program holds it, found without opening
// it. Opening a tty raises DTR and RTS and its last close drops them again, which resets many
// boards (Arduino-style boards, ESP32 boot-mode wiring); so a look must never open.

#include <sys/types.h>

#include <string>
#include <vector>

namespace keldrin::serial {

// A device node as the system knows it.
struct SerialDeviceId {
    std::string path;  // as given
    dev_t rdev = 0;    // the device's own number: what a descriptor of it shows
    dev_t fsDev = 0;   // the node's file system and inode: what a lock on it shows
    ino_t inode = 0;
    // Names of the UUCP lock files ("LCK..<name>") that programs take for this device: the path
    // and the node it leads to, relative to /dev with "/" as "_" (ttyUSB0, pts_3).
    std::vector<std::string> lockNames;
};

enum class DevicePresence {
    Absent,  // no such file, not a terminal device, or a serial-core node with no UART behind it
    Present,
    Denied  // it exists, but this program may not read and write it
};

// Looks the device up with stat and sysfs (`sysDevChar` is /sys/dev/char); opens nothing.
DevicePresence LookUpSerialDevice(const std::string& path, SerialDeviceId* id = nullptr,
                                  const std::string& sysDevChar = "/sys/dev/char");

// Where holders are looked for.
struct HolderSources {
    std::string proc = "/proc";
    std::vector<std::string> lockDirs = {"/var/lock", "/run/lock"};
};

// For each device, whether it is held now:
// - a lock on its node in /proc/locks (flock or POSIX), whoever took it, ourselves included;
// - a UUCP lock file naming a live process other than ourselves (a dead one's is stale);
// - a descriptor of it in another process we can see (our own user's, or every process when
//   we are root), except one that holds the master of that pseudo-terminal: that is the far
//   end of the line (a device simulator, a test), not a second reader.
// Each source is read once for all the devices. Nothing is opened but /proc and the lock files.
std::vector<bool> DevicesHeld(const std::vector<SerialDeviceId>& devices,
                              const HolderSources& sources = {});
bool DeviceHeld(const SerialDeviceId& device, const HolderSources& sources = {});

}  // namespace keldrin::serial
