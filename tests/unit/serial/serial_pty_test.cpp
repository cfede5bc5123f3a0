// The serial engine over real pseudo-terminals: open errors, byte-exact transfers both ways,
// the ring's wrap, purges, closing under load, the receive poll, a vanishing device and the
// line settings as the terminal holds them.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Guard.h"
#include "serial/SioComPort.h"
#include "serial/SioSafeSync.h"
#include "serial/platform/Termios2.h"
#include "unit/serial/PtyFixture.h"

using namespace keldrin::serial;
using namespace keldrin::serial::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMiB = 1 << 20;

int threadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

long long msSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// Writes all of `data` to the master side, waiting for room; stops early on `stop`.
void writeAllToMaster(int fd, const std::string& data, const std::atomic<bool>* stop = nullptr) {
    std::size_t done = 0;
    while (done < data.size() && !(stop && *stop)) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w > 0)
            done += static_cast<std::size_t>(w);
        else if (w < 0 && errno != EAGAIN && errno != EINTR)
            return;
    }
}

// Reads from the master side until `want` bytes or the time-out.
std::string readFromMaster(int fd, std::size_t want, int timeoutMs) {
    std::string got;
    std::vector<char> buf(65536);
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want && Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n > 0)
            got.append(buf.data(), static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_GE(pty.master, 0) << "no pseudo-terminal";
        com = nextCom++;
        mapPort(com, pty.path);
        port.SetComNumber(static_cast<std::uint16_t>(com));
        port.SetInBufSize(1966080);
        port.SetOutBufSize(1966080);
        port.SetBaudRate(br38400);
        port.SetStopbits(sbTwo);
        port.SetWriteThreadPriority(tpNormal);
        port.OnPortClose = [this](TSioComPort*) {
            ++closes;
            closedOnMainThread = QThread::currentThread() == qApp->thread();
        };
    }
    void TearDown() override { keldrin::setErrorTrap(nullptr); }

    static int nextCom;
    PtyPair pty;
    int com = 0;
    TSioComPort port;
    int closes = 0;
    bool closedOnMainThread = false;
};
int PtyPort::nextCom = 100;

}  // namespace

// ---- hand-off to the window thread ----

TEST(SafeSync, CallsArriveInOrderAndATimedOutCallKeepsItsOwnMessage) {
    std::vector<std::uint32_t> seen;
    const std::uint32_t id = SioSafeSync::TakeSlot([&](const SioSyncMessage& m) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        seen.push_back(m.data);
    });
    ASSERT_NE(id, 0u);
    SioSyncMessage m;
    m.data = 1;
    EXPECT_FALSE(SioSafeSync::Call(id, m, 100)) << "a disabled slot takes no call";
    SioSafeSync::EnableSlot(id, true);

    // The window thread is busy: the call times out, still answering true.
    bool answer = false;
    long long waited = 0;
    std::thread caller([&] {
        const auto t0 = Clock::now();
        SioSyncMessage first;
        first.data = 10;
        answer = SioSafeSync::Call(id, first, 100);
        waited = msSince(t0);
    });
    caller.join();
    EXPECT_TRUE(answer);
    EXPECT_GE(waited, 90);
    EXPECT_TRUE(seen.empty());

    // Later calls queue behind it; once the window thread is free all run, in order.
    std::thread more([&] {
        for (std::uint32_t d = 11; d <= 13; ++d) {
            SioSyncMessage next;
            next.data = d;
            SioSafeSync::Call(id, next, 2000);
        }
    });
    EXPECT_TRUE(pumpUntil([&] { return seen.size() == 4; }, 10000));
    more.join();
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{10, 11, 12, 13}));
    SioSafeSync::ClearSlot(id);
}

