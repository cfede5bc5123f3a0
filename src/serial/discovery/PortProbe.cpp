#include "serial/discovery/PortProbe.h"

#include "serial/platform/TermDevice.h"

namespace keldrin::serial {

TSioPortState ProbePort(const std::string& device) {
    if (device.empty()) return psAbsent;

    TermDevice probe;
    switch (probe.open(device)) {
        case TermDevice::OpenResult::Ok:
            probe.close();  // also gives the exclusive flag back
            return psFree;
        case TermDevice::OpenResult::Missing:
            return psAbsent;
        case TermDevice::OpenResult::Unavailable:
            break;
    }
    return psInUse;
}

std::map<int, TSioPortState> ProbePorts(int maxCom, const PortMapEntries& map) {
    std::map<int, TSioPortState> states;
    for (int n = 1; n <= maxCom && n <= kMaxComNumber; ++n) {
        const auto it = map.find(n);
        states[n] = it == map.end() ? psAbsent : ProbePort(it->second);
    }
    return states;
}

}  // namespace keldrin::serial
