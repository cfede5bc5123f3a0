#include "serial/discovery/PortProbe.h"

#include <vector>

#include "serial/platform/DeviceHolders.h"

namespace keldrin::serial {

std::map<int, TSioPortState> ProbePorts(int maxCom, const PortMapEntries& map) {
    std::map<int, TSioPortState> states;
    std::vector<SerialDeviceId> present;
    std::vector<int> presentNumbers;
    for (int n = 1; n <= maxCom && n <= kMaxComNumber; ++n) {
        const auto it = map.find(n);
        SerialDeviceId id;
        const DevicePresence presence =
            it == map.end() ? DevicePresence::Absent : LookUpSerialDevice(it->second, &id);
        switch (presence) {
            case DevicePresence::Absent:
                states[n] = psAbsent;
                break;
            case DevicePresence::Denied:
                states[n] = psInUse;  // it exists, but cannot be had
                break;
            case DevicePresence::Present:
                states[n] = psFree;
                present.push_back(id);
                presentNumbers.push_back(n);
                break;
        }
    }
    // One reading of the holders for the whole list.
    const std::vector<bool> held = DevicesHeld(present);
    for (std::size_t i = 0; i < held.size(); ++i)
        if (held[i]) states[presentNumbers[i]] = psInUse;
    return states;
}

TSioPortState ProbePort(const std::string& device) {
    return ProbePorts(1, {{1, device}}).at(1);
}

std::map<int, TSioPortState> PresentPorts(int maxCom, const PortMapEntries& map) {
    std::map<int, TSioPortState> states;
    for (int n = 1; n <= maxCom && n <= kMaxComNumber; ++n) {
        const auto it = map.find(n);
        states[n] = it != map.end() && LookUpSerialDevice(it->second) != DevicePresence::Absent
                        ? psFree
                        : psAbsent;
    }
    return states;
}

bool PortPresent(const std::string& device) {
    return LookUpSerialDevice(device) != DevicePresence::Absent;
}

}  // namespace keldrin::serial