// Events that carry nothing but their arrival (an emptied ring) are posted, not waited for;
// two such posts waiting next to each other run once, and the order with calls is kept.
TEST(SafeSync, AdjacentPostsOfOneKindRunOnceInOrder) {
    std::vector<std::pair<int, std::uint32_t>> seen;
    const std::uint32_t id =
        SioSafeSync::TakeSlot([&](const SioSyncMessage& m) { seen.emplace_back(m.kind, m.data); });
    SioSafeSync::EnableSlot(id, true);
    // The window thread does not pump meanwhile: everything queues up.
    std::thread events([&] {
        SioSyncMessage emptied;
        SioSafeSync::PostOnce(id, emptied);
        SioSafeSync::PostOnce(id, emptied);
        SioSyncMessage data;
        data.kind = 2;
        data.data = 7;
        SioSafeSync::Call(id, data, 50);  // times out, stays queued
        SioSafeSync::PostOnce(id, emptied);
        SioSafeSync::PostOnce(id, emptied);
    });
    events.join();
    EXPECT_TRUE(pumpUntil([&] { return seen.size() >= 3; }, 3000));
    pumpUntil([] { return false; }, 50);
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::uint32_t>>{{0, 0}, {2, 7}, {0, 0}}));
    SioSafeSync::ClearSlot(id);
}

