// The port map reader on any text: nothing may crash; what it gives is well formed; writing an
// entry (as Keldrin does, and as keldrin-devsim does when it registers its terminal) reads back
// as written and leaves every other number as it was; new devices get the lowest free numbers.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FuzzKit.h"
#include "PortMap.h"  // keldrin-devsim's writer
#include "serial/platform/PortMap.h"

using namespace keldrin::serial;

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A device path as a program would give one: visible characters, no comment sign.
std::string devicePath(const std::string& raw, const char* fallback) {
    std::string d;
    for (char c : raw)
        if (c > 32 && c < 127 && c != '#') d += c;
    return d.empty() ? fallback : d;
}

void checkWellFormed(const PortMapEntries& map) {
    for (const auto& [com, device] : map) {
        FUZZ_CHECK(com >= 1 && com <= kMaxComNumber);
        FUZZ_CHECK(!device.empty() && !blank(device.front()) && !blank(device.back()));
        FUZZ_CHECK(device.find('#') == std::string::npos);
        FUZZ_CHECK(device.find('\n') == std::string::npos);
    }
}

// `after` holds `com` = `device` and, for every other number, what `before` held.
void checkOneChanged(const PortMapEntries& before, const PortMapEntries& after, int com,
                     const std::string& device) {
    auto it = after.find(com);
    FUZZ_CHECK(it != after.end() && it->second == device);
    PortMapEntries a = after, b = before;
    a.erase(com);
    b.erase(com);
    FUZZ_CHECK(a == b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int com = in.ConsumeIntegralInRange<int>(1, kMaxComNumber);
    const std::string device = devicePath(in.ConsumeRandomLengthString(24), "/dev/ttyUSB0");
    const int newDevices = in.ConsumeIntegralInRange<int>(0, 3);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const PortMapEntries map = ParsePortMap(text);
    checkWellFormed(map);

    const std::string& path = fuzzkit::scratchPath("portmap");
    const QByteArray original = fuzzkit::bytes(text);

    fuzzkit::writeFile(path, original);
    FUZZ_CHECK(ReadPortMap(path) == map);
    FUZZ_CHECK(WritePortMapEntries(path, {{com, device}}));
    checkOneChanged(map, ReadPortMap(path), com, device);

    fuzzkit::writeFile(path, original);
    std::string error;
    FUZZ_CHECK(devsim::setPortEntry(path, com, device, error));
    const PortMapEntries registered = ReadPortMap(path);
    checkOneChanged(map, registered, com, device);
    FUZZ_CHECK(devsim::removePortEntry(path, com, device, error));
    {
        const PortMapEntries removed = ReadPortMap(path);
        auto it = removed.find(com);
        FUZZ_CHECK(it == removed.end() || it->second != device);
    }

    // New devices: each gets the lowest free number, unless an entry already names it.
    fuzzkit::writeFile(path, original);
    std::vector<std::string> devices;
    for (int i = 0; i < newDevices; ++i)
        devices.push_back("/nonexistent/\x01tty" + std::to_string(i));
    const PortMapEntries assigned = AssignNewDevices(path, devices);
    checkWellFormed(assigned);
    if (!AddsSystemDevices(text)) {
        // A map that takes no system devices stays as it is.
        FUZZ_CHECK(assigned == map);
        FUZZ_CHECK(ReadPortMap(path) == map);
        return 0;
    }
    std::set<int> taken;
    for (const auto& [n, d] : map) {
        auto it = assigned.find(n);
        FUZZ_CHECK(it != assigned.end() && it->second == d);
        taken.insert(n);
    }
    int expectedNumber = 1;
    for (const std::string& d : devices) {
        bool named = false;
        for (const auto& [n, old] : map) named = named || old == d;
        if (named) continue;
        while (expectedNumber <= kMaxComNumber && taken.count(expectedNumber)) ++expectedNumber;
        if (expectedNumber > kMaxComNumber) break;
        auto it = assigned.find(expectedNumber);
        FUZZ_CHECK(it != assigned.end() && it->second == d);
        taken.insert(expectedNumber);
    }
    FUZZ_CHECK(ReadPortMap(path) == assigned);
    return 0;
}
