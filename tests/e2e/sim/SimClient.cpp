#include "SimClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/ChildReports.h"

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Reads whatever the pipe fd gives until end of file or the deadline.
std::string drain(int fd, Clock::time_point deadline) {
    std::string text;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

int waitChild(int pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const int r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            keldrin::testkit::checkChildReport(pid);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1 - WTERMSIG(status);
        }
        if (r < 0) return -1;
        if (Clock::now() >= deadline) return -1000;
        std::this_thread::sleep_for(Ms(5));
    }
}

// Forks and executes program with args; the child's stdout and stderr go to the given pipes.
int spawn(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& env, int outFd, int errFd) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto reports = keldrin::testkit::childSanitizerEnv();
    const int parent = ::getpid();
    const int pid = ::fork();
    if (pid != 0) return pid;
    // Child: never outlive the test, even when it crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(outFd, 1);
    if (errFd >= 0) ::dup2(errFd, 2);
    for (const auto& [k, v] : reports) ::setenv(k.c_str(), v.c_str(), 1);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace

SimProcess::~SimProcess() {
    if (pid_ > 0) stop();
    if (stdout_ >= 0) ::close(stdout_);
}

bool SimProcess::start(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env, const std::string& program) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = spawn(program, args, env, out[1], -1);
    ::close(out[1]);
    stdout_ = out[0];
    if (pid_ < 0) return false;

    const auto deadline = Clock::now() + Ms(5000);
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos) {
        pollfd p{stdout_, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
        if (::read(stdout_, &c, 1) != 1) return false;
        line.push_back(c);
    }
    line.pop_back();
    device_ = line;
    return !device_.empty();
}

Ms SimProcess::cpuTime() const {
    // Fields 14 and 15 of /proc/<pid>/stat, counted after the command name in parentheses.
    const std::string stat = readFile("/proc/" + std::to_string(pid_) + "/stat");
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && in >> field; ++i)
        if (i >= 14) ticks += std::stol(field);
    return Ms(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

int SimProcess::stop(int sig, Ms timeout) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, sig);
    int code = waitChild(pid_, Clock::now() + timeout);
    if (code == -1000) {
        ::kill(pid_, SIGKILL);
        waitChild(pid_, Clock::now() + Ms(5000));
        code = -1;
    }
    pid_ = -1;
    return code;
}

int SimProcess::waitExit(Ms timeout) {
    if (pid_ <= 0) return -1;
    const int code = waitChild(pid_, Clock::now() + timeout);
    if (code == -1000) return -1;
    pid_ = -1;
    return code;
}

RunResult runToEnd(const std::vector<std::string>& args) {
    RunResult r;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return r;
    if (::pipe2(err, O_CLOEXEC) != 0) return r;
    const int pid = spawn(DEVSIM_PATH, args, {}, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    const auto deadline = Clock::now() + Ms(5000);
    r.out = drain(out[0], deadline);
    r.err = drain(err[0], deadline);
    ::close(out[0]);
    ::close(err[0]);
    r.exitCode = waitChild(pid, deadline);
    if (r.exitCode == -1000) {
        ::kill(pid, SIGKILL);
        waitChild(pid, Clock::now() + Ms(5000));
        r.exitCode = -1;
    }
    return r;
}

bool Client::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    ::cfmakeraw(&t);
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

void Client::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool Client::send(const std::string& bytes) {
    std::size_t done = 0;
    // Generous: a large burst goes at the pace of a device on a busy machine.
    const auto deadline = Clock::now() + Ms(30000);
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
    }
    return true;
}

std::string Client::readFor(Ms time) {
    std::string text;
    const auto deadline = Clock::now() + time;
    char buf[4096];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

std::string Client::readUntil(const std::vector<std::string>& endings, Ms timeout) {
    std::string text;
    const auto deadline = Clock::now() + timeout;
    char c = 0;
    for (;;) {
        for (const std::string& e : endings)
            if (text.size() >= e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0)
                return text;
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r <= 0 || !(p.revents & POLLIN)) return text;
        // One byte at a time so that nothing after the ending is taken away from the next read.
        if (::read(fd_, &c, 1) != 1) return text;
        text.push_back(c);
    }
}

std::vector<std::string> Client::readChunks(std::size_t total, Ms timeout) {
    std::vector<std::string> chunks;
    std::size_t got = 0;
    const auto deadline = Clock::now() + timeout;
    char buf[4096];
    while (got < total) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) break;
        chunks.emplace_back(buf, static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
    }
    return chunks;
}

bool Client::hangsUp(Ms timeout) {
    const auto deadline = Clock::now() + timeout;
    char buf[256];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r <= 0) return false;
        if (p.revents & (POLLHUP | POLLERR)) return true;
        if (::read(fd_, buf, sizeof buf) < 0 && errno == EIO) return true;
    }
}

std::string binaryLine(const std::string& t) {
    // Follows the transmit routine: the character at p decides, the pair is taken at cursor c
    // (both counted from 1), and the line ends once the cursor reaches its length.
    auto hex = [](char ch) {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        return -1;
    };
    std::string out;
    const std::size_t L = t.size();
    std::size_t c = 1;
    for (std::size_t p = 1; p <= L; ++p) {
        const char ch = t[p - 1];
        if (hex(ch) >= 0) {
            const std::string pair = t.substr(c - 1, 2);
            int value = 0;
            for (char d : pair) value = value * 16 + hex(d);
            if (pair.empty() || hex(pair.front()) < 0 || hex(pair.back()) < 0) value = 0;
            out.push_back(static_cast<char>(value & 0xFF));
            c += 2;
            if (c >= L) break;
        } else {
            out.push_back(ch == ':' ? '@' : ch);
            c += 1;
        }
    }
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        std::size_t b = 0, e = line.size();
        while (b < e && static_cast<unsigned char>(line[b]) <= 32) ++b;
        while (e > b && static_cast<unsigned char>(line[e - 1]) <= 32) --e;
        if (e > b) lines.push_back(line.substr(b, e - b));
    }
    return lines;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "devsim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace simtest