TEST(SafeSync, DisablingTheSlotReleasesAWaitingCaller) {
    int runs = 0;
    const std::uint32_t id = SioSafeSync::TakeSlot([&](const SioSyncMessage&) { ++runs; });
    SioSafeSync::EnableSlot(id, true);
    std::atomic<bool> answer{true};
    std::atomic<long long> waited{0};
    std::thread caller([&] {
        const auto t0 = Clock::now();
        answer = SioSafeSync::Call(id, SioSyncMessage{}, 30000);
        waited = msSince(t0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SioSafeSync::EnableSlot(id, false);
    caller.join();
    EXPECT_FALSE(answer);
    // A limit far beyond any scheduling delay tells a released caller from a timed-out one.
    EXPECT_LT(waited, 15000) << "the caller waited for its time-out";
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(runs, 0) << "a disabled slot's handler ran";
    SioSafeSync::ClearSlot(id);
}

// Side work (the event thread taking in received bytes) runs while a call waits, and the call
// is still released by its handler, by the disabled slot and by its time-out.
TEST(SafeSync, ACallerWithSideWorkDoesItWhileWaitingAndIsReleasedAsAnyOther) {
    int runs = 0;
    const std::uint32_t id = SioSafeSync::TakeSlot([&](const SioSyncMessage&) { ++runs; });
    SioSafeSync::EnableSlot(id, true);
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
    std::atomic<int> taken{0};
    std::atomic<bool> answer{false};
    std::atomic<long long> waited{0};
    auto caller = [&](int timeoutMs) {
        return std::thread([&, timeoutMs] {
            SioWaitSideWork side(pipeFds[0], [&] {
                char buf[64];
                while (::read(pipeFds[0], buf, sizeof buf) > 0) ++taken;
                return true;
            });
            const auto t0 = Clock::now();
            answer = SioSafeSync::Call(id, SioSyncMessage{}, timeoutMs);
            waited = msSince(t0);
        });
    };
    auto waitFor = [](const std::function<bool()>& done) {
        const auto t0 = Clock::now();
        while (!done() && msSince(t0) < 20000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    };

    // The window thread does not pump yet: the caller waits, taking in what arrives.
    std::thread first = caller(30000);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(::write(pipeFds[1], "x", 1), 1);
        EXPECT_TRUE(waitFor([&] { return taken.load() == i; })) << "side work " << i;
    }
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(pumpUntil([&] { return runs == 1; }, 20000));
    first.join();
    EXPECT_TRUE(answer);
    EXPECT_LT(waited, 15000) << "the handler did not release the caller";

    std::thread second = caller(100);
    second.join();
    EXPECT_TRUE(answer);
    EXPECT_GE(waited, 90) << "the time-out was cut short";
    EXPECT_TRUE(pumpUntil([&] { return runs == 2; }, 20000)) << "the timed-out call runs later";

    std::thread third = caller(30000);
    ASSERT_EQ(::write(pipeFds[1], "x", 1), 1);
    EXPECT_TRUE(waitFor([&] { return taken.load() == 4; }));
    SioSafeSync::EnableSlot(id, false);
    third.join();
    EXPECT_FALSE(answer);
    EXPECT_LT(waited, 15000) << "the disabled slot did not release the caller";
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(runs, 2) << "a disabled slot's handler ran";
    SioSafeSync::ClearSlot(id);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

// ---- open ----

TEST_F(PtyPort, OpenErrorsLeaveNothingBehind) {
    PtyPair held;
    TSioComPort other(QStringLiteral("SioComPort2"));
    mapPort(40, held.path);
    other.SetComNumber(40);
    other.Open();
    PtyPair locked;
    mapPort(41, locked.path);
    const int lockFd = ::open(locked.path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(lockFd, LOCK_EX | LOCK_NB), 0);
    PtyPair exclusive;  // a program that uses TIOCEXCL without a flock
    mapPort(44, exclusive.path);
    ASSERT_EQ(ioctl(exclusive.slave, TIOCEXCL), 0);
    mapPort(42, "/nonexistent/ttyUSB9");
    mapPort(43, mapPath());  // a plain file is no serial device

    struct Case {
        int com;
        const char* text;
    } cases[] = {
        {0, "Invalid port number (COM0)"},
        {230, "Invalid port number (COM230)"},  // not in the map
        {42, "Invalid port number (COM42)"},
        {43, "Invalid port number (COM43)"},
        {40, "Can't open device COM40"},  // held by another port object
        {41, "Can't open device COM41"},  // held by a plain flock
        {44, "Can't open device COM44"},  // made exclusive by its holder (stops even root)
    };
    const int threadsBefore = threadCount();
    for (const auto& c : cases) {
        TSioComPort p;
        int opened = 0;
        p.OnPortOpen = [&](TSioComPort*) { ++opened; };
        p.SetComNumber(static_cast<std::uint16_t>(c.com));
        EXPECT_EQ(errorOf([&] { p.Open(); }), c.text);
        EXPECT_FALSE(p.IsOpen());
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(threadCount(), threadsBefore) << "COM" << c.com << " left a thread";
    }
    int stillExclusive = 0;
    ioctl(exclusive.slave, TIOCGEXCL, &stillExclusive);
    EXPECT_EQ(stillExclusive, 1) << "the refused open cleared its holder's flag";
    // The lock was the only obstacle.
    ::close(lockFd);
    TSioComPort p;
    p.SetComNumber(41);
    EXPECT_NO_THROW(p.Open());
    EXPECT_TRUE(p.IsOpen());
}

TEST_F(PtyPort, OpenCloseEventsAndSettingsWhileOpen) {
    int opens = 0;
    std::vector<std::string> order;
    port.OnPortOpen = [&](TSioComPort*) {
        order.push_back("open");
        ++opens;
    };
    port.OnPortClose = [&](TSioComPort*) { order.push_back("close"); };
    // Priorities are best effort: one that cannot be had never fails the open.
    port.SetEventThreadPriority(tpTimeCritical);
    port.SetWriteThreadPriority(tpIdle);
    port.Open();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(errorOf([&] { port.SetInBufSize(4096); }), "Port is not closed - SioComPort1 ");
    EXPECT_EQ(port.InBufSize(), 1966080);
    EXPECT_EQ(errorOf([&] { port.SetOutBufSize(4096); }), "Port is not closed - SioComPort1 ");

    PtyPair second;
    mapPort(250, second.path);
    port.SetComNumber(250);  // reopens on the new number
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(order, (std::vector<std::string>{"open", "close", "open"}));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NO_THROW(port.Open()) << "the first device was released";
}

// ---- data ----

TEST_F(PtyPort, OneMebibyteEachWayArrivesByteExact) {
    const std::string out = randomBytes(kMiB, 1);
    const std::string in = randomBytes(kMiB, 2);
    QByteArray received;
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) { received += p->ReadAllWaiting(); };
    port.Open();

    std::string atMaster;
    std::thread reader([&] { atMaster = readFromMaster(pty.master, kMiB, 30000); });
    std::thread writer([&] { writeAllToMaster(pty.master, in); });
    const auto t0 = Clock::now();
    for (char c : out) port.WriteChar(c);
    const auto queueUs =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
    EXPECT_TRUE(pumpUntil([&] { return received.size() >= kMiB; }, 30000));
    reader.join();
    writer.join();
    const double seconds = static_cast<double>(msSince(t0)) / 1000.0;
    RecordProperty("queue_1MiB_us", static_cast<int>(queueUs));
    std::printf("queueing 1 MiB with WriteChar: %lld us; 2 MiB through the pty in %.2f s\n",
                static_cast<long long>(queueUs), seconds);

    ASSERT_EQ(atMaster.size(), out.size());
    EXPECT_TRUE(atMaster == out) << "bytes written one at a time arrived changed";
    ASSERT_EQ(received.size(), static_cast<qsizetype>(in.size()));
    EXPECT_TRUE(received.toStdString() == in) << "bytes received arrived changed";
}

// A device that goes on sending while the window thread is busy with a block is not held back
// by the terminal's own 4 KiB: the engine takes the bytes in meanwhile, and the next read takes
// them all at once, in order.
TEST_F(PtyPort, BytesArrivingWhileAHandlerRunsAreTakenInAndReadAtOnce) {
    const std::string burst = randomBytes(200000, 3);
    std::string received;
    std::vector<qsizetype> blocks;
    std::atomic<bool> stop{false};
    std::thread writer;
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) {
        const QByteArray block = p->ReadAllWaiting();
        blocks.push_back(block.size());
        received.append(block.constData(), static_cast<std::size_t>(block.size()));
        if (blocks.size() != 1) return;
        // The device sends on while this handler still runs.
        writer = std::thread([&] { writeAllToMaster(pty.master, burst, &stop); });
        EXPECT_TRUE(pumpUntil([&] { return p->WaitingInputCount() >= 32 * 1024; }, 30000))
            << "no more than the terminal's own buffer was waiting";
    };
    port.Open();
    ASSERT_EQ(::write(pty.master, "hello", 5), 5);
    const bool all = pumpUntil([&] { return received.size() >= 5 + burst.size(); }, 30000);
    stop = true;
    if (writer.joinable()) writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(received == "hello" + burst) << "bytes arrived changed or out of order";
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_GE(blocks[1], 32 * 1024);
}

// What the engine took in is dropped by a purge of the receive side like what the terminal
// holds.
TEST_F(PtyPort, PurgingTheReceiveSideDropsWhatWasTakenIn) {
    port.Open();
    const std::string burst = randomBytes(30000, 4);
    writeAllToMaster(pty.master, burst);
    ASSERT_TRUE(pumpUntil([&] { return port.WaitingInputCount() == burst.size(); }, 30000))
        << port.WaitingInputCount() << " bytes waiting";
    port.PurgeReceive();
    EXPECT_EQ(port.WaitingInputCount(), 0u);
    EXPECT_TRUE(port.ReadAllWaiting().isEmpty());
    ASSERT_EQ(::write(pty.master, "after", 5), 5);
    ASSERT_TRUE(pumpUntil([&] { return port.WaitingInputCount() == 5; }, 30000));
    EXPECT_EQ(port.ReadAllWaiting(), QByteArray("after"));
}

// A line written byte by byte under a batch does not wake the idle write thread: it goes to
// the device when the batch is flushed or ends, whole and in order. (A write thread still busy
// with earlier bytes takes later ones as it comes back, held or not.)
TEST_F(PtyPort, HeldWritesLeaveTogetherWhenReleased) {
    port.Open();
    const std::string line = randomBytes(300, 9), more = randomBytes(200, 10);
    {
        TSioWriteBatch batch(port);
        for (char c : line) port.WriteChar(c);
        EXPECT_EQ(readAvailable(pty.master, 150), "") << "held bytes went out";
        batch.Flush();  // as before a pause
        EXPECT_TRUE(readFromMaster(pty.master, 300, 3000) == line);
        for (char c : more) port.WriteChar(c);
    }
    EXPECT_TRUE(readFromMaster(pty.master, 200, 3000) == more);
}

TEST_F(PtyPort, DataQueuedAcrossTheRingsEndLeavesInOrder) {
    port.SetOutBufSize(4096);
    int emptied = 0;
    port.OnOutBufFree = [&](TSioComPort*) { ++emptied; };
    port.Open();
    EXPECT_EQ(errorOf([&] { port.WriteData(std::string(5000, 'x').data(), 5000); }),
              "Write data error [requested: 5000, free: 4096] - SioComPort1 ");
    const std::string first = randomBytes(3000, 3), second = randomBytes(3000, 4);
    port.WriteData(first.data(), 3000);
    ASSERT_TRUE(pumpUntil([&] { return emptied >= 1; }, 10000));
    port.WriteData(second.data(), 3000);  // 1096 bytes to the end, the rest from the start
    ASSERT_TRUE(pumpUntil([&] { return emptied >= 2; }, 10000));
    EXPECT_EQ(port.FreeOutputSpace(), 4096u);
    EXPECT_TRUE(readFromMaster(pty.master, 6000, 10000) == first + second);
}

TEST_F(PtyPort, PurgeTransmitDropsWhatIsQueued) {
    int emptied = 0;
    port.OnOutBufFree = [&](TSioComPort*) { ++emptied; };
    port.Open();
    const std::string data = randomBytes(400000, 5);
    port.WriteData(data.data(), static_cast<int>(data.size()));
    // Nobody reads the other end: the terminal fills and the rest stays in the ring.
    pumpUntil([] { return false; }, 300);
    ASSERT_LT(port.FreeOutputSpace(), 1966080u);
    port.PurgeTransmit();
    EXPECT_EQ(port.FreeOutputSpace(), 1966080u);
    pumpUntil([] { return false; }, 400);
    EXPECT_EQ(emptied, 0) << "no output-emptied event for purged data";
    const std::string before = readAvailable(pty.master, 200);
    port.WriteData("END", 3);
    ASSERT_TRUE(pumpUntil([&] { return emptied == 1; }, 10000));
    const std::string after = readAtLeast(pty.master, 3, 10000);
    EXPECT_EQ(after, "END");
    EXPECT_LT(before.size(), data.size());
}

TEST_F(PtyPort, ClosingWhileDataFlowsBothWaysNeitherHangsNorCrashes) {
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) { p->ReadAllWaiting(); };
    const std::string chunk = randomBytes(65536, 6);
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            while (!stop) writeAllToMaster(pty.master, chunk, &stop);
        });
        std::thread reader([&] {
            while (!stop) readAvailable(pty.master, 20);
        });
        port.Open();
        for (int i = 0; i < 300000; ++i) port.WriteChar(static_cast<char>(i));
        pumpUntil([] { return false; }, 150);
        const auto t0 = Clock::now();
        port.Close();
        // Under the hand-off limit: Close never waits one out.
        EXPECT_LT(msSince(t0), TSioComPort::SyncCallTimeout) << "round " << round;
        EXPECT_FALSE(port.IsOpen());
        stop = true;
        writer.join();
        reader.join();
        tcflush(pty.master, TCIOFLUSH);
    }
    EXPECT_EQ(closes, 3);
}

