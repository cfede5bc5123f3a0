// Figures of the serial engine over a pseudo-terminal (not a test): how long the window thread
// takes to queue 1 MiB with WriteChar, and the byte rates through the pty in each direction.
// Run: build/tests/serial_bench [MiB per direction, default 16]

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "serial/SioComPort.h"
#include "unit/serial/PtyFixture.h"

using namespace keldrin::serial;
using namespace keldrin::serial::testing;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Reads and discards everything the master side gets until `stop`; counts the bytes.
void drainMaster(int fd, std::atomic<bool>& stop, std::atomic<long long>& count) {
    std::vector<char> buf(1 << 16);
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n > 0) count += n;
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 16;
    const long long total = mib << 20;
    PtyPair pty;
    mapPort(77, pty.path);
    TSioComPort port;
    port.SetComNumber(77);
    port.SetInBufSize(1966080);
    port.SetOutBufSize(1966080);
    port.SetBaudRate(br38400);
    long long received = 0;
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) {
        received += p->ReadAllWaiting().size();
    };
    int emptied = 0;
    port.OnOutBufFree = [&](TSioComPort*) { ++emptied; };
    port.Open();

    std::atomic<bool> stop{false};
    std::atomic<long long> atMaster{0};
    std::thread drain([&] { drainMaster(pty.master, stop, atMaster); });

    // Queueing 1 MiB one byte at a time, while the write thread drains the ring.
    std::vector<double> queueMs;
    for (int run = 0; run < 7; ++run) {
        const long long before = atMaster;
        const auto t0 = Clock::now();
        for (int i = 0; i < (1 << 20); ++i) port.WriteChar(static_cast<char>(i));
        queueMs.push_back(secondsSince(t0) * 1000.0);
        pumpUntil([&] { return atMaster - before >= (1 << 20); }, 30000);
    }
    std::sort(queueMs.begin(), queueMs.end());
    std::printf("WriteChar, 1 MiB queued: median %.1f ms (%.0f ns/byte), best %.1f ms\n",
                queueMs[queueMs.size() / 2], queueMs[queueMs.size() / 2] * 1e6 / (1 << 20),
                queueMs.front());

    // Port to master: whole blocks through WriteData, as fast as the ring takes them.
    {
        const long long before = atMaster;
        std::vector<char> block(65536, 'x');
        const auto t0 = Clock::now();
        long long sent = 0;
        while (sent < total) {
            if (port.FreeOutputSpace() >= block.size()) {
                port.WriteData(block.data(), static_cast<int>(block.size()));
                sent += static_cast<long long>(block.size());
            } else {
                keldrin::WaitForEvents(1);
            }
        }
        pumpUntil([&] { return atMaster - before >= total; }, 60000);
        const double s = secondsSince(t0);
        std::printf("port -> pty: %lld MiB in %.2f s = %.1f MB/s\n", mib, s, total / s / 1e6);
    }
    stop = true;
    drain.join();

    // Master to port: read on the window thread through OnDataRecived and ReadAllWaiting.
    {
        std::vector<char> block(65536, 'y');
        std::thread writer([&] {
            long long done = 0;
            while (done < total) {
                pollfd p{pty.master, POLLOUT, 0};
                if (poll(&p, 1, 50) <= 0) continue;
                const ssize_t w = ::write(pty.master, block.data(), block.size());
                if (w > 0) done += w;
            }
        });
        received = 0;
        const auto t0 = Clock::now();
        pumpUntil([&] { return received >= total; }, 60000);
        const double s = secondsSince(t0);
        writer.join();
        std::printf("pty -> port: %lld MiB in %.2f s = %.1f MB/s\n", mib, s, total / s / 1e6);
    }
    port.Close();
    return 0;
}
