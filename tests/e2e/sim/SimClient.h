// Runs the built keldrin-devsim as a child process and talks to it over its pseudo-terminal, as
// Keldrin would. Every wait is bounded, and the child is always ended and reaped.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace simtest {

using Ms = std::chrono::milliseconds;

class SimProcess {
  public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    // Starts the program with args; env entries are set in the child only (an empty value
    // sets the variable empty). Returns false when no device path line came within 5 s.
    bool start(const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {},
               const std::string& program = DEVSIM_PATH);

    const std::string& devicePath() const { return device_; }
    bool running() const { return pid_ > 0; }
    int pid() const { return pid_; }
    // Processor time (user and system) the process has used so far.
    Ms cpuTime() const;

    // Sends sig and waits (up to timeout) for the end; returns the exit code, or -1 when the
    // process did not exit normally in time (it is then killed).
    int stop(int sig = 15, Ms timeout = Ms(5000));
    // Waits for the process to end on its own; -1 on time-out (the process keeps running).
    int waitExit(Ms timeout);

  private:
    int pid_ = -1;
    int stdout_ = -1;
    std::string device_;
};

// Runs the program to its end with the given args, for usage errors and --help.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
RunResult runToEnd(const std::vector<std::string>& args);

class Client {
  public:
    // Opens the device like a serial port in raw mode; false when it cannot.
    bool open(const std::string& path);
    void close();
    ~Client() { close(); }

    bool send(const std::string& bytes);
    // Everything that arrives within the time (reads until it has been quiet so long).
    std::string readFor(Ms time);
    // Reads until the text ends with one of the endings, or the time-out; returns what came.
    std::string readUntil(const std::vector<std::string>& endings, Ms timeout = Ms(10000));
    // Each read's bytes, until total bytes arrived or the time-out.
    std::vector<std::string> readChunks(std::size_t total, Ms timeout);
    // True when the other side has hung up (poll reports POLLHUP/POLLERR) within the time.
    bool hangsUp(Ms timeout);

    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// A line of a firmware file as the transmit routine sends it in binary mode: leading
// characters as themselves (":" as "@"), then one byte per pair of hex digits.
std::string binaryLine(const std::string& line);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::vector<std::string> fileLines(const std::string& path);  // trimmed, blank lines dropped

// A fresh empty folder under the test temp dir, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace simtest