TEST_F(PtyPort, CloseDoesNotWaitForAHandOffTheWindowNeverTook) {
    int calls = 0;
    port.OnDataRecived = [&](TSioComPort*, std::uint32_t) { ++calls; };
    port.Open();
    ASSERT_EQ(::write(pty.master, "hello", 5), 5);
    // The window thread is busy: the event thread waits in its hand-off.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto t0 = Clock::now();
    port.Close();
    EXPECT_LT(msSince(t0), TSioComPort::SyncCallTimeout)
        << "Close waited out the 2 s hand-off limit";
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(calls, 0) << "an event of a closing port reached the window";
}

TEST_F(PtyPort, AHandlerMayCloseThePort) {
    int calls = 0;
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) {
        ++calls;
        const auto t0 = Clock::now();
        p->Close();  // the event thread waits in this very hand-off
        EXPECT_LT(msSince(t0), TSioComPort::SyncCallTimeout);
    };
    port.Open();
    ASSERT_EQ(::write(pty.master, "bye", 3), 3);
    ASSERT_TRUE(pumpUntil([&] { return closes == 1; }, 10000));
    EXPECT_FALSE(port.IsOpen());
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(calls, 1);
    EXPECT_NO_THROW(port.Open()) << "and open it again";
}

TEST_F(PtyPort, BytesLeftUnreadAreReportedByThePoll) {
    struct Seen {
        TSioCoreEvent kind;
        std::uint32_t data;
        long long ms;
    };
    std::vector<Seen> seen;
    Clock::time_point t0;
    port.OnSyncEvent = [&](TSioComPort*, TSioCoreEvent k, std::uint32_t d) {
        seen.push_back({k, d, msSince(t0)});
    };
    std::vector<std::uint32_t> counts;
    port.OnDataRecived = [&](TSioComPort*, std::uint32_t n) { counts.push_back(n); };
    port.Open();
    t0 = Clock::now();
    ASSERT_EQ(::write(pty.master, "12345", 5), 5);
    ASSERT_TRUE(pumpUntil(
        [&] {
            for (const auto& s : seen)
                if (s.kind == ckDataWaiting) return true;
            return false;
        },
        10000));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, ckLineEvent);
    EXPECT_TRUE(seen[0].data & EV_RXCHAR);
    EXPECT_EQ(counts.front(), 5u);
    const Seen& poll = seen.back();
    EXPECT_EQ(poll.data, 5u);
    EXPECT_GE(poll.ms, 150) << "the poll runs after 200 ms without events";
    EXPECT_EQ(port.ReadAllWaiting(), QByteArray("12345"));
    EXPECT_TRUE(port.ReadAllWaiting().isEmpty());
    EXPECT_EQ(port.WaitingInputCount(), 0u);
}

TEST_F(PtyPort, ThePollIsNotHeldOffBySendingTraffic) {
    int polls = 0, emptied = 0;
    port.OnSyncEvent = [&](TSioComPort*, TSioCoreEvent k, std::uint32_t) {
        polls += k == ckDataWaiting;
        emptied += k == ckOutputEmptied;
    };
    port.Open();
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) readAvailable(pty.master, 20);
    });
    ASSERT_EQ(::write(pty.master, "12345", 5), 5);  // nobody reads these
    // A byte every 20 ms: an "output emptied" event each time, never 200 ms of silence.
    const auto t0 = Clock::now();
    // Held off, the poll would not come at all; on time it comes after some 200 ms.
    while ((polls == 0 || emptied <= 5) && msSince(t0) < 10000) {
        port.WriteChar('.');
        pumpUntil([] { return false; }, 20);
    }
    stop = true;
    reader.join();
    EXPECT_GT(emptied, 5);
    EXPECT_GE(polls, 1) << "bytes were left waiting while the line was busy sending";
}

TEST_F(PtyPort, AHandlersErrorGoesToTheTrapAndEventsGoOn) {
    std::vector<std::string> trapped;
    std::string where;
    keldrin::setErrorTrap([&](const std::exception& e, const char* w) {
        trapped.push_back(e.what());
        where = w;
    });
    QByteArray got;
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) {
        got += p->ReadAllWaiting();
        if (trapped.empty()) throw std::runtime_error("handler failed");
    };
    port.Open();
    ASSERT_EQ(::write(pty.master, "one", 3), 3);
    ASSERT_TRUE(pumpUntil([&] { return !trapped.empty(); }, 10000));
    EXPECT_EQ(trapped.front(), "handler failed");
    EXPECT_EQ(where.rfind("OnDataRecived", 0), 0u) << where;
    ASSERT_EQ(::write(pty.master, "two", 3), 3);
    EXPECT_TRUE(pumpUntil([&] { return got.endsWith("two"); }, 10000)) << got.toStdString();
}

TEST_F(PtyPort, AnErrorOnTheEventThreadIsRaisedOnTheWindowThread) {
    std::vector<std::string> trapped;
    bool onWindowThread = false;
    keldrin::setErrorTrap([&](const std::exception& e, const char*) {
        trapped.push_back(e.what());
        onWindowThread = QThread::currentThread() == qApp->thread();
    });
    std::atomic<int> events{0};
    port.OnNonSyncEvent = [&](TSioComPort*, TSioCoreEvent, std::uint32_t) {
        if (events++ == 0) throw std::runtime_error("failed on the event thread");
    };
    port.Open();
    ASSERT_EQ(::write(pty.master, "x", 1), 1);
    ASSERT_TRUE(pumpUntil([&] { return !trapped.empty(); }, 10000));
    EXPECT_EQ(trapped, std::vector<std::string>{"failed on the event thread"});
    EXPECT_TRUE(onWindowThread);
    ASSERT_EQ(::write(pty.master, "y", 1), 1);
    EXPECT_TRUE(pumpUntil([&] { return events >= 2; }, 10000)) << "the event thread went on";
}

TEST_F(PtyPort, ClosingTheOtherEndMidTransferClosesThePortCleanly) {
    port.OnDataRecived = [&](TSioComPort* p, std::uint32_t) { p->ReadAllWaiting(); };
    port.Open();
    std::atomic<bool> stop{false};
    const std::string chunk = randomBytes(65536, 7);
    std::thread writer([&] { writeAllToMaster(pty.master, chunk, &stop); });
    for (int i = 0; i < 200000; ++i) port.WriteChar('x');
    pumpUntil([] { return false; }, 100);
    stop = true;
    writer.join();
    pty.closeMaster();
    // Nothing may spin while the window thread is away.
    const double cpu0 = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(cpuSeconds() - cpu0, 0.25) << "an engine thread spins on the dead device";
    EXPECT_TRUE(pumpUntil([&] { return !port.IsOpen(); }, 10000));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(closedOnMainThread);
    EXPECT_EQ(errorOf([&] { port.WriteChar('x'); }),
              "Write data error [requested: 1, free: 0] - SioComPort1 ");
}

// ---- line settings ----

TEST_F(PtyPort, LineSettingsReachTheTerminal) {
    port.Open();
    auto attrs = [&] {
        termios t{};
        tcgetattr(pty.slave, &t);
        return t;
    };
    auto rate = [&] {
        std::uint32_t r = 0;
        detail::GetBaud(pty.slave, &r);
        return r;
    };
    termios t = attrs();
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), 0u) << "not raw";
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8 | CSTOPB));

    for (int o = br110; o < brUser; ++o) {
        port.SetBaudRate(static_cast<TSioBaudrate>(o));
        EXPECT_EQ(rate(), BaudRateValue(o));
    }
    port.SetUserBaudRate(250000);
    EXPECT_EQ(rate(), 250000u);

    // A pseudo-terminal keeps eight bits without parity whatever it is told (the kernel's
    // rule); the mapping of data bits and parity is checked without a device.
    port.SetDatabits(db7);
    port.SetParity(paMark);
    EXPECT_EQ(port.GetDcb().ByteSize, 7);
    port.SetStopbits(sbOne);
    EXPECT_EQ(attrs().c_cflag & CSTOPB, 0u);
    port.SetStopbits(sbOneAndHalf);
    EXPECT_EQ(attrs().c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));

    port.SetXOnChar(0x05);
    port.SetXOffChar(0x06);
    port.SetFlowControl(fwXOnXOff);
    t = attrs();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x05);
    EXPECT_EQ(t.c_cc[VSTOP], 0x06);
    port.SetFlowControl(fwRtsCts);
    t = attrs();
    EXPECT_EQ(t.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    port.SetFlowControl(fwNone);
    EXPECT_EQ(attrs().c_cflag & CRTSCTS, 0u);
}

TEST_F(PtyPort, RefusedSettingsKeepTheLineAndReadItBack) {
    port.SetUserBaudRate(250000);
    port.SetParity(paEven);
    port.Open();
    const Dcb before = port.GetDcb();
    // Four data bits and the DTR/DSR handshake are beyond a Linux terminal.
    const struct {
        const char* what;
        std::function<void()> set;
    } cases[] = {
        {"db4", [&] { port.SetDatabits(db4); }},
        {"dtr/dsr", [&] { port.SetFlowControl(fwDtrDsr); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.set), "Error setting parameters from DCB");
        EXPECT_TRUE(port.IsOpen());
        const Dcb now = port.GetDcb();
        EXPECT_EQ(now.BaudRate, 250000u);
        EXPECT_EQ(now.ByteSize, 8);
        EXPECT_EQ(now.Parity, EVENPARITY);
        EXPECT_EQ(now.StopBits, TWOSTOPBITS);
        EXPECT_EQ(now.Flags & (fOutxDsrFlow | fDtrControlHandshake), 0u);
        termios t{};
        tcgetattr(pty.slave, &t);
        EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
        std::uint32_t rate = 0;
        detail::GetBaud(pty.slave, &rate);
        EXPECT_EQ(rate, 250000u);
        EXPECT_NE(port.GetDcb().ByteSize, 4) << "the block is the driver's, read back";
        port.ApplyDcb(before);  // back to settings the line takes
    }
    EXPECT_EQ(port.GetDcb().BaudRate, before.BaudRate);
    // A port set up that way does not open at all.
    port.Close();
    port.SetDatabits(db4);
    EXPECT_EQ(errorOf([&] { port.Open(); }), "Error setting parameters from DCB");
    EXPECT_FALSE(port.IsOpen());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    mapPath();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
